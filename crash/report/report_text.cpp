#include "crash/report/report_text.h"

#include <algorithm>
#include <string_view>

#include "crash/report/report_file_format.h"

namespace userdb::crash {

namespace {

// Every line break becomes a blank and every run of blanks one blank.
void AppendOnOneLine(std::string& text, std::string_view value) {
  bool after_blank = false;
  for (const char c : value) {
    const bool blank = c == ' ' || c == '\r' || c == '\n';
    if (blank && after_blank) continue;
    text += blank ? ' ' : c;
    after_blank = blank;
  }
}

// Each line of the content on a line of its own, trailing characters 0 to 32 cut, an
// empty line written as ".".
void AppendSectionLines(std::string& text, std::string_view content) {
  size_t start = 0;
  while (true) {
    const size_t end = content.find_first_of("\r\n", start);
    std::string_view line =
        content.substr(start, end == std::string_view::npos ? end : end - start);
    while (!line.empty() && static_cast<unsigned char>(line.back()) <= 32) line.remove_suffix(1);
    text += kLineBreak;
    text += line.empty() ? std::string_view(".") : line;
    if (end == std::string_view::npos) return;
    start = end + (content.substr(end).starts_with(kLineBreak) ? 2 : 1);
  }
}

}  // namespace

std::string HeaderValueOnOneLine(std::string_view value) {
  std::string line;
  AppendOnOneLine(line, value);
  return line;
}

std::string ComposeReportText(const std::vector<ReportEntry>& header,
                              const std::vector<ReportEntry>& sections) {
  size_t width = 0;
  for (const ReportEntry& entry : header) width = std::max(width, entry.name.size() + 1);
  std::string text;
  for (const ReportEntry& entry : header) {
    if (!text.empty()) text += kLineBreak;
    text += entry.name;
    text.append(width - entry.name.size(), ' ');
    text += kHeaderValueSeparator;
    AppendOnOneLine(text, entry.value);
  }
  for (const ReportEntry& section : sections) {
    text += kLineBreak;
    text += kLineBreak;
    text += section.name;
    if (section.name.find(':') == std::string::npos) text += ':';
    AppendSectionLines(text, section.value);
  }
  return text;
}

}  // namespace userdb::crash
