#include "cli/log_form.h"

#include <cstdlib>

#include "platform/case_insensitive_1252.h"

namespace userdb::cli {

LogForm ChooseLogForm(bool bytes_requested, bool output_is_terminal, std::string_view locale) {
  if (bytes_requested) return LogForm::kBytes;
  return output_is_terminal || IsUtf8Locale(locale) ? LogForm::kDisplay : LogForm::kBytes;
}

std::string CharacterSetLocale() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

bool IsUtf8Locale(std::string_view locale) {
  // language_territory.codeset@modifier
  const std::string_view name = locale.substr(0, locale.find('@'));
  const size_t dot = name.find('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view codeset = name.substr(dot + 1);
  return platform::EqualIgnoringCase1252(codeset, "UTF-8") ||
         platform::EqualIgnoringCase1252(codeset, "UTF8");
}

}  // namespace userdb::cli
