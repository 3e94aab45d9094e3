// Two processes saving reports into the same bug report file at the same moment: each
// waits for the other, so that every report arrives whole and none is lost.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "crash/report/bug_report_file.h"
#include "crash/report/report_header.h"
#include "tests/crash/report/sample_report.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {

namespace {

using test_support::ReadFile;
using test_support::SampleReport;
using test_support::TempFolder;

constexpr int kReportsPerWriter = 50;

// A report of its own for each writer and number, or the same one for all.
std::string Report(int writer, int number, bool same_exception) {
  SampleReport report;
  if (!same_exception) {
    char checksums[40];
    std::snprintf(checksums, sizeof checksums, "$%08x, $%08x, $00000000", writer, number);
    report.checksums = checksums;
    report.filler =
        std::string(static_cast<size_t>(200 + number * 37), static_cast<char>('a' + writer));
  }
  return report.Text();
}

// Starts both writers, lets them go at once and tells whether both saved every report.
bool RunTwoWriters(const ReportFolders& folders, bool same_exception) {
  int go[2];
  if (pipe(go) != 0) return false;
  pid_t writers[2];
  for (int writer = 0; writer < 2; ++writer) {
    writers[writer] = fork();
    if (writers[writer] == 0) {
      close(go[1]);
      char byte;
      if (read(go[0], &byte, 1) != 0) _exit(2);  // the start: the parent closes its end
      const BugReportFileWriter file_writer(folders);
      for (int number = 0; number < kReportsPerWriter; ++number) {
        CaughtException exception(test_support::ReportFileSettings());
        exception.Settings().WriteInteger("BugRepFileSize", 0);
        const std::string report = Report(writer, number, same_exception);
        if (!file_writer.Write(std::nullopt, report, nullptr, exception, true)) _exit(1);
      }
      _exit(0);
    }
  }
  close(go[0]);
  close(go[1]);
  bool all_saved = true;
  for (const pid_t writer : writers) {
    int status = 0;
    all_saved &= writer > 0 && waitpid(writer, &status, 0) == writer && WIFEXITED(status) &&
                 WEXITSTATUS(status) == 0;
  }
  return all_saved;
}

TEST(ReportFileConcurrencyTest, EveryReportOfTwoWritersArrivesWhole) {
  TempFolder temp;
  const ReportFolders folders{temp / "program/", temp / "state/"};
  ASSERT_TRUE(RunTwoWriters(folders, false));
  const std::string saved = ReadFile(folders.program + "bugreport.txt");
  size_t expected_size = 0;
  for (int writer = 0; writer < 2; ++writer) {
    for (int number = 0; number < kReportsPerWriter; ++number) {
      const std::string whole = "\r\n" + Report(writer, number, false) + "\r\n\r\n";
      expected_size += whole.size() - 2;
      EXPECT_NE(("\r\n" + saved).find(whole), std::string::npos)
          << "writer " << writer << ", report " << number;
    }
  }
  EXPECT_EQ(saved.size(), expected_size);
}

TEST(ReportFileConcurrencyTest, TheSameExceptionFromTwoWritersIsCountedOnce) {
  TempFolder temp;
  const ReportFolders folders{temp / "program/", temp / "state/"};
  ASSERT_TRUE(RunTwoWriters(folders, true));
  const std::string expected = InsertHeaderLineAfter(Report(0, 0, true), "callstack crc", "count",
                                                     std::to_string(2 * kReportsPerWriter)) +
                               "\r\n\r\n";
  EXPECT_EQ(ReadFile(folders.program + "bugreport.txt"), expected);
}

}  // namespace

}  // namespace userdb::crash
