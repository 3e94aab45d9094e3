#include "crash/report/locked_report_file.h"

#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/temp_folder.h"

namespace userdb::crash {

namespace {

using test_support::ReadFile;
using test_support::TempFolder;
using test_support::WriteFile;

constexpr std::chrono::milliseconds kNoWait(0);

TEST(LockedReportFileTest, ContentsAreTheWholeFileAndAppendFollowsThem) {
  TempFolder folder;
  const std::string path = folder / "bugreport.txt";
  WriteFile(path, "first report\r\n\r\n");
  LockedReportFile file = LockedReportFile::Open(path, kNoWait);
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(file.Contents(), "first report\r\n\r\n");
  EXPECT_TRUE(file.Append("second"));
  EXPECT_EQ(ReadFile(path), "first report\r\n\r\nsecond");
}

// Programs that do not take the lock (an editor saving the file in place) may change the
// file after it was locked. What was read is what counts; nothing is lost or left as a
// hole of zeros, and reading never faults.
TEST(LockedReportFileTest, FileChangedByAnotherProgramAfterLocking) {
  struct Case {
    const char* name;
    const char* before;
    const char* other_program_leaves;
  };
  const Case cases[] = {
      {"shortened", "a long first report\r\n\r\n", "short\r\n"},
      {"emptied", "a report\r\n\r\n", ""},
      {"grown", "a report\r\n\r\n", "a report\r\n\r\nand another one\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string path = folder / "bugreport.txt";
    WriteFile(path, c.before);
    LockedReportFile file = LockedReportFile::Open(path, kNoWait);
    ASSERT_TRUE(file.IsOpen());
    WriteFile(path, c.other_program_leaves);  // truncated and written in place

    EXPECT_EQ(file.Contents(), c.other_program_leaves);
    EXPECT_TRUE(file.Append("new"));
    EXPECT_EQ(ReadFile(path), std::string(c.other_program_leaves) + "new");
  }
}

}  // namespace

}  // namespace userdb::crash
