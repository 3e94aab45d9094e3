#include "crash/box/call_stack_view.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace userdb::crash {

namespace {

enum Column { kAddress, kOffset, kModule, kUnit, kLine, kRelativeLine, kFunction, kColumnCount };

constexpr std::array<std::string_view, kColumnCount> kColumnNames = {
    "^address", "^ rel.", "module", "unit", " line", " rel.", "function"};

constexpr std::string_view kUnknownFunction = "???";

using StackCells = std::array<std::string, kColumnCount>;

// Remarks that the printing of one stack puts between its lines.
bool BelongsToTheStack(std::string_view remark) {
  return remark.starts_with(">> created by ") || remark.starts_with(">> stack not traced");
}

// The run of non-blank characters at `position`; empty at a blank or beyond the end.
std::string_view TokenAt(std::string_view line, size_t position) {
  if (position >= line.size()) return {};
  const size_t end = line.find(' ', position);
  return line.substr(position, end == std::string_view::npos ? end : end - position);
}

bool IsLineNumber(std::string_view token) {
  if (token.starts_with('+')) token.remove_prefix(1);
  return !token.empty() &&
         std::all_of(token.begin(), token.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Fills one padded column of every line: each line's token at `start`; returns where the
// next column starts, one blank after the longest token.
size_t TakeColumn(const std::vector<std::string_view>& lines, size_t start, Column column,
                  std::vector<StackCells>& cells) {
  size_t longest = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string_view token = TokenAt(lines[i], start);
    cells[i][column] = std::string(token);
    longest = std::max(longest, token.size());
  }
  return start + longest + 1;
}

struct NumberToken {
  size_t line;
  size_t end;
  std::string text;
};

// The line numbers and the function from `start` on.
void TakeNumbersAndFunction(const std::vector<std::string_view>& lines, size_t start,
                            std::vector<StackCells>& cells) {
  std::vector<NumberToken> numbers;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    size_t position = start;
    while (true) {
      position = line.find_first_not_of(' ', std::min(position, line.size()));
      if (position == std::string_view::npos) break;
      const std::string_view token = TokenAt(line, position);
      if (!IsLineNumber(token)) {
        cells[i][kFunction] = std::string(line.substr(position));
        break;
      }
      numbers.push_back({i, position + token.size(), std::string(token)});
      position += token.size();
    }
  }
  std::vector<size_t> ends;
  for (const NumberToken& number : numbers) ends.push_back(number.end);
  std::sort(ends.begin(), ends.end());
  ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
  const bool relative_only =
      ends.size() == 1 && std::any_of(numbers.begin(), numbers.end(),
                                      [](const NumberToken& n) { return n.text.starts_with('+'); });
  for (const NumberToken& number : numbers) {
    const bool first_end = number.end == ends.front();
    cells[number.line][first_end && !relative_only ? kLine : kRelativeLine] = number.text;
  }
}

std::vector<StackCells> SplitStackLines(const std::vector<std::string_view>& lines) {
  std::vector<StackCells> cells(lines.size());
  size_t start = 0;
  for (const std::string_view line : lines) start = std::max(start, TokenAt(line, 0).size() + 1);
  for (size_t i = 0; i < lines.size(); ++i) cells[i][kAddress] = std::string(TokenAt(lines[i], 0));

  const bool offsets = std::all_of(lines.begin(), lines.end(), [start](std::string_view line) {
    return start < line.size() && line[start] == '+';
  });
  if (offsets) start = TakeColumn(lines, start, kOffset, cells);
  start = TakeColumn(lines, start, kModule, cells);
  start = TakeColumn(lines, start, kUnit, cells);
  TakeNumbersAndFunction(lines, start, cells);

  for (StackCells& line : cells) {
    // An address without symbols: its "???" names no module.
    if (line[kModule] == kUnknownFunction && line[kUnit].empty() && line[kFunction].empty()) {
      line[kModule].clear();
      line[kFunction] = std::string(kUnknownFunction);
    }
  }
  return cells;
}

// One row of the list: a remark, or a call-stack line split into its columns.
struct StackRow {
  std::optional<std::string_view> remark;
  StackCells cells;
};

std::vector<StackRow> StackRows(const std::vector<std::string_view>& lines) {
  std::vector<StackRow> rows;
  std::vector<std::string_view> group;
  std::vector<size_t> group_rows;
  const auto close_group = [&] {
    const std::vector<StackCells> cells = SplitStackLines(group);
    for (size_t i = 0; i < group.size(); ++i) rows[group_rows[i]].cells = cells[i];
    group.clear();
    group_rows.clear();
  };
  for (const std::string_view line : lines) {
    if (IsRemarkLine(line)) {
      if (!BelongsToTheStack(line)) close_group();
      rows.push_back({line, {}});
      continue;
    }
    group.push_back(line);
    group_rows.push_back(rows.size());
    rows.push_back({std::nullopt, {}});
  }
  close_group();
  return rows;
}

}  // namespace

ReportView CallStackView(std::string_view text) {
  const std::vector<StackRow> rows = StackRows(TextLines(text));
  std::array<bool, kColumnCount> present{};
  present[kAddress] = true;
  for (const StackRow& row : rows) {
    for (size_t column = 0; column < kColumnCount; ++column)
      present[column] = present[column] || !row.cells[column].empty();
  }
  std::vector<std::string_view> names;
  for (size_t column = 0; column < kColumnCount; ++column) {
    if (present[column]) names.push_back(kColumnNames[column]);
  }
  ReportView view = ListView(names, false);
  for (const StackRow& row : rows) {
    if (row.remark) {
      view.rows.push_back(TitleRow(*row.remark));
      continue;
    }
    std::vector<std::string> cells;
    for (size_t column = 0; column < kColumnCount; ++column) {
      if (present[column]) cells.push_back(row.cells[column]);
    }
    AddRow(view, std::move(cells));
  }
  return view;
}

}  // namespace userdb::crash
