#include "conversion/contact_line.h"

#include <algorithm>

#include "conversion/record_preparation.h"

namespace userdb::conversion {

namespace {

constexpr int kDisplayNameWidth = 15;
constexpr int kMaxPadding = 28;
constexpr int kNameWidth = 25;
constexpr int kCityWidth = 24;
constexpr int kStateWidth = 24;

constexpr char kSonderzeichen = '\xA0';

// The fields of the display name, read in their order: nickname, name when needed,
// callsign; a missing field fails before anything is written.
struct DisplayNameParts {
  std::string_view callsign;
  std::string_view given_name;  // as split: 0xA0 still stands for blanks
};

// IsPresent of the text with its 0xA0 bytes turned back into blanks.
bool IsPresentRestored(std::string_view text) {
  for (const char byte : text) {
    const auto value = static_cast<unsigned char>(byte);
    if (value > 0x20 && byte != kSonderzeichen) return true;
  }
  return false;
}

// The first word of the restored text: everything before its first blank.
std::string_view FirstWordRestored(std::string_view text) {
  size_t end = 0;
  while (end < text.size() && text[end] != ' ' && text[end] != kSonderzeichen) ++end;
  return text.substr(0, end);
}

DisplayNameParts ReadDisplayNameParts(const StringList& fields) {
  DisplayNameParts parts;
  parts.given_name = fields.Get(kNickname);
  if (!IsPresentRestored(parts.given_name)) parts.given_name = FirstWordRestored(fields.Get(kName));
  parts.callsign = fields.Get(kCallsign);
  return parts;
}

// Fills what was appended to `line_text` since `start` with blanks (28 at most), or cuts
// it, to `width` bytes.
void FitAppendedToWidth(std::string& line_text, size_t start, int width) {
  const size_t target = static_cast<size_t>(std::max(width, 0));
  const size_t length = line_text.size() - start;
  if (length >= target) {
    line_text.resize(start + target);
  } else {
    line_text.append(std::min(target - length, static_cast<size_t>(kMaxPadding)), ' ');
  }
}

// Callsign, a blank and the restored given name, filled with blanks or cut to 15 bytes.
void AppendDisplayName(const DisplayNameParts& parts, const LogLine& log, std::string& out) {
  const size_t start = out.size();
  out += parts.callsign;
  out += ' ';
  AppendSonderzeichenToBlank(out, parts.given_name, log);
  FitAppendedToWidth(out, start, kDisplayNameWidth);
}

void AppendDisplayNamePart(const CompositionContext& context, std::string& line_text) {
  const DisplayNameParts parts = ReadDisplayNameParts(context.field_list);
  line_text += ',';
  AppendDisplayName(parts, context.log, line_text);
  line_text += ',';
}

// The MD-9600/RT90 line up to its state: ID, display name, city, "|" state when present.
void ComposeMd9600UpToState(const CompositionContext& context, std::string& line_text) {
  StringList& fields = context.field_list;
  AppendDisplayNamePart(context, line_text);
  if (IsPresent(fields.Get(kCity))) {
    AppendSonderzeichenToBlank(line_text, fields.Get(kCity), context.log);
  }
  AbbreviateRegion(fields, kState, context.regions);
  if (IsPresent(fields.Get(kState))) {
    line_text += '|';
    AppendSonderzeichenToBlank(line_text, fields.Get(kState), context.log);
  }
}

// ... and its end: "|" and the country.
void AppendMd9600Country(const CompositionContext& context, std::string& line_text) {
  AbbreviateRegion(context.field_list, kCountry, context.regions);
  line_text += '|';
  AppendSonderzeichenToBlank(line_text, context.field_list.Get(kCountry), context.log);
}

// One of name, city and state on the MD-2017/RT82 line: nothing when absent; otherwise
// padded to its width (one field per display line) or followed by "|" (compact).
void AppendMd2017Part(std::string_view field, int width, DisplayFormat display_format,
                      const CompositionContext& context, std::string& line_text) {
  if (!IsPresent(field)) return;
  if (display_format == kFieldPerLine) {
    const size_t start = line_text.size();
    AppendSonderzeichenToBlank(line_text, field, context.log);
    FitAppendedToWidth(line_text, start, width);
  } else {
    AppendSonderzeichenToBlank(line_text, field, context.log);
    line_text += '|';
  }
}

void ComposeMd2017UpToState(DisplayFormat display_format, const CompositionContext& context,
                            std::string& line_text) {
  StringList& fields = context.field_list;
  AppendDisplayNamePart(context, line_text);
  AppendMd2017Part(fields.Get(kName), kNameWidth, display_format, context, line_text);
  AppendMd2017Part(fields.Get(kCity), kCityWidth, display_format, context, line_text);
  AbbreviateRegion(fields, kState, context.regions);
  AppendMd2017Part(fields.Get(kState), kStateWidth, display_format, context, line_text);
}

void AppendMd2017Country(const CompositionContext& context, std::string& line_text) {
  AbbreviateRegion(context.field_list, kCountry, context.regions);
  AppendSonderzeichenToBlank(line_text, context.field_list.Get(kCountry), context.log);
}

// The field whose read ends the composition (the display name reads the nickname first,
// the country is read last), or -1 when every field it reads is there.
int MissingFieldOfComposition(const StringList& field_list) {
  if (field_list.Count() <= kNickname) return kNickname;
  if (field_list.Count() <= kCountry) return kCountry;
  return -1;
}

}  // namespace

std::string PadToWidth(std::string_view text, int width) {
  std::string padded(text);
  FitAppendedToWidth(padded, 0, width);
  return padded;
}

std::string ComposeDisplayName(const StringList& field_list, const LogLine& log) {
  std::string display_name;
  AppendDisplayName(ReadDisplayNameParts(field_list), log, display_name);
  return display_name;
}

bool TryComposeContactLine(RadioType radio_type, DisplayFormat display_format,
                           const CompositionContext& context, std::string& line_text) {
  const int missing = MissingFieldOfComposition(context.field_list);
  if (missing == kNickname) return false;
  if (radio_type == kMd9600) {
    ComposeMd9600UpToState(context, line_text);
  } else {
    ComposeMd2017UpToState(display_format, context, line_text);
  }
  if (missing == kCountry) return false;
  if (radio_type == kMd9600) {
    AppendMd9600Country(context, line_text);
  } else {
    AppendMd2017Country(context, line_text);
  }
  return true;
}

void ComposeContactLine(RadioType radio_type, DisplayFormat display_format,
                        const CompositionContext& context, std::string& line_text) {
  if (!TryComposeContactLine(radio_type, display_format, context, line_text)) {
    throw ListIndexError(MissingFieldOfComposition(context.field_list));
  }
}

}  // namespace userdb::conversion
