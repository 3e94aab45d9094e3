#include "settings/file_name_completion.h"

#include <optional>

#include "platform/case_insensitive_1252.h"

namespace userdb::settings {

namespace {

// "Bin" of "*.Bin", ".Bin" or "Bin"; empty for a pattern that matches more than one
// extension ("*", "*.*", "*.b?n"), which gives nothing to append.
std::string_view ExtensionOfPattern(std::string_view pattern) {
  if (pattern.starts_with("*")) pattern.remove_prefix(1);
  if (pattern.starts_with(".")) pattern.remove_prefix(1);
  if (pattern.find_first_of("*?;") != std::string_view::npos) return {};
  return pattern;
}

// The text after the last "." of the name's last path segment; none without a ".".
std::optional<std::string_view> ExtensionOfName(std::string_view name) {
  const size_t segment = name.rfind('/');
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || (segment != std::string_view::npos && dot < segment)) {
    return std::nullopt;
  }
  return name.substr(dot + 1);
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view ending) {
  return text.size() >= ending.size() &&
         platform::EqualIgnoringCase1252(text.substr(text.size() - ending.size()), ending);
}

}  // namespace

std::string CompleteTypedFileName(std::string_view typed_name, std::string_view type_pattern,
                                  std::string_view default_extension,
                                  const KnownExtensionTest& is_known_extension) {
  std::string name(typed_name);
  if (ExtensionOfPattern(default_extension).empty()) return name;
  const std::string_view extension =
      ExtensionOfPattern(type_pattern.empty() ? default_extension : type_pattern);
  if (extension.empty()) return name;

  const std::optional<std::string_view> own_extension = ExtensionOfName(typed_name);
  if (own_extension && !own_extension->empty() && is_known_extension(*own_extension)) return name;
  if (EndsWithIgnoringCase(typed_name, "." + std::string(extension))) return name;
  if (!name.ends_with('.')) name += '.';
  return name + std::string(extension);
}

}  // namespace userdb::settings
