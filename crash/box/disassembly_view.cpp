#include "crash/box/disassembly_view.h"

#include <algorithm>
#include <string>
#include <vector>

namespace userdb::crash {

namespace {

constexpr size_t kShortestAddress = 8;
constexpr char kExceptionMark = '>';
constexpr std::string_view kRuler = "; --";

struct DisassemblyLine {
  std::string address;
  std::string line_number;
  std::string code;
  std::string comment;
  bool exception_line = false;
};

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view WithoutLeadingBlanks(std::string_view text) {
  const size_t start = text.find_first_not_of(' ');
  return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

// The code and its comment; a ruler is code.
void SplitComment(std::string_view text, DisassemblyLine& line) {
  const size_t semicolon = text.find(';');
  if (semicolon == std::string_view::npos || text.substr(semicolon).starts_with(kRuler)) {
    line.code = std::string(text);
    return;
  }
  line.code = std::string(text.substr(0, semicolon));
  line.comment = std::string(text.substr(semicolon));
}

DisassemblyLine ParseLine(std::string_view text) {
  DisassemblyLine line;
  const size_t digits =
      static_cast<size_t>(std::find_if_not(text.begin(), text.end(), IsHexDigit) - text.begin());
  if (digits < kShortestAddress || digits >= text.size() || text[digits] != ' ') {
    SplitComment(text, line);
    return line;
  }
  line.address = std::string(text.substr(0, digits));
  std::string_view rest = WithoutLeadingBlanks(text.substr(digits + 1));
  if (rest.starts_with(kExceptionMark)) {
    line.exception_line = true;
    rest.remove_prefix(1);
  }
  rest = WithoutLeadingBlanks(rest);
  const std::string_view first = rest.substr(0, rest.find(' '));
  if (IsDigits(first)) {
    line.line_number = std::string(first);
    rest = WithoutLeadingBlanks(rest.substr(first.size()));
  }
  SplitComment(rest, line);
  return line;
}

}  // namespace

ReportView DisassemblyView(std::string_view text) {
  std::vector<DisassemblyLine> lines;
  for (const std::string_view line : TextLines(text)) lines.push_back(ParseLine(line));
  const bool numbered = std::any_of(lines.begin(), lines.end(), [](const DisassemblyLine& line) {
    return !line.line_number.empty();
  });
  ReportView view = numbered ? ListView({"address", "line", "asm code", "comments"}, true)
                             : ListView({"address", "asm code", "comments"}, true);
  for (DisassemblyLine& line : lines) {
    std::vector<std::string> cells = {std::move(line.address)};
    if (numbered) cells.push_back(std::move(line.line_number));
    cells.push_back(std::move(line.code));
    cells.push_back(std::move(line.comment));
    AddRow(view, std::move(cells),
           line.exception_line ? RowStyle::kExceptionLine : RowStyle::kNormal);
  }
  return view;
}

}  // namespace userdb::crash
