// The call-stack view splits the lines that the report prints (PrintCallStack,
// LocationLine, PrintThreadStack) back into their columns.
#include "crash/box/call_stack_view.h"

#include <gtest/gtest.h>

#include "crash/report/report_worker.h"

namespace userdb::crash {

namespace {

using Cells = std::vector<std::vector<std::string>>;

std::vector<std::string> ColumnNames(const ReportView& view) {
  std::vector<std::string> names;
  for (const ViewColumn& column : view.columns) names.push_back(column.name);
  return names;
}

Cells RowCells(const ReportView& view) {
  Cells cells;
  for (const ViewRow& row : view.rows) cells.push_back(row.cells);
  return cells;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\r\n") + line;
  return text;
}

StackItem Item(uintptr_t address, std::optional<uintptr_t> start, std::string module,
               std::string unit, std::string function, int line = 0, int first_line = 0) {
  StackItem item;
  item.address = address;
  item.function_start = start;
  item.module_name = std::move(module);
  item.unit = std::move(unit);
  item.function_name = std::move(function);
  item.line = line;
  item.function_first_line = first_line;
  return item;
}

const StackItem kTransform = Item(0x401a2b, 0x401a1d, "userdb-transform", "main_window.cpp",
                                  "TfrmUserDb::Transform()", 41, 38);
const StackItem kClick = Item(0x401b00, 0x401ad0, "userdb-transform", "main_window.cpp",
                              "TfrmUserDb::btnWeiterClick()", 118, 109);
const StackItem kStart = Item(0x7f0000016d4f, 0x7f0000016d18, "libc.so.6", "", "__libc_start_main");

TEST(CallStackViewTest, SplitsAPrintedStackIntoAllItsColumns) {
  const PrintedStack printed = PrintCallStack({kTransform, kClick, kStart}, StackTextOptions());
  const ReportView view = CallStackView(Joined(printed.lines));
  EXPECT_EQ(ColumnNames(view), (std::vector<std::string>{"address", "rel.", "module", "unit",
                                                         "line", "rel.", "function"}));
  EXPECT_TRUE(view.columns[0].capitals);
  EXPECT_TRUE(view.columns[1].capitals && view.columns[1].right_aligned);
  EXPECT_TRUE(view.columns[4].right_aligned && view.columns[5].right_aligned);
  EXPECT_FALSE(view.fixed_pitch);
  EXPECT_EQ(RowCells(view),
            (Cells{{"0000000000401A2B", "+0E", "userdb-transform", "main_window.cpp", "41", "+3",
                    "TfrmUserDb::Transform()"},
                   {"0000000000401B00", "+30", "userdb-transform", "main_window.cpp", "118", "+9",
                    "TfrmUserDb::btnWeiterClick()"},
                   {"00007F0000016D4F", "+37", "libc.so.6", "", "", "", "__libc_start_main"}}));
}

TEST(CallStackViewTest, ShowsOnlyTheColumnsTheLinesHave) {
  StackTextOptions plain;
  plain.show_relative_addresses = false;
  plain.show_relative_lines = false;
  const ReportView view = CallStackView(Joined(PrintCallStack({kTransform, kStart}, plain).lines));
  EXPECT_EQ(ColumnNames(view),
            (std::vector<std::string>{"address", "module", "unit", "line", "function"}));
  EXPECT_EQ(RowCells(view),
            (Cells{{"0000000000401A2B", "userdb-transform", "main_window.cpp", "41",
                    "TfrmUserDb::Transform()"},
                   {"00007F0000016D4F", "libc.so.6", "", "", "__libc_start_main"}}));
}

TEST(CallStackViewTest, KeepsFunctionNamesWithBlanksWhole) {
  const StackItem push = Item(0x55c680849a10, 0x55c680849a00, "userdb-transform", "",
                              "std::vector<int, std::allocator<int> >::push_back(int const&)");
  const StackItem run =
      Item(0x55c68084a000, std::nullopt, "userdb-transform", "", "(anonymous namespace)::Run()");
  const ReportView view =
      CallStackView(Joined(PrintCallStack({push, run}, StackTextOptions()).lines));
  EXPECT_EQ(ColumnNames(view), (std::vector<std::string>{"address", "rel.", "module", "function"}));
  EXPECT_EQ(
      RowCells(view),
      (Cells{{"000055C680849A10", "+10", "userdb-transform",
              "std::vector<int, std::allocator<int> >::push_back(int const&)"},
             {"000055C68084A000", "+00", "userdb-transform", "(anonymous namespace)::Run()"}}));
}

TEST(CallStackViewTest, AnAbsoluteNumberInTheRelativeColumnStaysThere) {
  const StackItem no_first_line =
      Item(0x401c00, 0x401bf0, "userdb-transform", "records.cpp", "SplitFields", 7, 0);
  const ReportView view =
      CallStackView(Joined(PrintCallStack({kTransform, no_first_line}, StackTextOptions()).lines));
  EXPECT_EQ(RowCells(view)[0][4], "41");
  EXPECT_EQ(RowCells(view)[0][5], "+3");
  EXPECT_EQ(RowCells(view)[1][3], "records.cpp");
  EXPECT_EQ(RowCells(view)[1][4], "");
  EXPECT_EQ(RowCells(view)[1][5], "7");
  EXPECT_EQ(RowCells(view)[1][6], "SplitFields");
}

TEST(CallStackViewTest, TheCreatingLocationBelongsToTheStackAcrossItsRemark) {
  ThreadStackEntry thread;
  thread.creator_address = 0x401d00;
  thread.creator_title = "main thread ($5ac)";
  TracedStack stack;
  StackItem worker =
      Item(0x402000, 0x401ff0, "userdb-transform", "worker.cpp", "ConversionWorker::Run()", 12, 10);
  StackItem creation = Item(0x401d00, 0x401cf0, "userdb-transform", "main_window.cpp",
                            "TfrmUserDb::StartWorker()", 77, 70);
  creation.always_printed = true;
  stack.items = {worker, creation};
  const std::string text = PrintThreadStack(thread, stack, StackTextOptions()).text;
  ASSERT_NE(text.find(">> created by main thread ($5ac) at:"), std::string::npos);
  const ReportView view = CallStackView(">> worker ($5b0):\r\n" + text);
  EXPECT_EQ(RowCells(view), (Cells{{">> worker ($5b0):"},
                                   {"0000000000402000", "+10", "userdb-transform", "worker.cpp",
                                    "12", "+2", "ConversionWorker::Run()"},
                                   {">> created by main thread ($5ac) at:"},
                                   {"0000000000401D00", "+10", "userdb-transform",
                                    "main_window.cpp", "77", "+7", "TfrmUserDb::StartWorker()"}}));
  EXPECT_EQ(view.rows[0].style, RowStyle::kTitle);
  EXPECT_EQ(view.rows[1].style, RowStyle::kNormal);
  EXPECT_EQ(view.rows[2].style, RowStyle::kTitle);
}

TEST(CallStackViewTest, LocationLinesSplitAsWellAsTheStacks) {
  const StackItem unknown = Item(0xdeadbeef, std::nullopt, "", "", "");
  const StackItem no_unit = Item(0x7f0000016d4f, 0x7f0000016d18, "libc.so.6", "", "abort", 0, 0);
  const std::string text =
      ">> main thread ($5ac):\r\n" + LocationLine(kTransform, StackTextOptions()) +
      "\r\n>> stack will be calculated soon\r\n"
      ">> thread $5b0:\r\n>> internal error in TraceStack:\r\n" +
      LocationLine(unknown, StackTextOptions()) + "\r\n>> original exception location: \r\n" +
      LocationLine(no_unit, StackTextOptions());
  EXPECT_EQ(RowCells(CallStackView(text)),
            (Cells{{">> main thread ($5ac):"},
                   {"0000000000401A2B", "+E", "userdb-transform", "main_window.cpp", "41", "+3",
                    "TfrmUserDb::Transform()"},
                   {">> stack will be calculated soon"},
                   {">> thread $5b0:"},
                   {">> internal error in TraceStack:"},
                   {"00000000DEADBEEF", "+0", "", "", "", "", "???"},
                   {">> original exception location:"},
                   {"00007F0000016D4F", "+37", "libc.so.6", "", "", "", "abort"}}));
}

TEST(CallStackViewTest, StacksOfDifferentWidthsSplitEachByItsOwnColumns) {
  const StackItem push = Item(0x55c680849a10, 0x55c680849a00, "libQt6Widgets.so.6", "",
                              "QApplication::notify(QObject*, QEvent*)");
  const std::string text =
      ">> main thread ($5ac):\r\n" +
      Joined(PrintCallStack({kTransform, kClick, kStart}, StackTextOptions()).lines) +
      "\r\n>> thread $5b0 (QXcbEventQueue):\r\n" +
      Joined(PrintCallStack({push, kStart}, StackTextOptions()).lines);
  const Cells cells = RowCells(CallStackView(text));
  ASSERT_EQ(cells.size(), 7u);
  EXPECT_EQ(cells[5],
            (std::vector<std::string>{"000055C680849A10", "+10", "libQt6Widgets.so.6", "", "", "",
                                      "QApplication::notify(QObject*, QEvent*)"}));
  EXPECT_EQ(cells[6][2], "libc.so.6");
  EXPECT_EQ(cells[6][6], "__libc_start_main");
}

}  // namespace

}  // namespace userdb::crash
