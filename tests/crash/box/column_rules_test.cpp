// The column rule and the general rule as tables of texts and the cells they give.
#include <gtest/gtest.h>

#include "crash/box/column_rule.h"
#include "crash/box/general_rule.h"
#include "tests/support/case_name.h"

namespace userdb::crash {

namespace {

using Cells = std::vector<std::vector<std::string>>;

// Every line split at all column starts the rule finds.
Cells ColumnRuleCells(std::string_view text, bool ignore_lone) {
  const std::vector<std::string_view> lines = TextLines(text);
  const ColumnSplit split = FindColumns(lines, ignore_lone);
  Cells cells;
  for (const std::string_view line : lines) {
    if (IsRemarkLine(line)) {
      cells.push_back({std::string(line)});
      continue;
    }
    std::vector<std::string> row;
    for (const std::string& cell : SplitAtColumns(line, split, split.starts.size()))
      row.push_back(TrimmedCell(cell));
    cells.push_back(row);
  }
  return cells;
}

struct ColumnCase {
  const char* what;
  std::string text;
  bool ignore_lone;
  Cells cells;
};

class ColumnRuleTest : public ::testing::TestWithParam<ColumnCase> {};

TEST_P(ColumnRuleTest, SplitsTheLinesWhereEveryLineHasTheSeparator) {
  EXPECT_EQ(ColumnRuleCells(GetParam().text, GetParam().ignore_lone), GetParam().cells);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ColumnRuleTest,
    ::testing::Values(
        ColumnCase{"registers: a run of blank, = and blank is one boundary",
                   "rax = 00000000000000ff\r\nrbx = 0000000000000001\r\nrip = 000055c680849a10",
                   true,
                   {{"rax", "00000000000000ff"},
                    {"rbx", "0000000000000001"},
                    {"rip", "000055c680849a10"}}},
        ColumnCase{"padded columns",
                   "0001 init      normal /sbin\r\n02b3 Xvfb      normal /usr/bin\r\n"
                   "4d08 userdb    high   /opt/userdb/bin",
                   true,
                   {{"0001", "init", "normal", "/sbin"},
                    {"02b3", "Xvfb", "normal", "/usr/bin"},
                    {"4d08", "userdb", "high", "/opt/userdb/bin"}}},
        ColumnCase{"a colon before a blank separates",
                   "name: Alpha\r\nrank: Beta\r\ncity: Gamma",
                   true,
                   {{"name", "Alpha"}, {"rank", "Beta"}, {"city", "Gamma"}}},
        ColumnCase{"a colon without a blank after it does not",
                   "a:bc\r\nd:ef\r\ng:hi",
                   false,
                   {{"a:bc"}, {"d:ef"}, {"g:hi"}}},
        ColumnCase{"a bar separates",
                   "ab|cd\r\nef|gh\r\nij|kl",
                   true,
                   {{"ab", "cd"}, {"ef", "gh"}, {"ij", "kl"}}},
        ColumnCase{"a different character at the place vetoes it",
                   "ab cd\r\nef-gh\r\nij kl",
                   false,
                   {{"ab cd"}, {"ef-gh"}, {"ij kl"}}},
        ColumnCase{"a line too short to reach the place does not veto it",
                   "abcd efgh\r\nab\r\nijkl mnop",
                   false,
                   {{"abcd", "efgh"}, {"ab", ""}, {"ijkl", "mnop"}}},
        ColumnCase{"a lone separator counts without the lone rule",
                   "alpha beta gamma\r\nalpha\r\nx",
                   false,
                   {{"alpha", "beta", "gamma"}, {"alpha", "", ""}, {"x", "", ""}}},
        ColumnCase{"a lone separator is ignored with the lone rule",
                   "alpha beta gamma\r\nalpha\r\nx",
                   true,
                   {{"alpha beta gamma"}, {"alpha"}, {"x"}}},
        ColumnCase{"two other lines using it make it count",
                   "alpha beta gamma\r\nalpha beta x\r\ndelta zeta y",
                   true,
                   {{"alpha", "beta", "gamma"}, {"alpha", "beta", "x"}, {"delta", "zeta", "y"}}},
        ColumnCase{"a single line is split at its blanks",
                   "one two  three",
                   true,
                   {{"one", "two", "three"}}},
        ColumnCase{
            "the first and last position never separate", " ab\r\n cd", false, {{"ab"}, {"cd"}}},
        ColumnCase{
            "a pattern under three characters has no columns", "ab\r\nc", false, {{"ab"}, {"c"}}},
        ColumnCase{"lines beginning with >> take no part",
                   "ab cd\r\n>>xyzxyzxyzxyzxyz\r\nef gh",
                   false,
                   {{"ab", "cd"}, {">>xyzxyzxyzxyzxyz"}, {"ef", "gh"}}}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.what); });

TEST(ColumnRuleTest, OnlyTheFirstBoundariesAreUsedAndTheLastCellTakesTheRest) {
  const std::string_view line = "a b c d";
  const ColumnSplit split = FindColumns({line}, false);
  EXPECT_EQ(split.starts, (std::vector<size_t>{2, 4, 6}));
  EXPECT_EQ(SplitAtColumns(line, split, 1), (std::vector<std::string>{"a", "b c d"}));
  EXPECT_EQ(SplitAtTabs("a\tb\tc", 2), (std::vector<std::string>{"a", "b\tc"}));
  EXPECT_EQ(SplitAtPositions("abc def", {3, 10}), (std::vector<std::string>{"abc", "def", ""}));
}

// A view's rows as their cells, and the styles apart.
Cells RowCells(const ReportView& view) {
  Cells cells;
  for (const ViewRow& row : view.rows) cells.push_back(row.cells);
  return cells;
}

TEST(GeneralRuleTest, ASectionStillBeingComposedIsShownAsItIs) {
  const ReportView view = GeneralRuleView(">> will be calculated soon");
  EXPECT_TRUE(view.plain_text);
  EXPECT_EQ(view.text, ">> will be calculated soon");
}

struct ListOrTextCase {
  const char* what;
  std::string text;
  bool list;
};

class GeneralRuleListTest : public ::testing::TestWithParam<ListOrTextCase> {};

TEST_P(GeneralRuleListTest, ShowsAListOnlyForManyShortLines) {
  EXPECT_EQ(!GeneralRuleView(GetParam().text).plain_text, GetParam().list);
}

const std::string k81(81, 'x');
const std::string k80(80, 'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, GeneralRuleListTest,
    ::testing::Values(ListOrTextCase{"one line", "a b", false},
                      ListOrTextCase{"two short lines", "a b\r\nc d", true},
                      ListOrTextCase{"one long line and five short ones",
                                     k81 + "\r\na\r\nb\r\nc\r\nd\r\ne", false},
                      ListOrTextCase{"one long line and six short ones",
                                     k81 + "\r\na\r\nb\r\nc\r\nd\r\ne\r\nf", true},
                      ListOrTextCase{"80 characters are short", k80 + "\r\na", true},
                      ListOrTextCase{"two long lines", k81 + "\r\n" + k81, false},
                      ListOrTextCase{"a caret makes a list", "^name\tvalue", true}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.what); });

TEST(GeneralRuleTest, TheHardwareFormKeepsItsIndentationAndHighlightsTheClasses) {
  const ReportView view = GeneralRuleView(
      "+ Bridge\r\n  - Intel Corporation device 0d57\r\n+ Network controller\r\n"
      "  - Red Hat, Inc. Virtio 1.0 network device (driver virtio-pci)");
  EXPECT_FALSE(view.plain_text);
  EXPECT_TRUE(view.fixed_pitch);
  EXPECT_FALSE(view.column_names_shown);
  ASSERT_EQ(view.columns.size(), 1u);
  EXPECT_EQ(RowCells(view), (Cells{{"+ Bridge"},
                                   {"  - Intel Corporation device 0d57"},
                                   {"+ Network controller"},
                                   {"  - Red Hat, Inc. Virtio 1.0 network device (driver "
                                    "virtio-pci)"}}));
  EXPECT_EQ(view.rows[0].style, RowStyle::kHighlighted);
  EXPECT_EQ(view.rows[1].style, RowStyle::kNormal);
  EXPECT_EQ(view.rows[2].style, RowStyle::kHighlighted);
  EXPECT_EQ(kHighlightedRowColour, (Rgb{0xF0, 0xF8, 0xFF}));
}

TEST(GeneralRuleTest, WithTabsTheCellsAreBetweenTheTabs) {
  const ReportView view = GeneralRuleView("a\tb\tc\r\nd\te\r\nf");
  EXPECT_FALSE(view.fixed_pitch);
  EXPECT_EQ(view.columns.size(), 3u);
  EXPECT_EQ(RowCells(view), (Cells{{"a", "b", "c"}, {"d", "e", ""}, {"f", "", ""}}));
}

TEST(GeneralRuleTest, WithoutTabsTheColumnRuleSplitsAndRemarksSpanTheRow) {
  const ReportView view =
      GeneralRuleView("disk  sda  ok\r\ndisk  sdb  failing\r\n>> internal note\r\ndisk  sdc  ok");
  EXPECT_EQ(view.columns.size(), 3u);
  EXPECT_FALSE(view.column_names_shown);
  EXPECT_EQ(RowCells(view), (Cells{{"disk", "sda", "ok"},
                                   {"disk", "sdb", "failing"},
                                   {">> internal note"},
                                   {"disk", "sdc", "ok"}}));
  EXPECT_EQ(view.rows[2].style, RowStyle::kTitle);
}

TEST(GeneralRuleTest, ACaretTextNamesTheColumnsWithTheirMarks) {
  const ReportView view = GeneralRuleView("^^name\t size\tnote\r\nalpha\t12\tfirst\r\nbeta\t3");
  EXPECT_TRUE(view.column_names_shown);
  EXPECT_EQ(view.columns,
            (std::vector<ViewColumn>{
                {"name", true, false}, {"size", false, true}, {"note", false, false}}));
  EXPECT_EQ(RowCells(view), (Cells{{"ALPHA", "12", "first"}, {"BETA", "3", ""}}));

  // The caret that introduces the names is no capitals mark of the first column.
  const ReportView plain = GeneralRuleView("^name\tvalue\r\nalpha\t12");
  EXPECT_EQ(plain.columns[0], (ViewColumn{"name", false, false}));
  EXPECT_EQ(RowCells(plain), (Cells{{"alpha", "12"}}));
}

TEST(ReportViewTest, ColumnMarksAreReadFromTheName) {
  EXPECT_EQ(MarkedColumn("^address"), (ViewColumn{"address", true, false}));
  EXPECT_EQ(MarkedColumn("^ rel."), (ViewColumn{"rel.", true, true}));
  EXPECT_EQ(MarkedColumn(" line"), (ViewColumn{"line", false, true}));
  EXPECT_EQ(MarkedColumn("function"), (ViewColumn{"function", false, false}));
}

TEST(ReportViewTest, TextLinesSplitAtEveryLineBreak) {
  EXPECT_EQ(TextLines("a\r\nb\rc\nd"), (std::vector<std::string_view>{"a", "b", "c", "d"}));
  EXPECT_EQ(TextLines(""), (std::vector<std::string_view>{""}));
  EXPECT_EQ(TextLines("a\r\n"), (std::vector<std::string_view>{"a", ""}));
}

}  // namespace

}  // namespace userdb::crash
