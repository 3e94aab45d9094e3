#include "crash/box/section_views.h"

#include <vector>

#include "crash/box/column_rule.h"

namespace userdb::crash {

namespace {

// The address's 16 digits and the first of the two blanks after it; the 16 bytes in
// hexadecimal with "- " before the ninth; then the blank before the characters.
constexpr size_t kAddressDigits = 16;
constexpr size_t kFirstBoundary = kAddressDigits + 1;
constexpr size_t kSecondBoundary = kFirstBoundary + 1 + 16 * 3 + 2;

constexpr size_t kProcessColumnsWithoutSession = 4;

// A view of the column rule's cells, with `columns` columns.
ReportView ColumnRuleView(std::string_view text, const std::vector<std::string_view>& columns,
                          bool fixed_pitch) {
  const std::vector<std::string_view> lines = TextLines(text);
  const ColumnSplit split = FindColumns(lines, true);
  ReportView view = ListView(columns, fixed_pitch);
  for (const std::string_view line : lines) {
    if (IsRemarkLine(line)) {
      view.rows.push_back(TitleRow(line));
    } else {
      AddRow(view, SplitAtColumns(line, split, columns.size() - 1));
    }
  }
  return view;
}

}  // namespace

ReportView HeaderView(std::string_view text) {
  ReportView view = ListView({"description", "value"}, false);
  for (const std::string_view line : TextLines(text)) AddRow(view, SplitAtTabs(line, 2));
  return view;
}

ReportView CpuRegistersView(std::string_view text) {
  return ColumnRuleView(text, {"reg.", "content"}, true);
}

ReportView StackDumpView(std::string_view text) {
  ReportView view = ListView({"address", "data - hexadecimal", "data - chars"}, true);
  for (const std::string_view line : TextLines(text))
    AddRow(view, SplitAtPositions(line, {kFirstBoundary, kSecondBoundary}));
  return view;
}

ReportView ModulesView(std::string_view text) {
  return ColumnRuleView(text, {"^handle", "file name", " version", "path"}, false);
}

ReportView ProcessesView(std::string_view text) {
  const ColumnSplit split = FindColumns(TextLines(text), true);
  if (split.starts.size() == kProcessColumnsWithoutSession - 1)
    return ColumnRuleView(text, {"^id", "file name", "priority", "path"}, false);
  return ColumnRuleView(text, {"^id", "file name", "session", "priority", "path"}, false);
}

}  // namespace userdb::crash
