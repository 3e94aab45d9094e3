#include "crash/box/column_rule.h"

#include <algorithm>

#include "crash/box/report_view.h"

namespace userdb::crash {

namespace {

constexpr size_t kShortestPattern = 3;
constexpr size_t kUsersNeeded = 2;

bool SeparatorCharacter(std::string_view pattern, size_t position) {
  const char c = pattern[position];
  return c == ' ' || c == '=' || c == '|' || (c == ':' && pattern[position + 1] == ' ');
}

bool Uses(std::string_view line, size_t position) {
  if (line.size() <= position) return false;
  return line[position] != ' ' || (position + 1 < line.size() && line[position + 1] != ' ');
}

bool IsSeparator(const std::vector<std::string_view>& lines, size_t pattern_index, size_t position,
                 bool count_users) {
  const std::string_view pattern = lines[pattern_index];
  if (!SeparatorCharacter(pattern, position)) return false;
  size_t users = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i == pattern_index || lines[i].size() <= position) continue;
    if (lines[i][position] != pattern[position]) return false;
    if (Uses(lines[i], position)) ++users;
  }
  return !count_users || users >= kUsersNeeded;
}

}  // namespace

ColumnSplit FindColumns(const std::vector<std::string_view>& all_lines,
                        bool ignore_lone_separators) {
  std::vector<std::string_view> lines;
  for (const std::string_view line : all_lines) {
    if (!IsRemarkLine(line)) lines.push_back(line);
  }
  ColumnSplit split;
  if (lines.empty()) return split;
  size_t pattern_index = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].size() > lines[pattern_index].size()) pattern_index = i;
  }
  const size_t length = lines[pattern_index].size();
  if (length < kShortestPattern) return split;
  const auto non_empty = std::count_if(lines.begin(), lines.end(),
                                       [](std::string_view line) { return !line.empty(); });
  const bool count_users = ignore_lone_separators && non_empty > 1;

  for (size_t position = 1; position + 1 < length; ++position) {
    if (IsSeparator(lines, pattern_index, position, count_users))
      split.separators.push_back(position);
  }
  for (size_t i = 0; i < split.separators.size(); ++i) {
    const bool run_ends =
        i + 1 == split.separators.size() || split.separators[i + 1] != split.separators[i] + 1;
    if (run_ends) split.starts.push_back(split.separators[i] + 1);
  }
  return split;
}

std::vector<std::string> SplitAtColumns(std::string_view line, const ColumnSplit& split,
                                        size_t boundaries) {
  std::string blanked(line);
  for (const size_t position : split.separators) {
    if (position < blanked.size()) blanked[position] = ' ';
  }
  std::vector<size_t> cut;
  for (size_t i = 0; i < std::min(boundaries, split.starts.size()); ++i)
    cut.push_back(split.starts[i] - 1);
  return SplitAtPositions(blanked, cut);
}

std::vector<std::string> SplitAtPositions(std::string_view line,
                                          const std::vector<size_t>& boundaries) {
  std::vector<std::string> cells;
  size_t start = 0;
  for (const size_t boundary : boundaries) {
    const size_t from = std::min(start, line.size());
    const size_t to = std::min(boundary, line.size());
    cells.emplace_back(line.substr(from, to > from ? to - from : 0));
    start = boundary + 1;
  }
  cells.emplace_back(start < line.size() ? line.substr(start) : std::string_view());
  return cells;
}

std::vector<std::string> SplitAtTabs(std::string_view line, size_t columns) {
  std::vector<std::string> cells;
  size_t start = 0;
  while (cells.size() + 1 < columns) {
    const size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) break;
    cells.emplace_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  cells.emplace_back(line.substr(start));
  return cells;
}

}  // namespace userdb::crash
