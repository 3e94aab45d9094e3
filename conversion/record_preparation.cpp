#include "conversion/record_preparation.h"

#include <new>

#include "platform/case_insensitive_1252.h"

namespace {

constexpr char kDelimiter = ',';
constexpr char kSonderzeichen = '\xA0';

bool IsSkippable(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= 0x01 && value <= 0x20;
}

bool EndsField(char byte) {
  return byte == kDelimiter || static_cast<unsigned char>(byte) <= 0x20;
}

}  // namespace

std::string BlankToSonderzeichen(std::string_view line) {
  std::string cleaned;
  cleaned.reserve(line.size());
  for (const char byte : line) {
    if (byte == '"' || byte == '(' || byte == ')') continue;
    cleaned += byte == ' ' ? kSonderzeichen : byte;
  }
  return cleaned;
}

void SplitFields(std::string_view text, StringList& field_list) {
  field_list.Clear();
  text = text.substr(0, text.find('\0'));
  size_t position = 0;
  const auto skip = [&] {
    while (position < text.size() && IsSkippable(text[position])) ++position;
  };
  skip();
  while (position < text.size()) {
    const size_t start = position;
    while (position < text.size() && !EndsField(text[position])) ++position;
    field_list.Add(text.substr(start, position - start));
    skip();
    if (position < text.size() && text[position] == kDelimiter) {
      if (position == text.size() - 1) field_list.Add({});
      ++position;
      skip();
    }
  }
}

std::string SonderzeichenToBlank(std::string_view text, const LogLine& log) {
  try {
    std::string restored(text);
    for (char& byte : restored) {
      if (byte == kSonderzeichen) byte = ' ';
    }
    return restored;
  } catch (const std::bad_alloc&) {
    log("Fehler SonderzeichenToBlank");
    return std::string();
  }
}

bool IsPresent(std::string_view text) {
  for (const char byte : text) {
    if (static_cast<unsigned char>(byte) > 0x20) return true;
  }
  return false;
}

void AbbreviateRegion(ConversionLists& lists, int index) {
  const std::string_view field = lists.FieldList.Get(index);
  for (int row = 0; row < lists.RegionNames.Count(); ++row) {
    if (EqualIgnoringCase1252(field, lists.RegionNames.Get(row))) {
      lists.FieldList.Set(index, lists.RegionCodes.Get(row));
      return;
    }
  }
}

std::string JoinFields(const StringList& field_list) {
  std::string joined;
  for (int index = 0; index < field_list.Count(); ++index) {
    if (index > 0) joined += kDelimiter;
    joined += field_list.Get(index);
  }
  return joined;
}
