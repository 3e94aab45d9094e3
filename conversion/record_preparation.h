// Cleaning, splitting and joining of one user-database line, and the field rules that
// the contact line formats use. Texts are bytes; 0xA0 stands for a blank inside a field
// from the cleaning until the field is written out.
#pragma once

#include <string>
#include <string_view>

#include "conversion/conversion_lists.h"
#include "conversion/region_lookup.h"

namespace userdb::conversion {

// Field roles in FieldList.
enum FieldIndex : int {
  kDmrId = 0,
  kCallsign = 1,
  kName = 2,
  kCity = 3,
  kState = 4,
  kNickname = 5,
  kCountry = 6,
};

// Removes every double quote and parenthesis and turns every blank into 0xA0.
std::string BlankToSonderzeichen(std::string_view line);
// The same into `cleaned`, whose memory is reused from line to line.
void BlankToSonderzeichen(std::string_view line, std::string& cleaned);

// Clears `field_list` and fills it with the fields of a cleaned line, split at ","; a
// byte from 0x01 to 0x20 ends a field and is skipped; a NUL ends the text.
void SplitFields(const std::string& cleaned_line, StringList& field_list);

// Turns every 0xA0 back into a blank. Should that fail (memory exhausted), logs
// "Fehler SonderzeichenToBlank" and returns an empty text; it never throws.
std::string SonderzeichenToBlank(std::string_view text, const LogLine& log);
// The same, appended to `out` (`text` lies elsewhere); on failure `out` stays as it was.
void AppendSonderzeichenToBlank(std::string& out, std::string_view text, const LogLine& log);

// True when the text holds a byte above 0x20, i.e. is not empty once blanks and control
// characters are trimmed from both ends (0xA0 counts as a character).
bool IsPresent(std::string_view text);

// Replaces field_list[index] by its region code when it names a region of the table
// (compared ignoring letter case, untrimmed). Throws ListIndexError when the field
// does not exist.
void AbbreviateRegion(StringList& field_list, int index, const RegionLookup& regions);

// The fields joined by ",", as they are (0xA0 stays).
std::string JoinFields(const StringList& field_list);

}  // namespace userdb::conversion
