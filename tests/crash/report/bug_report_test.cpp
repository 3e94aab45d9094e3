#include "crash/report/bug_report.h"

#include <gtest/gtest.h>

namespace userdb::crash {

namespace {

TEST(BugReport, EveryChangeCountsAndDropsTheCachedText) {
  int announced = 0;
  BugReport report([&] { ++announced; });
  report.PutHeader("date/time", "2024-03-07, 14:05:09, 87ms");
  EXPECT_EQ(report.ChangeCount(), 1u);
  const std::string text = report.Text();
  EXPECT_EQ(report.CachedText(), text);
  report.PutHeader("date/time", "2024-03-07, 14:05:09, 87ms");
  EXPECT_EQ(report.ChangeCount(), 1u) << "the same value is no change";
  report.PutSection("modules", "x");
  EXPECT_EQ(report.ChangeCount(), 2u);
  EXPECT_EQ(report.CachedText(), "");
  EXPECT_EQ(announced, 2);
}

TEST(BugReport, ChangesInNestedBracketsAreAnnouncedOnce) {
  int announced = 0;
  BugReport report([&] { ++announced; });
  {
    BugReport::UpdateBracket outer(report);
    report.PutHeader("a", "1");
    {
      BugReport::UpdateBracket inner(report);
      report.PutHeader("b", "2");
    }
    EXPECT_EQ(announced, 0);
    report.PutSection("s", "3");
  }
  EXPECT_EQ(announced, 1);
  EXPECT_EQ(report.ChangeCount(), 1u);
  { BugReport::UpdateBracket empty(report); }
  EXPECT_EQ(announced, 1) << "a bracket without changes announces nothing";
}

TEST(BugReport, TextIsComposedFromBothLists) {
  BugReport report(nullptr);
  report.PutHeader("date/time", "now");
  report.PutSection("modules", "a\r\n\r\nb");
  EXPECT_EQ(report.Text(), "date/time : now\r\n\r\nmodules:\r\na\r\n.\r\nb");
}

}  // namespace

}  // namespace userdb::crash
