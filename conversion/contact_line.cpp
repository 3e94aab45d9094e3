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

void AppendPadded(std::string& line_text, std::string_view text, int width) {
  const size_t target = static_cast<size_t>(std::max(width, 0));
  if (text.size() >= target) {
    line_text += text.substr(0, target);
  } else {
    line_text += text;
    line_text.append(std::min(target - text.size(), static_cast<size_t>(kMaxPadding)), ' ');
  }
}

void AppendDisplayName(const CompositionContext& context, std::string& line_text) {
  const std::string display_name = ComposeDisplayName(context.field_list, context.log);
  line_text += ',';
  line_text += display_name;
  line_text += ',';
}

// The line of the MD-9600/RT90: ID, display name, city, "|" state when present,
// "|" country.
void ComposeMd9600Line(const CompositionContext& context, std::string& line_text) {
  StringList& fields = context.field_list;
  AppendDisplayName(context, line_text);
  if (IsPresent(fields.Get(kCity))) {
    AppendSonderzeichenToBlank(line_text, fields.Get(kCity), context.log);
  }
  AbbreviateRegion(fields, kState, context.regions);
  if (IsPresent(fields.Get(kState))) {
    line_text += '|';
    AppendSonderzeichenToBlank(line_text, fields.Get(kState), context.log);
  }
  AbbreviateRegion(fields, kCountry, context.regions);
  line_text += '|';
  AppendSonderzeichenToBlank(line_text, fields.Get(kCountry), context.log);
}

// One of name, city and state on the MD-2017/RT82 line: nothing when absent; otherwise
// padded to its width (one field per display line) or followed by "|" (compact).
void AppendMd2017Part(std::string_view field, int width, int display_format,
                      const CompositionContext& context, std::string& line_text) {
  if (!IsPresent(field)) return;
  if (display_format == kFieldPerLine) {
    AppendPadded(line_text, SonderzeichenToBlank(field, context.log), width);
  } else {
    AppendSonderzeichenToBlank(line_text, field, context.log);
    line_text += '|';
  }
}

void ComposeMd2017Line(int display_format, const CompositionContext& context,
                       std::string& line_text) {
  StringList& fields = context.field_list;
  AppendDisplayName(context, line_text);
  AppendMd2017Part(fields.Get(kName), kNameWidth, display_format, context, line_text);
  AppendMd2017Part(fields.Get(kCity), kCityWidth, display_format, context, line_text);
  AbbreviateRegion(fields, kState, context.regions);
  AppendMd2017Part(fields.Get(kState), kStateWidth, display_format, context, line_text);
  AbbreviateRegion(fields, kCountry, context.regions);
  AppendSonderzeichenToBlank(line_text, fields.Get(kCountry), context.log);
}

}  // namespace

std::string PadToWidth(std::string_view text, int width) {
  std::string padded;
  AppendPadded(padded, text, width);
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

void ComposeContactLine(int radio_type, int display_format, const CompositionContext& context,
                        std::string& line_text) {
  if (radio_type == kMd9600) {
    ComposeMd9600Line(context, line_text);
  } else {
    ComposeMd2017Line(display_format, context, line_text);
  }
}
