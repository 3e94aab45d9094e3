#include "conversion/input_form.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "conversion/csv_reader.h"

namespace userdb::conversion {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

InputLayout DetectInputForm(std::string_view bytes, const std::string& path) {
  InputLayout layout;
  const size_t header_start = bytes.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  // Only the first line is a header: a quote in it never reaches into the lines after it.
  const size_t line_end = std::min(bytes.find_first_of("\r\n", header_start), bytes.size());
  CsvReader header_reader(bytes.substr(header_start, line_end - header_start));
  std::vector<std::string_view> header;
  if (header_reader.Next(header) != CsvReader::Result::kRecord) return layout;
  const std::optional<CsvColumns> columns = CsvColumnsOfHeader(header, path);
  if (!columns) return layout;
  layout.form = InputForm::kRadioidCsv;
  layout.columns = *columns;
  size_t records_start = line_end;
  if (records_start < bytes.size() && bytes[records_start] == '\r') ++records_start;
  if (records_start < bytes.size() && bytes[records_start] == '\n') ++records_start;
  layout.records_start = records_start;
  layout.records_first_line = 2;
  return layout;
}

}  // namespace userdb::conversion
