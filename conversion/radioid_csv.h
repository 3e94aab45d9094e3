// The radioid.net export of DMR users: a CSV file whose header line names its columns
// (RADIO_ID, CALLSIGN, FIRST_NAME, LAST_NAME, CITY, STATE, COUNTRY, perhaps REMARKS and
// more, in any order and letter case), and how one of its records becomes the 7-field
// line of a user database.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/exception.h"

namespace userdb::conversion {

// The export's columns by their role: the index of each in a record, or -1 when the
// header does not name it (only RADIO_ID and CALLSIGN must be there).
struct CsvColumns {
  int radio_id = -1;
  int callsign = -1;
  int first_name = -1;
  int last_name = -1;
  int city = -1;
  int state = -1;
  int country = -1;
  int count = 0;  // the header's columns: a record with fewer is malformed
};

// A header that names RADIO_ID but lacks a column the conversion cannot do without.
class MissingColumnError : public Exception {
 public:
  MissingColumnError(const std::string& path, std::string_view column)
      : Exception("The first line of " + path + " names RADIO_ID but no " + std::string(column) +
                  " column") {}
};

// The columns of a header line's fields (names compared without regard to letter case,
// blanks around them ignored); none when no field is RADIO_ID, which makes it no header
// of the export. Throws MissingColumnError (naming `path`) when RADIO_ID is there but
// CALLSIGN is not.
std::optional<CsvColumns> CsvColumnsOfHeader(const std::vector<std::string_view>& header,
                                             const std::string& path);

// Replaces `line` by the 7-field line of a record that has every column of the header:
// ID, callsign, first and last name joined by one blank (either may be missing), city,
// state, an empty nickname and the country. A comma inside a value becomes ";" and a line
// end or other control character a blank, so that the line's fields are the record's.
void UserDbLineOfCsvRecord(const std::vector<std::string_view>& record, const CsvColumns& columns,
                           std::string& line);

}  // namespace userdb::conversion
