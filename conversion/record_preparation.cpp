#include "conversion/record_preparation.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace userdb::conversion {

namespace {

constexpr char kDelimiter = ',';
constexpr char kSonderzeichen = '\xA0';

// Byte classes of the split, looked up rather than compared: the split sees every byte
// of a database that can run to millions of lines.
struct ByteClasses {
  bool ends_field[256] = {};  // the delimiter and every byte at or below blank
  bool skippable[256] = {};   // 0x01 to 0x20

  constexpr ByteClasses() {
    ends_field[static_cast<unsigned char>(kDelimiter)] = true;
    for (int byte = 0; byte <= 0x20; ++byte) {
      ends_field[byte] = true;
      skippable[byte] = byte != 0;
    }
  }
};

constexpr ByteClasses kClasses;

bool IsSkippable(char byte) {
  return kClasses.skippable[static_cast<unsigned char>(byte)];
}
bool EndsField(char byte) {
  return kClasses.ends_field[static_cast<unsigned char>(byte)];
}

// Copies the text to `to` with every `old_byte` replaced by `new_byte`, in one pass. A loop
// without early exit or table, so that the compiler turns it into vector code: it sees every
// byte of a run.
void CopyReplacing(std::string_view text, char* to, char old_byte, char new_byte) {
  const char* const from = text.data();
  for (size_t i = 0; i < text.size(); ++i) to[i] = from[i] == old_byte ? new_byte : from[i];
}

// Whether a byte from 0x00 to 0x20 is in the text. The smallest byte is found without an
// early exit, so that the compiler turns the loop into vector code.
bool HoldsBlankOrControl(std::string_view text) {
  unsigned char smallest = 0xFF;
  for (const char byte : text) smallest = std::min(smallest, static_cast<unsigned char>(byte));
  return smallest <= 0x20;
}

bool IsRemovedByCleaning(char byte) {
  return byte == '"' || byte == '(' || byte == ')';
}

// Tested without an early exit, so that the compiler turns the loop into vector code.
bool HoldsRemovedBytes(std::string_view line) {
  unsigned char found = 0;
  for (const char byte : line) found |= (byte == '"') | (byte == '(') | (byte == ')');
  return found != 0;
}

}  // namespace

void BlankToSonderzeichen(std::string_view line, std::string& cleaned) {
  cleaned.resize(line.size());
  CopyReplacing(line, cleaned.data(), ' ', kSonderzeichen);
  // The bytes that cleaning removes are rare, and never blanks.
  if (HoldsRemovedBytes(line)) {
    cleaned.erase(std::remove_if(cleaned.begin(), cleaned.end(), IsRemovedByCleaning),
                  cleaned.end());
  }
}

std::string BlankToSonderzeichen(std::string_view line) {
  std::string cleaned;
  BlankToSonderzeichen(line, cleaned);
  return cleaned;
}

void SplitFields(const std::string& cleaned_line, StringList& field_list) {
  // Most lines hold no byte at or below blank once cleaned: their fields are the pieces
  // between the commas, taken in one go.
  if (!cleaned_line.empty() && !HoldsBlankOrControl(cleaned_line)) {
    field_list.AssignPieces(cleaned_line, kDelimiter);
    return;
  }
  field_list.Clear();
  // The string's own terminating NUL ends the text as a NUL inside it does, so the
  // scans stop at the end without a bounds check.
  const char* position = cleaned_line.c_str();
  const auto skip = [&] {
    while (IsSkippable(*position)) ++position;
  };
  skip();
  while (*position != '\0') {
    const char* start = position;
    while (!EndsField(*position)) ++position;
    field_list.Add(std::string_view(start, position - start));
    skip();
    if (*position == kDelimiter) {
      ++position;
      if (*position == '\0') field_list.Add({});  // a delimiter that is the text's last byte
      skip();
    }
  }
}

void AppendSonderzeichenToBlank(std::string& out, std::string_view text, const LogLine& log) {
  const size_t start = out.size();
  try {
    out.resize(start + text.size());
  } catch (const std::bad_alloc&) {
    out.resize(start);
    log("Fehler SonderzeichenToBlank");
    return;
  }
  CopyReplacing(text, out.data() + start, kSonderzeichen, ' ');
}

std::string SonderzeichenToBlank(std::string_view text, const LogLine& log) {
  std::string restored;
  AppendSonderzeichenToBlank(restored, text, log);
  return restored;
}

bool IsPresent(std::string_view text) {
  for (const char byte : text) {
    if (static_cast<unsigned char>(byte) > 0x20) return true;
  }
  return false;
}

void AbbreviateRegion(StringList& field_list, int index, const RegionLookup& regions) {
  if (const auto code = regions.CodeFor(field_list.Get(index))) field_list.Set(index, *code);
}

std::string JoinFields(const StringList& field_list) {
  std::string joined;
  for (int index = 0; index < field_list.Count(); ++index) {
    if (index > 0) joined += kDelimiter;
    joined += field_list.Get(index);
  }
  return joined;
}

}  // namespace userdb::conversion
