// The report viewer's tabs and views, above all on a real report: the one that
// userdb-trace gave of a running userdb-transform (tests/crash/box/fixtures/trace_report.txt,
// with the machine's names and foreign processes taken out).
#include "crash/box/report_tabs.h"

#include <ucontext.h>

#include <gtest/gtest.h>

#include "crash/box/disassembly_view.h"
#include "crash/box/section_views.h"
#include "crash/report/memory_sections.h"
#include "tests/crash/box/report_fixture.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {

namespace {

using Cells = std::vector<std::vector<std::string>>;
using test_support::ParseReportText;
using test_support::ReportLists;

std::vector<std::string> Names(const std::vector<ReportTab>& tabs) {
  std::vector<std::string> names;
  for (const ReportTab& tab : tabs) names.push_back(tab.name);
  return names;
}

std::vector<std::string> ColumnNames(const ReportView& view) {
  std::vector<std::string> names;
  for (const ViewColumn& column : view.columns) names.push_back(column.name);
  return names;
}

const ViewRow* RowStartingWith(const ReportView& view, std::string_view first_cell) {
  for (const ViewRow& row : view.rows) {
    if (!row.cells.empty() && row.cells[0] == first_cell) return &row;
  }
  return nullptr;
}

const ViewRow* RowWith(const ReportView& view, size_t column, std::string_view cell) {
  for (const ViewRow& row : view.rows) {
    if (row.cells.size() > column && row.cells[column] == cell) return &row;
  }
  return nullptr;
}

class RealReportTest : public ::testing::Test {
 protected:
  ReportView ViewOf(std::string_view tab_name) {
    for (const ReportTab& tab : tabs_) {
      if (tab.name == tab_name) return TabView(tab, TabText(tab, report_.header, report_.sections));
    }
    ADD_FAILURE() << "no tab " << tab_name;
    return {};
  }

  ReportLists report_ = ParseReportText(test_support::ReadFile(TRACE_REPORT_FIXTURE));
  std::vector<ReportTab> tabs_ = ReportTabs(report_.sections);
};

TEST_F(RealReportTest, HasTheGeneralTabTheCallStacksAndOneTabPerFurtherSection) {
  EXPECT_EQ(Names(tabs_), (std::vector<std::string>{"general", "call stacks", "modules",
                                                    "processes", "hardware"}));
  EXPECT_EQ(tabs_[1].section_titles.size(), 5u);
  EXPECT_EQ(tabs_[1].section_titles[0], "main thread ($4d08):");
}

TEST_F(RealReportTest, TheGeneralTabListsTheHeader) {
  const ReportView view = ViewOf("general");
  EXPECT_EQ(ColumnNames(view), (std::vector<std::string>{"description", "value"}));
  EXPECT_TRUE(view.column_names_shown);
  ASSERT_EQ(view.rows.size(), report_.header.size());
  EXPECT_EQ(view.rows[0].cells,
            (std::vector<std::string>{"date/time", "2026-12-10, 17:57:17, 781ms"}));
  EXPECT_EQ(RowStartingWith(view, "callstack crc")->cells[1], "$25ccf347, $25ccf347, $d33a8828");
  EXPECT_EQ(RowStartingWith(view, "exception message")->cells[1],
            "Die Anwendung reagiert nicht mehr");
}

TEST_F(RealReportTest, TheCallStacksTabSplitsEveryThreadsLines) {
  const ReportView view = ViewOf("call stacks");
  EXPECT_EQ(ColumnNames(view), (std::vector<std::string>{"address", "rel.", "module", "unit",
                                                         "line", "rel.", "function"}));
  ASSERT_GE(view.rows.size(), 8u);
  EXPECT_EQ(view.rows[0].cells, std::vector<std::string>{">> main thread ($4d08):"});
  EXPECT_EQ(view.rows[0].style, RowStyle::kTitle);
  EXPECT_EQ(view.rows[1].cells, (std::vector<std::string>{"00007F9EE4F1A26F", "+4F", "libc.so.6",
                                                          "poll.c", "29", "+0", "__poll"}));
  EXPECT_EQ(view.rows[2].cells, std::vector<std::string>{">> stack not traced"});
  EXPECT_EQ(view.rows[3].cells, std::vector<std::string>{">> thread $4d0b (QXcbEventQueue):"});
  EXPECT_EQ(view.rows[4].cells, view.rows[1].cells);
  EXPECT_EQ(view.rows[6].cells, std::vector<std::string>{">> created by main thread ($4d08) at:"});
  EXPECT_EQ(view.rows[7].cells, (std::vector<std::string>{"00007F9EE11F417B", "+00",
                                                          "libQt6XcbQpa.so.6", "", "", "", ""}));
  const ViewRow* pooled = RowWith(view, 6, "__futex_abstimed_wait_common");
  ASSERT_NE(pooled, nullptr);
  EXPECT_EQ(pooled->cells[3], "futex-internal.c");
  EXPECT_EQ(pooled->cells[4], "87");
  EXPECT_EQ(pooled->cells[5], "+16");
}

TEST_F(RealReportTest, TheModulesTabHasHandleFileNameVersionAndPath) {
  const ReportView view = ViewOf("modules");
  EXPECT_EQ(ColumnNames(view),
            (std::vector<std::string>{"handle", "file name", "version", "path"}));
  EXPECT_TRUE(view.columns[0].capitals);
  EXPECT_TRUE(view.columns[2].right_aligned);
  EXPECT_EQ(view.rows.size(), 78u);
  EXPECT_EQ(view.rows[0].cells, (std::vector<std::string>{"000055C680849000", "userdb-transform",
                                                          "1.0.1.16", "/opt/userdb/bin"}));
  EXPECT_EQ(RowWith(view, 1, "libqjpeg.so")->cells,
            (std::vector<std::string>{"00007F9EE0D86000", "libqjpeg.so", "",
                                      "/usr/lib/x86_64-linux-gnu/qt6/plugins/imageformats"}));
  EXPECT_EQ(RowWith(view, 1, "libharfbuzz.so.0")->cells[2], "0.60000.0");
  for (const ViewRow& row : view.rows) {
    ASSERT_EQ(row.cells.size(), 4u);
    EXPECT_EQ(row.cells[0].size(), 16u) << row.cells[0];
    EXPECT_EQ(row.cells[1].find(' '), std::string::npos) << row.cells[1];
    EXPECT_TRUE(row.cells[3].starts_with('/')) << row.cells[3];
  }
}

TEST_F(RealReportTest, TheProcessesTabHasNoSessionColumnWhenNoProcessHasASession) {
  const ReportView view = ViewOf("processes");
  EXPECT_EQ(ColumnNames(view), (std::vector<std::string>{"id", "file name", "priority", "path"}));
  EXPECT_EQ(RowWith(view, 1, "ksmd")->cells,
            (std::vector<std::string>{"0028", "ksmd", "below normal", ""}));
  EXPECT_EQ(RowWith(view, 1, "userdb-transform")->cells,
            (std::vector<std::string>{"4D08", "userdb-transform", "normal", "/opt/userdb/bin"}));
  EXPECT_EQ(RowWith(view, 1, "migration/0")->cells[2], "realtime");
}

TEST_F(RealReportTest, TheHardwareTabShowsTheClassesHighlightedAndTheDevicesIndented) {
  const ReportView view = ViewOf("hardware");
  EXPECT_TRUE(view.fixed_pitch);
  ASSERT_EQ(view.rows.size(), 6u);
  EXPECT_EQ(view.rows[0].cells, std::vector<std::string>{"+ Bridge"});
  EXPECT_EQ(view.rows[0].style, RowStyle::kHighlighted);
  EXPECT_EQ(view.rows[1].cells, std::vector<std::string>{"  - Intel Corporation device 0d57"});
  EXPECT_EQ(view.rows[1].style, RowStyle::kNormal);
}

TEST(ProcessesViewTest, ASessionColumnMakesFiveColumns) {
  const ReportView view = ProcessesView(
      "0001 systemd          0 normal /usr/lib/systemd\r\n"
      "02b3 Xvfb             2 normal /usr/bin\r\n"
      "4d08 userdb-transform 2 high   /opt/userdb/bin");
  EXPECT_EQ(ColumnNames(view),
            (std::vector<std::string>{"id", "file name", "session", "priority", "path"}));
  EXPECT_EQ(view.rows[2].cells,
            (std::vector<std::string>{"4D08", "userdb-transform", "2", "high", "/opt/userdb/bin"}));
}

TEST(SectionViewsTest, TheRegistersSplitIntoNameAndContent) {
  ucontext_t context;
  getcontext(&context);
  ProcessorContext registers = ProcessorContext::Of(context);
  registers.registers[REG_RAX] = 0xff;
  const ReportView view = CpuRegistersView(CpuRegistersText(registers));
  EXPECT_EQ(ColumnNames(view), (std::vector<std::string>{"reg.", "content"}));
  EXPECT_TRUE(view.fixed_pitch);
  ASSERT_EQ(view.rows.size(), 9u);
  EXPECT_EQ(view.rows[0].cells, (std::vector<std::string>{"rax", "00000000000000ff"}));
  EXPECT_EQ(view.rows[8].cells[0], "rbp");
  EXPECT_EQ(view.rows[8].cells[1].size(), 16u);
}

TEST(SectionViewsTest, TheStackDumpSplitsAtTheBlanksBetweenItsParts) {
  std::string memory;
  for (int i = 0; i < 40; ++i) memory += static_cast<char>(i < 32 ? i : 'A' + i - 32);
  const ReportView view = StackDumpView(StackDumpText(0x7ffc1234a000, memory));
  EXPECT_EQ(ColumnNames(view),
            (std::vector<std::string>{"address", "data - hexadecimal", "data - chars"}));
  EXPECT_TRUE(view.fixed_pitch);
  ASSERT_EQ(view.rows.size(), 3u);
  EXPECT_EQ(view.rows[0].cells,
            (std::vector<std::string>{"00007ffc1234a000",
                                      "00 01 02 03 04 05 06 07 - 08 09 0a 0b 0c 0d 0e 0f",
                                      "................"}));
  EXPECT_EQ(view.rows[2].cells,
            (std::vector<std::string>{"00007ffc1234a020", "41 42 43 44 45 46 47 48", "ABCDEFGH"}));
}

TEST(SectionViewsTest, TheDisassemblyHasItsLineColumnOnlyWithLineNumbers) {
  const std::string listing =
      "public TfrmUserDb::btnWeiterClick()\r\n"
      "000055c68084a100 0041 push rbp\r\n"
      "000055c68084a101      mov rbp, rsp\r\n"
      "loc_55c68084a10a:\r\n"
      "000055c68084a10a >0042 mov rdi, [rbp-0x18]  ; this\r\n"
      "000055c68084a10e      jmp qword ptr [rax*8+0x55c68084a200]\r\n"
      "  dd loc_55c68084a120  ; case jump table\r\n"
      "; ---------------------------------------------------------\r\n"
      "[...]";
  const ReportView view = DisassemblyView(listing);
  EXPECT_EQ(ColumnNames(view),
            (std::vector<std::string>{"address", "line", "asm code", "comments"}));
  EXPECT_TRUE(view.fixed_pitch);
  const Cells expected = {
      {"", "", "public TfrmUserDb::btnWeiterClick()", ""},
      {"000055c68084a100", "0041", "push rbp", ""},
      {"000055c68084a101", "", "mov rbp, rsp", ""},
      {"", "", "loc_55c68084a10a:", ""},
      {"000055c68084a10a", "0042", "mov rdi, [rbp-0x18]", "; this"},
      {"000055c68084a10e", "", "jmp qword ptr [rax*8+0x55c68084a200]", ""},
      {"", "", "dd loc_55c68084a120", "; case jump table"},
      {"", "", "; ---------------------------------------------------------", ""},
      {"", "", "[...]", ""}};
  Cells cells;
  for (const ViewRow& row : view.rows) cells.push_back(row.cells);
  EXPECT_EQ(cells, expected);
  EXPECT_EQ(view.rows[4].style, RowStyle::kExceptionLine);
  EXPECT_EQ(view.rows[1].style, RowStyle::kNormal);

  const ReportView plain =
      DisassemblyView("sub_55c68084a100\r\n000055c68084a100 > push rbp\r\n000055c68084a101   ret");
  EXPECT_EQ(ColumnNames(plain), (std::vector<std::string>{"address", "asm code", "comments"}));
  EXPECT_EQ(plain.rows[1].cells, (std::vector<std::string>{"000055c68084a100", "push rbp", ""}));
  EXPECT_EQ(plain.rows[1].style, RowStyle::kExceptionLine);
}

ReportEntry Section(std::string title, std::string content = "x") {
  return {std::move(title), std::move(content)};
}

TEST(ReportTabsTest, ShortensTheRegistersAndTheDisassemblyAndFoldsTheThreads) {
  const std::vector<ReportEntry> sections = {
      Section("main thread ($5ac):"), Section("cpu registers"), Section("stack dump"),
      Section("disassembling"),       Section("modules"),       Section("worker ($5b0):"),
      Section("error details")};
  const std::vector<ReportTab> tabs = ReportTabs(sections);
  EXPECT_EQ(Names(tabs),
            (std::vector<std::string>{"general", "call stack", "cpu regs", "stack dump", "disasm",
                                      "modules", "error details"}));
  EXPECT_EQ(tabs[1].section_titles,
            (std::vector<std::string>{"main thread ($5ac):", "worker ($5b0):"}));
  EXPECT_EQ(tabs[4].key, "disassembling");

  EXPECT_EQ(Names(ReportTabs({})), std::vector<std::string>{"general"});
  EXPECT_EQ(Names(ReportTabs({Section("main thread ($5ac):"), Section("thread $5b0:")})),
            (std::vector<std::string>{"general", "call stacks"}));
}

TEST(ReportTabsTest, ThreadSectionsFormOneTextUnderTheirTitles) {
  const std::vector<ReportEntry> sections = {Section("main thread ($5ac):", "a\r\nb"),
                                             Section("modules", "m"), Section("thread $5b0:", "c")};
  const std::vector<ReportTab> tabs = ReportTabs(sections);
  EXPECT_EQ(TabText(tabs[1], {}, sections),
            ">> main thread ($5ac):\r\na\r\nb\r\n>> thread $5b0:\r\nc");
  EXPECT_EQ(TabText(tabs[2], {}, sections), "m");
  EXPECT_EQ(TabText(tabs[0], {{"exception message", "Zeile 1\r\nZeile  2"}, {"a", "b"}}, {}),
            "exception message\tZeile 1 Zeile 2\r\na\tb");
}

TEST(ReportTabsTest, ASectionBeingComposedIsShownAsSuchAndThenInItsColumns) {
  const ReportTab modules{TabKind::kSection, "modules", "modules", {"modules"}};
  const ReportView pending = TabView(modules, ">> will be calculated soon");
  EXPECT_TRUE(pending.plain_text);
  EXPECT_EQ(pending.text, ">> will be calculated soon");
  const ReportView done =
      TabView(modules,
              "000055c680849000 userdb-transform 1.0.1.16 /opt/userdb/bin\r\n"
              "00007f9ee4e1e000 libc.so.6        6        /lib/x86_64-linux-gnu\r\n"
              "00007f9ee66a5000 ld-linux.so.2    2        /lib64");
  EXPECT_FALSE(done.plain_text);
  EXPECT_EQ(done.rows[1].cells, (std::vector<std::string>{"00007F9EE4E1E000", "libc.so.6", "6",
                                                          "/lib/x86_64-linux-gnu"}));
}

TEST(ReportTabsTest, AnInternalErrorIsShownInTheCallStackColumns) {
  const ReportTab hardware{TabKind::kSection, "hardware", "hardware", {"hardware"}};
  const ReportView view = TabView(hardware,
                                  ">> internal error in plugin:\r\n"
                                  "000055c68084a10a +1a userdb-transform hardware.cpp 30 +4 Run");
  EXPECT_EQ(view.columns[0].name, "address");
  EXPECT_EQ(view.rows[1].cells.back(), "Run");
  EXPECT_EQ(view.rows[1].cells[3], "hardware.cpp");
}

// Applies the changes as the viewer does.
std::vector<ReportTab> Applied(std::vector<ReportTab> tabs, const std::vector<TabChange>& changes) {
  for (const TabChange& change : changes) {
    const auto at = tabs.begin() + static_cast<ptrdiff_t>(change.index);
    switch (change.kind) {
      case TabChange::Kind::kRemove:
        tabs.erase(at);
        break;
      case TabChange::Kind::kInsert:
        tabs.insert(at, change.tab);
        break;
      case TabChange::Kind::kUpdate:
        *at = change.tab;
        break;
    }
  }
  return tabs;
}

TEST(ReportTabsTest, ChangesInsertMissingTabsAtTheirPlaceAndRemoveVanishedOnes) {
  const std::vector<ReportTab> before =
      ReportTabs({Section("main thread ($5ac):"), Section("stack dump"), Section("modules"),
                  Section("hardware")});
  const std::vector<ReportTab> after =
      ReportTabs({Section("main thread ($5ac):"), Section("thread $5b0:"), Section("modules"),
                  Section("processes"), Section("hardware")});
  const std::vector<TabChange> changes = TabChanges(before, after);
  EXPECT_EQ(Applied(before, changes), after);
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[0].kind, TabChange::Kind::kRemove);
  EXPECT_EQ(changes[0].index, 2u);  // stack dump
  EXPECT_EQ(changes[1].kind, TabChange::Kind::kUpdate);
  EXPECT_EQ(changes[1].index, 1u);
  EXPECT_EQ(changes[1].tab.name, "call stacks");
  EXPECT_EQ(changes[2].kind, TabChange::Kind::kInsert);
  EXPECT_EQ(changes[2].index, 3u);
  EXPECT_EQ(changes[2].tab.name, "processes");

  EXPECT_TRUE(TabChanges(after, after).empty());
  EXPECT_EQ(Applied({}, TabChanges({}, after)), after);
  EXPECT_EQ(Applied(after, TabChanges(after, ReportTabs({}))), ReportTabs({}));
}

}  // namespace

}  // namespace userdb::crash
