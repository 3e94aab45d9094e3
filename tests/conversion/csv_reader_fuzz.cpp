// Fuzzes the reading of CSV exports with arbitrary bytes: the form's detection, the records,
// their 7-field lines and their text for the radio. The first byte picks the text choice;
// the rest is the file. Checks the invariants every file must keep, whatever its bytes, and
// that counting the records passes over the same ones.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/csv_reader.h"
#include "conversion/input_form.h"
#include "conversion/radio_text.h"
#include "conversion/radioid_csv.h"
#include "conversion/record_preparation.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Fields as the user-database split sees them: runs between commas and control bytes.
size_t FieldBreaks(std::string_view line) {
  return static_cast<size_t>(std::count_if(line.begin(), line.end(), [](char byte) {
    return byte == ',' || static_cast<unsigned char>(byte) < 0x20;
  }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  using userdb::conversion::TextChoice;
  static userdb::conversion::RadioText radio_text;
  static userdb::conversion::StringList fields;
  const TextChoice choice = data[0] % 2 ? TextChoice::kAscii : TextChoice::kCp1252;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  userdb::conversion::InputLayout layout;
  try {
    layout = userdb::conversion::DetectInputForm(bytes, "fuzz.csv");
  } catch (const userdb::conversion::MissingColumnError&) {
    return 0;
  }
  if (layout.form != userdb::conversion::InputForm::kRadioidCsv) return 0;
  Check(layout.records_start <= bytes.size());

  userdb::conversion::CsvReader reader(bytes.substr(layout.records_start), 2);
  // Counting passes over the same records as reading does.
  userdb::conversion::CsvReader counter(bytes.substr(layout.records_start), 2);
  std::vector<std::string_view> record;
  std::string line;
  std::string converted;
  int last_line = 1;
  size_t last_position = 0;
  for (;;) {
    const auto result = reader.Next(record);
    Check(counter.Skip() == result && counter.Position() == reader.Position() &&
          counter.RecordLineNumber() == reader.RecordLineNumber());
    if (result == userdb::conversion::CsvReader::Result::kEnd) break;
    Check(reader.Position() > last_position);
    Check(reader.RecordLineNumber() > last_line);
    last_position = reader.Position();
    last_line = reader.RecordLineNumber();
    if (result == userdb::conversion::CsvReader::Result::kUnclosedQuote) break;
    Check(!record.empty());
    if (static_cast<int>(record.size()) < layout.columns.count) continue;

    userdb::conversion::UserDbLineOfCsvRecord(record, layout.columns, line);
    Check(FieldBreaks(line) == 6 && std::count(line.begin(), line.end(), ',') == 6);
    const std::string_view for_radio = radio_text.ConvertLine(choice, line, converted);
    Check(FieldBreaks(for_radio) == 6);
    if (choice == TextChoice::kAscii) {
      Check(std::all_of(for_radio.begin(), for_radio.end(),
                        [](char byte) { return static_cast<unsigned char>(byte) < 0x80; }));
    }
    userdb::conversion::SplitFields(userdb::conversion::BlankToSonderzeichen(for_radio), fields);
    Check(fields.Count() == 7);
  }
  Check(reader.Position() == bytes.size() - layout.records_start);
  return 0;
}
