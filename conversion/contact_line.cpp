#include "conversion/contact_line.h"

#include <algorithm>

#include "conversion/record_preparation.h"

namespace {

constexpr int kDisplayNameWidth = 15;
constexpr int kMaxPadding = 28;
constexpr int kNameWidth = 25;
constexpr int kCityWidth = 24;
constexpr int kStateWidth = 24;

// Everything before the first blank (the whole text when it has none).
std::string_view FirstWord(std::string_view text) {
  return text.substr(0, text.find(' '));
}

// The line of the MD-9600/RT90: ID, display name, city, "|" state when present,
// "|" country.
void ComposeMd9600Line(ConversionLists& lists, std::string& line_text, const LogLine& log) {
  const StringList& fields = lists.FieldList;
  const std::string display_name = ComposeDisplayName(fields, log);
  line_text += ',';
  line_text += display_name;
  line_text += ',';
  if (IsPresent(fields.Get(kCity))) line_text += SonderzeichenToBlank(fields.Get(kCity), log);
  AbbreviateRegion(lists, kState);
  if (IsPresent(fields.Get(kState))) {
    line_text += '|';
    line_text += SonderzeichenToBlank(fields.Get(kState), log);
  }
  AbbreviateRegion(lists, kCountry);
  line_text += '|';
  line_text += SonderzeichenToBlank(fields.Get(kCountry), log);
}

// One of name, city and state on the MD-2017/RT82 line: nothing when absent; otherwise
// padded to its width (one field per display line) or followed by "|" (compact).
void AppendMd2017Part(std::string_view field, int width, int display_format, std::string& line_text,
                      const LogLine& log) {
  if (!IsPresent(field)) return;
  const std::string restored = SonderzeichenToBlank(field, log);
  if (display_format == kFieldPerLine) {
    line_text += PadToWidth(restored, width);
  } else {
    line_text += restored;
    line_text += '|';
  }
}

void ComposeMd2017Line(int display_format, ConversionLists& lists, std::string& line_text,
                       const LogLine& log) {
  const StringList& fields = lists.FieldList;
  const std::string display_name = ComposeDisplayName(fields, log);
  line_text += ',';
  line_text += display_name;
  line_text += ',';
  AppendMd2017Part(fields.Get(kName), kNameWidth, display_format, line_text, log);
  AppendMd2017Part(fields.Get(kCity), kCityWidth, display_format, line_text, log);
  AbbreviateRegion(lists, kState);
  AppendMd2017Part(fields.Get(kState), kStateWidth, display_format, line_text, log);
  AbbreviateRegion(lists, kCountry);
  line_text += SonderzeichenToBlank(fields.Get(kCountry), log);
}

}  // namespace

std::string PadToWidth(std::string_view text, int width) {
  const size_t target = static_cast<size_t>(std::max(width, 0));
  if (text.size() >= target) return std::string(text.substr(0, target));
  std::string padded(text);
  padded.append(std::min(target - text.size(), static_cast<size_t>(kMaxPadding)), ' ');
  return padded;
}

std::string ComposeDisplayName(const StringList& field_list, const LogLine& log) {
  std::string given_name = SonderzeichenToBlank(field_list.Get(kNickname), log);
  if (!IsPresent(given_name)) {
    given_name = FirstWord(SonderzeichenToBlank(field_list.Get(kName), log));
  }
  std::string display_name(field_list.Get(kCallsign));
  display_name += ' ';
  display_name += given_name;
  return PadToWidth(display_name, kDisplayNameWidth);
}

void ComposeContactLine(int radio_type, int display_format, ConversionLists& lists,
                        std::string& line_text, const LogLine& log) {
  if (radio_type == kMd9600) {
    ComposeMd9600Line(lists, line_text, log);
  } else {
    ComposeMd2017Line(display_format, lists, line_text, log);
  }
}
