#include "conversion/radioid_csv.h"

#include "platform/case_insensitive_1252.h"

namespace userdb::conversion {

namespace {

constexpr std::string_view kRadioId = "RADIO_ID";
constexpr std::string_view kCallsign = "CALLSIGN";

// The text without blanks and control characters at its ends.
std::string_view Trimmed(std::string_view text) {
  const auto is_blank = [](char byte) { return static_cast<unsigned char>(byte) <= 0x20; };
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view ValueAt(const std::vector<std::string_view>& record, int column) {
  return column < 0 ? std::string_view() : record[static_cast<size_t>(column)];
}

// Appends a value so that it stays one field of the line: a comma becomes ";", a line end
// (CR LF as one) or any other control character a blank.
void AppendAsField(std::string_view value, std::string& line) {
  // Most values need nothing changed; they are told without an early exit, so that the
  // compiler turns the test into vector code.
  bool as_it_is = true;
  for (const char byte : value) {
    as_it_is &= byte != ',' && static_cast<unsigned char>(byte) >= 0x20;
  }
  if (as_it_is) {
    line += value;
    return;
  }
  for (size_t i = 0; i < value.size(); ++i) {
    const char byte = value[i];
    if (byte == ',') {
      line += ';';
    } else if (static_cast<unsigned char>(byte) < 0x20) {
      if (byte == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
      line += ' ';
    } else {
      line += byte;
    }
  }
}

}  // namespace

std::optional<CsvColumns> CsvColumnsOfHeader(const std::vector<std::string_view>& header,
                                             const std::string& path) {
  CsvColumns columns;
  columns.count = static_cast<int>(header.size());
  struct Named {
    std::string_view name;
    int CsvColumns::*column;
  };
  constexpr Named kNamed[] = {{kRadioId, &CsvColumns::radio_id},
                              {kCallsign, &CsvColumns::callsign},
                              {"FIRST_NAME", &CsvColumns::first_name},
                              {"LAST_NAME", &CsvColumns::last_name},
                              {"CITY", &CsvColumns::city},
                              {"STATE", &CsvColumns::state},
                              {"COUNTRY", &CsvColumns::country}};
  for (size_t index = 0; index < header.size(); ++index) {
    const std::string_view name = Trimmed(header[index]);
    for (const Named& named : kNamed) {
      // The first column of a name counts.
      if (columns.*named.column < 0 && platform::EqualIgnoringCase1252(name, named.name)) {
        columns.*named.column = static_cast<int>(index);
      }
    }
  }
  if (columns.radio_id < 0) return std::nullopt;
  if (columns.callsign < 0) throw MissingColumnError(path, kCallsign);
  return columns;
}

void UserDbLineOfCsvRecord(const std::vector<std::string_view>& record, const CsvColumns& columns,
                           std::string& line) {
  line.clear();
  AppendAsField(ValueAt(record, columns.radio_id), line);
  line += ',';
  AppendAsField(ValueAt(record, columns.callsign), line);
  line += ',';
  const std::string_view first = Trimmed(ValueAt(record, columns.first_name));
  const std::string_view last = Trimmed(ValueAt(record, columns.last_name));
  AppendAsField(first, line);
  if (!first.empty() && !last.empty()) line += ' ';
  AppendAsField(last, line);
  line += ',';
  AppendAsField(ValueAt(record, columns.city), line);
  line += ',';
  AppendAsField(ValueAt(record, columns.state), line);
  line += ",,";  // the export has no nickname
  AppendAsField(ValueAt(record, columns.country), line);
}

}  // namespace userdb::conversion
