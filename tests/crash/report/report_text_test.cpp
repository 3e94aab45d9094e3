#include "crash/report/report_text.h"

#include <gtest/gtest.h>

#include "crash/report/report_entries.h"

namespace userdb::crash {

namespace {

struct CompositionCase {
  const char* what;
  std::vector<ReportEntry> header;
  std::vector<ReportEntry> sections;
  std::string text;
};

class Composition : public ::testing::TestWithParam<CompositionCase> {};

TEST_P(Composition, IsByteForByte) {
  EXPECT_EQ(ComposeReportText(GetParam().header, GetParam().sections), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    ReportText, Composition,
    ::testing::Values(
        CompositionCase{"names padded to the longest plus one",
                        {{"date/time", "2024-03-07, 14:05:09, 87ms"},
                         {"exception message", "Zugriffsverletzung."}},
                        {},
                        "date/time         : 2024-03-07, 14:05:09, 87ms\r\n"
                        "exception message : Zugriffsverletzung."},
        CompositionCase{"line breaks of a value become one blank each, runs of blanks one",
                        {{"exception message", "Erste Zeile\r\nzweite\rdritte\nvierte  und   mehr"},
                         {"user name", "root  <admin>"}},
                        {},
                        "exception message : Erste Zeile zweite dritte vierte und mehr\r\n"
                        "user name         : root <admin>"},
        CompositionCase{
            "a title gets a colon unless it has one; empty lines become dots",
            {{"a", "1"}},
            {{"main thread ($5ac):  <priority:1>", "line one\r\n\r\n  indented  \r\nlast"},
             {"modules", "x\n\ny"}},
            "a : 1\r\n\r\nmain thread ($5ac):  <priority:1>\r\nline one\r\n.\r\n  "
            "indented\r\nlast\r\n\r\nmodules:\r\nx\r\n.\r\ny"},
        CompositionCase{"a lone CR and a lone LF split section lines; trailing controls are cut",
                        {{"a", "1"}},
                        {{"s", "one\rtwo\nthree\t\x01"}},
                        "a : 1\r\n\r\ns:\r\none\r\ntwo\r\nthree"}),
    [](const auto& param_info) { return "Case" + std::to_string(param_info.index); });

TEST(ReportEntries, TrimsValuesAndLeavesOutBlankOnes) {
  ReportEntries entries;
  EXPECT_TRUE(entries.Put("computer name", "  OFFICE-PC \r\n"));
  EXPECT_FALSE(entries.Put("wts client name", " \t "));
  ASSERT_EQ(entries.Items().size(), 1u);
  EXPECT_EQ(entries.Items()[0].value, "OFFICE-PC");
}

TEST(ReportEntries, ReplacesInPlaceWithoutRegardToCaseAndRemovesByEmptyValue) {
  ReportEntries entries;
  entries.Put("a", "1");
  entries.Put("b", "2");
  entries.Put("c", "3");
  EXPECT_TRUE(entries.Put("B", "two"));
  EXPECT_EQ(entries.Items()[1].name, "B");
  EXPECT_EQ(entries.Items()[1].value, "two");
  EXPECT_FALSE(entries.Put("B", "two")) << "an equal entry is no change";
  EXPECT_TRUE(entries.Put("a", ""));
  ASSERT_EQ(entries.Items().size(), 2u);
  EXPECT_EQ(entries.Items()[0].name, "B");
}

TEST(ReportEntries, ASectionReplacedUnderANewTitleKeepsItsPlace) {
  ReportEntries entries;
  entries.Put("first", "1");
  entries.Put("thread $a:", "old");
  entries.Put("last", "3");
  entries.Replace("thread $a:", "thread $a: <suspended>", "new");
  ASSERT_EQ(entries.Items().size(), 3u);
  EXPECT_EQ(entries.Items()[1].name, "thread $a: <suspended>");
  EXPECT_EQ(entries.Items()[1].value, "new");
}

TEST(ReportEntries, LaterEntriesGoToTheInsertionPointInTheirOrder) {
  ReportEntries entries;
  for (const char* name : {"date/time", "version", "callstack crc", "exception message"}) {
    entries.Put(name, "x");
  }
  entries.SetInsertionPoint(2);
  entries.Put("your name", "Ann");
  entries.Put("userdb-transform.Vostrel", "packed symbols");
  entries.Put("version", "replaced in place");
  std::vector<std::string> names;
  for (const ReportEntry& entry : entries.Items()) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{"date/time", "version", "your name",
                                             "userdb-transform.Vostrel", "callstack crc",
                                             "exception message"}));
}

TEST(ReportEntries, TheHeaderWidthGrowsWithALongerNameAddedLater) {
  ReportEntries entries;
  entries.Put("date/time", "1");
  entries.Put("a much longer header name", "2");
  EXPECT_EQ(ComposeReportText(entries.Items(), {}),
            "date/time                 : 1\r\na much longer header name : 2");
}

}  // namespace

}  // namespace userdb::crash
