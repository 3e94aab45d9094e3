// The two forms a user database comes in, told apart by the content of its first line and
// never by the file's name: the radioid.net CSV export, whose header line names its
// columns, and the 7-field lines of a UserDb.bin.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "conversion/radioid_csv.h"

namespace userdb::conversion {

enum class InputForm { kUserDb, kRadioidCsv };

// The line a run logs first for a CSV input.
inline constexpr char kCsvInputLogLine[] = "Input format: radioid.net CSV";

struct InputLayout {
  InputForm form = InputForm::kUserDb;
  CsvColumns columns;          // the CSV form's
  size_t records_start = 0;    // the CSV form's first record: past the byte-order mark
  int records_first_line = 1;  // and the header line
};

// The form of a file's bytes: the CSV form when its first line (after a UTF-8 byte-order
// mark) is a header naming RADIO_ID and CALLSIGN, the user-database form otherwise.
// Throws MissingColumnError (naming `path`) for a first line that names RADIO_ID without
// CALLSIGN.
InputLayout DetectInputForm(std::string_view bytes, const std::string& path);

}  // namespace userdb::conversion
