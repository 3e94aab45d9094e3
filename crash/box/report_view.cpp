#include "crash/box/report_view.h"

#include <utility>

namespace userdb::crash {

namespace {

std::string InCapitals(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool IsTrimmed(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

}  // namespace

ViewColumn MarkedColumn(std::string_view marked_name) {
  ViewColumn column;
  if (marked_name.starts_with('^')) {
    column.capitals = true;
    marked_name.remove_prefix(1);
  }
  if (marked_name.starts_with(' ')) {
    column.right_aligned = true;
    marked_name.remove_prefix(1);
  }
  column.name = std::string(marked_name);
  return column;
}

std::vector<std::string_view> TextLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (true) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + (text.substr(end).starts_with("\r\n") ? 2 : 1);
  }
}

std::string TrimmedCell(std::string_view cell) {
  while (!cell.empty() && IsTrimmed(cell.front())) cell.remove_prefix(1);
  while (!cell.empty() && IsTrimmed(cell.back())) cell.remove_suffix(1);
  return std::string(cell);
}

ReportView ListView(const std::vector<std::string_view>& marked_columns, bool fixed_pitch) {
  ReportView view;
  view.fixed_pitch = fixed_pitch;
  for (const std::string_view name : marked_columns) view.columns.push_back(MarkedColumn(name));
  return view;
}

ReportView PlainTextView(std::string_view text) {
  ReportView view;
  view.plain_text = true;
  view.text = std::string(text);
  return view;
}

ViewRow TitleRow(std::string_view line) {
  return {{TrimmedCell(line)}, RowStyle::kTitle};
}

void AddRow(ReportView& view, std::vector<std::string> cells, RowStyle style) {
  cells.resize(std::max(view.columns.size(), size_t{1}));
  for (size_t i = 0; i < cells.size(); ++i) {
    cells[i] = TrimmedCell(cells[i]);
    if (i < view.columns.size() && view.columns[i].capitals) cells[i] = InCapitals(cells[i]);
  }
  view.rows.push_back({std::move(cells), style});
}

}  // namespace userdb::crash
