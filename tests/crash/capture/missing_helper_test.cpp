// A window program whose crash helper cannot be started (it is missing, or not executable in
// the test's copy of the programs), end to end: the user is told on standard error what
// happened and where the report was saved, and, where the failure can be continued, in a
// plain message box of the program's own; the report is in the bug report file all the same.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/crash/capture/box_driving.h"
#include "tests/crash/capture/failing_program.h"

namespace userdb::test_support {

namespace {

constexpr char kWindowProgram[] = USERDB_TRANSFORM_PATH;

enum class HelperState { kMissing, kNotExecutable, kEndsAtOnce };

struct MissingHelperCase {
  const char* name;
  HelperState helper;
  const char* failure;
  bool can_continue;
  const char* what_happened;  // to the crash helper, after its path
};

class MissingHelper : public ::testing::TestWithParam<MissingHelperCase> {};

TEST_P(MissingHelper, TellsWhatHappenedAndWhereTheReportWasSaved) {
  const MissingHelperCase& c = GetParam();
  FailingProgram program(kWindowProgram);
  const std::string helper = program.Folder() + "/userdb-crash-helper";
  std::filesystem::remove(helper);
  if (c.helper != HelperState::kMissing) {
    // A program that is not the crash helper: it reads nothing and ends at once.
    std::ofstream(helper) << "#!/bin/sh\nexit 3\n";
    std::filesystem::permissions(
        helper, c.helper == HelperState::kEndsAtOnce
                    ? std::filesystem::perms::owner_all
                    : std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  }
  program.Start();
  program.Transform(program.FailingInput(c.failure));

  const std::string notice = "the error box could not be shown: the crash helper " + helper +
                             c.what_happened + "; the bug report was saved to " + program.Folder() +
                             "/bugreport.txt";
  const std::string expected_line = "userdb-transform: " + notice + "\n";
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (program.Errors().find("could not be shown") == std::string::npos &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_NE(program.Errors().find(expected_line), std::string::npos) << program.Errors();
  const std::string report = program.ReportFile();
  EXPECT_EQ(Occurrences(report, "exception number"), 1u) << report.substr(0, 2000);

  if (!c.can_continue) {
    EXPECT_TRUE(Exited(program.WaitForEnd(), 1));
    return;
  }
  // The program's own message box, in front of its window.
  std::string box;
  const auto shown = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (box.empty() && std::chrono::steady_clock::now() < shown) {
    const std::string found =
        WaitForWindow("--name '^userdb-transform$'", std::chrono::milliseconds(500));
    if (!found.empty() && WindowProcess(found) == std::to_string(program.Pid())) box = found;
  }
  ASSERT_FALSE(box.empty());
  const std::string copied = CopiedText(box);
  EXPECT_NE(copied.find("In der Anwendung trat ein Fehler auf"), std::string::npos) << copied;
  EXPECT_NE(copied.find("T" + notice.substr(1) + "."), std::string::npos) << copied;
  Keys(box, "Return");
  EXPECT_TRUE(WindowGone(box, std::chrono::seconds(10)));
  EXPECT_TRUE(program.Running());

  // The next failure is told the same way.
  program.Transform(program.FailingInput(c.failure));
  const auto again = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (Occurrences(program.Errors(), expected_line) < 2 &&
         std::chrono::steady_clock::now() < again) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(Occurrences(program.Errors(), expected_line), 2u) << program.Errors();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MissingHelper,
    ::testing::Values(MissingHelperCase{"MissingThrow", HelperState::kMissing, "throw", true,
                                        " could not be started (No such file or directory)"},
                      MissingHelperCase{"NotExecutableWorkerThrow", HelperState::kNotExecutable,
                                        "worker-throw", true,
                                        " could not be started (Permission denied)"},
                      MissingHelperCase{"EndsAtOnceThrow", HelperState::kEndsAtOnce, "throw", true,
                                        " ended without an answer (exit status 3)"},
                      MissingHelperCase{"MissingSegv", HelperState::kMissing, "segv", false,
                                        " could not be started (No such file or directory)"}),
    [](const auto& test_case) { return std::string(test_case.param.name); });

}  // namespace

}  // namespace userdb::test_support
