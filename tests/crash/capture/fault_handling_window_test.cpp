// Fatal faults of the real window program on a bad day, end to end on a display (the failure
// hook preloaded): a fault with the allocator's lock held, which no box can follow, saves its
// report all the same; one with standard error's lock held gets its box as any other; two
// threads that fault at once get a box and a report each.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

#include "tests/crash/capture/failing_program.h"
#include "tests/crash/capture/report_reading.h"

namespace userdb::test_support {

namespace {

constexpr char kProgram[] = USERDB_TRANSFORM_PATH;

TEST(WindowLockedFaults, AFaultInsideTheAllocatorSavesItsReportFromTheSignalHandler) {
  FailingProgram program(kProgram);
  program.Start();
  program.Transform(program.FailingInput("locked-allocator"));
  const auto status = program.WaitForEnd(std::chrono::seconds(90));
  EXPECT_TRUE(Killed(status, SIGSEGV)) << (status ? *status : -1);
  const std::vector<std::string> reports = ReportsIn(program.ReportFile());
  ASSERT_EQ(reports.size(), 1u) << program.ReportFile();
  EXPECT_EQ(HeaderValueOf(reports.front(), "exception class"), "EAccessViolation");
  EXPECT_NE(HeaderValueOf(reports.front(), "emergency report"), "");
  const auto threads = ThreadSectionsOf(reports.front());
  ASSERT_FALSE(threads.empty());
  ASSERT_GE(threads.front().size(), 2u);
  EXPECT_NE(threads.front()[1].find("EnterAllocator"), std::string::npos) << reports.front();
  EXPECT_NE(reports.front().find(" userdb-transform "), std::string::npos);
  EXPECT_NE(program.Errors().find("exception class"), std::string::npos);
}

TEST(WindowLockedFaults, AFaultHoldingStandardErrorsLockGetsItsBox) {
  FailingProgram program(kProgram);
  program.Start();
  program.Transform(program.FailingInput("locked-stderr"));
  const std::string box = WaitForBox();
  ASSERT_FALSE(box.empty());
  EXPECT_NE(program.BoxDescription().find("button: Anwendung fortsetzen (disabled)\n"),
            std::string::npos);
  Keys(box, "Escape");
  EXPECT_TRUE(Exited(program.WaitForEnd(), 1));
  const std::vector<std::string> reports = ReportsIn(program.ReportFile());
  ASSERT_EQ(reports.size(), 1u) << program.ReportFile();
  EXPECT_EQ(HeaderValueOf(reports.front(), "exception class"), "EAccessViolation");
  EXPECT_EQ(HeaderValueOf(reports.front(), "emergency report"), "");
}

TEST(WindowSeveralFaults, TwoThreadsFaultingAtOnceGetABoxAndAReportEach) {
  FailingProgram program(kProgram);
  program.Start();
  program.Transform(program.FailingInput("two-faults"));
  for (int box_number = 0; box_number < 2; ++box_number) {
    const std::string box = WaitForBox();
    ASSERT_FALSE(box.empty()) << box_number;
    Keys(box, "Escape");  // close: continue is disabled
    if (box_number == 0) {
      ASSERT_TRUE(WindowGone(box, std::chrono::seconds(10)));
    }
  }
  EXPECT_TRUE(Exited(program.WaitForEnd(), 1));
  const std::vector<std::string> reports = ReportsIn(program.ReportFile());
  ASSERT_EQ(reports.size(), 2u) << program.ReportFile();
  std::vector<std::string> classes{HeaderValueOf(reports[0], "exception class"),
                                   HeaderValueOf(reports[1], "exception class")};
  std::sort(classes.begin(), classes.end());
  EXPECT_EQ(classes, (std::vector<std::string>{"EAccessViolation", "EDivByZero"}));
}

}  // namespace

}  // namespace userdb::test_support
