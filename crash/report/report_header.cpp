#include "crash/report/report_header.h"

#include "crash/report/report_file_format.h"

namespace userdb::crash {

namespace {

struct HeaderLine {
  size_t start = 0;
  size_t separator = 0;  // where ": " stands
  size_t value = 0;
  size_t end = 0;  // where the line break stands, or the header's end
};

std::optional<HeaderLine> FindHeaderLine(std::string_view header, std::string_view name) {
  for (size_t start = 0;;) {
    if (header.substr(start).starts_with(name)) {
      size_t at = start + name.size();
      while (at < header.size() && header[at] == ' ') ++at;
      if (header.substr(at).starts_with(kHeaderValueSeparator)) {
        const size_t value = at + kHeaderValueSeparator.size();
        const size_t end = header.find_first_of("\r\n", value);
        return HeaderLine{start, at, value, end == std::string_view::npos ? header.size() : end};
      }
    }
    const size_t next = header.find(kLineBreak, start);
    if (next == std::string_view::npos) return std::nullopt;
    start = next + kLineBreak.size();
  }
}

}  // namespace

std::string_view ReportHeader(std::string_view report) {
  return report.substr(0, report.find("\r\n\r\n"));
}

std::optional<std::string_view> ReadHeaderValue(std::string_view report, std::string_view name) {
  const std::string_view header = ReportHeader(report);
  const auto line = FindHeaderLine(header, name);
  if (!line) return std::nullopt;
  return header.substr(line->value, line->end - line->value);
}

std::string InsertHeaderLineAfter(std::string_view report, std::string_view anchor,
                                  std::string_view name, std::string_view value) {
  const auto anchor_line = FindHeaderLine(ReportHeader(report), anchor);
  if (!anchor_line) return std::string(report);
  const size_t width = anchor_line->separator - anchor_line->start;
  std::string line(kLineBreak);
  line += name;
  if (name.size() < width) line.append(width - name.size(), ' ');
  line += kHeaderValueSeparator;
  line += value;
  std::string result;
  result.reserve(report.size() + line.size());
  result += report.substr(0, anchor_line->end);
  result += line;
  result += report.substr(anchor_line->end);
  return result;
}

}  // namespace userdb::crash
