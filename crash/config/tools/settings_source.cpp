#include "crash/config/tools/settings_source.h"

#include <charconv>
#include <optional>

#include "platform/text_encoding.h"
#include "platform/trimmed.h"

namespace userdb::crash {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view TrimBlanks(std::string_view text) {
  return platform::Trimmed(text, kBlanks);
}

// The leading word of `text`, taken off it.
std::string_view TakeWord(std::string_view& text) {
  text = TrimBlanks(text);
  const size_t end = std::min(text.find_first_of(kBlanks), text.size());
  const std::string_view word = text.substr(0, end);
  text = TrimBlanks(text.substr(end));
  return word;
}

std::string InCodePage(std::string_view utf8, int line_number, std::string_view what) {
  const auto converted = platform::Windows1252FromUtf8(utf8);
  if (!converted) {
    throw SettingsSourceError(line_number,
                              std::string(what) + " is not UTF-8 text of Windows-1252 characters");
  }
  return *converted;
}

Property TextValue(std::string name, std::string_view value, int line_number) {
  if (value.size() < 2 || value.front() != '"' || value.back() != '"') {
    throw SettingsSourceError(line_number, "a text value stands in double quotes");
  }
  return TextProperty(name,
                      InCodePage(value.substr(1, value.size() - 2), line_number, "the value"));
}

Property IntegerValue(std::string name, std::string_view value, int line_number) {
  int32_t number = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (value.empty() || error != std::errc() || end != value.data() + value.size()) {
    throw SettingsSourceError(line_number, "an integer value is a 32-bit signed decimal number");
  }
  return IntegerProperty(name, number);
}

Property BooleanValue(std::string name, std::string_view value, int line_number) {
  if (value != "true" && value != "false") {
    throw SettingsSourceError(line_number, "a boolean value is true or false");
  }
  return BooleanProperty(name, value == "true");
}

Property PropertyOfLine(std::string_view line, int line_number) {
  const std::string name = InCodePage(TakeWord(line), line_number, "the name");
  if (name.size() > 255)
    throw SettingsSourceError(line_number, "the name is longer than 255 bytes");
  const std::string_view kind = TakeWord(line);
  if (kind == "text") return TextValue(name, line, line_number);
  if (kind == "integer") return IntegerValue(name, line, line_number);
  if (kind == "boolean") return BooleanValue(name, line, line_number);
  throw SettingsSourceError(
      line_number, "the kind is text, integer or boolean, not \"" + std::string(kind) + "\"");
}

}  // namespace

PropertyList ParseSettingsSource(std::string_view source) {
  PropertyList properties;
  for (int line_number = 1; !source.empty(); ++line_number) {
    const size_t end = std::min(source.find('\n'), source.size());
    std::string_view line = source.substr(0, end);
    source.remove_prefix(std::min(end + 1, source.size()));
    if (line.ends_with('\r')) line.remove_suffix(1);
    line = TrimBlanks(line);
    if (line.empty() || line.starts_with('#')) continue;
    Property property = PropertyOfLine(line, line_number);
    if (properties.Find(property.name) != nullptr) {
      throw SettingsSourceError(line_number, "\"" + property.name + "\" is there already");
    }
    properties.Append(std::move(property));
  }
  return properties;
}

}  // namespace userdb::crash
