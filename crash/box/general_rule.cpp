#include "crash/box/general_rule.h"

#include <algorithm>

#include "crash/box/column_rule.h"

namespace userdb::crash {

namespace {

constexpr size_t kLongLine = 80;
constexpr size_t kShortPerLong = 5;

bool ShownAsList(std::string_view text, const std::vector<std::string_view>& lines) {
  if (text.starts_with('^')) return true;
  const auto long_lines = static_cast<size_t>(std::count_if(
      lines.begin(), lines.end(), [](std::string_view line) { return line.size() > kLongLine; }));
  return lines.size() > 1 && kShortPerLong * long_lines < lines.size() - long_lines;
}

char FirstNonBlank(std::string_view line) {
  const size_t position = line.find_first_not_of(' ');
  return position == std::string_view::npos ? '\0' : line[position];
}

// Lines without any non-blank character do not decide it.
bool IsHardwareForm(const std::vector<std::string_view>& lines) {
  bool any = false;
  for (const std::string_view line : lines) {
    const char first = FirstNonBlank(line);
    if (first == '\0') continue;
    if (first != '+' && first != '-') return false;
    any = true;
  }
  return any;
}

ReportView HardwareFormView(const std::vector<std::string_view>& lines,
                            const std::vector<std::string_view>& names) {
  ReportView view = ListView({names.empty() ? std::string_view() : names.front()}, true);
  for (std::string_view line : lines) {
    while (!line.empty() && static_cast<unsigned char>(line.back()) <= 32) line.remove_suffix(1);
    const RowStyle style = FirstNonBlank(line) == '+' ? RowStyle::kHighlighted : RowStyle::kNormal;
    view.rows.push_back({{std::string(line)}, style});
  }
  return view;
}

size_t MostTabs(const std::vector<std::string_view>& lines) {
  size_t most = 0;
  for (const std::string_view line : lines)
    most = std::max(most, static_cast<size_t>(std::count(line.begin(), line.end(), '\t')));
  return most;
}

std::vector<std::string_view> ColumnNames(std::string_view first_line) {
  std::vector<std::string_view> names;
  size_t start = 0;
  while (true) {
    const size_t tab = first_line.find('\t', start);
    names.push_back(first_line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) return names;
    start = tab + 1;
  }
}

// Unnamed columns, as many as the rows need, named by `names` where there are names.
std::vector<ViewColumn> Columns(size_t count, const std::vector<std::string_view>& names) {
  std::vector<ViewColumn> columns(std::max(count, names.size()));
  for (size_t i = 0; i < names.size(); ++i) columns[i] = MarkedColumn(names[i]);
  return columns;
}

}  // namespace

ReportView GeneralRuleView(std::string_view text) {
  std::vector<std::string_view> lines = TextLines(text);
  if (!ShownAsList(text, lines)) return PlainTextView(text);

  const bool named = text.starts_with('^');
  std::vector<std::string_view> names;
  if (named) {
    // The "^" only says that names follow: the first name carries its own marks after it.
    names = ColumnNames(lines.front().substr(1));
    lines.erase(lines.begin());
  }

  ReportView view;
  if (IsHardwareForm(lines)) {
    view = HardwareFormView(lines, names);
  } else if (MostTabs(lines) == 0) {
    const ColumnSplit split = FindColumns(lines, true);
    view.columns = Columns(split.starts.size() + 1, names);
    for (const std::string_view line : lines) {
      if (IsRemarkLine(line)) {
        view.rows.push_back(TitleRow(line));
      } else {
        AddRow(view, SplitAtColumns(line, split, split.starts.size()));
      }
    }
  } else {
    view.columns = Columns(MostTabs(lines) + 1, names);
    for (const std::string_view line : lines) AddRow(view, SplitAtTabs(line, view.columns.size()));
  }
  view.column_names_shown = named;
  return view;
}

}  // namespace userdb::crash
