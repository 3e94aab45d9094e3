// The desktop's programs run as children: their exit status and output, the time limit
// with its two endings, nothing of theirs in this program's output, and the program search.
#include "crash/send/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace userdb::crash {

namespace {

using namespace std::chrono_literals;
using test_support::TempFolder;

ChildRun Shell(const std::string& script, std::chrono::milliseconds limit = 5000ms) {
  ChildRun run;
  run.arguments = {"/bin/sh", "-c", script};
  run.time_limit = limit;
  return run;
}

// Alive, not a zombie that nobody collected.
bool ProcessRuns(pid_t pid) {
  try {
    const std::string stat = test_support::ReadFile("/proc/" + std::to_string(pid) + "/stat");
    return stat.find(") Z ") == std::string::npos;
  } catch (const std::exception&) {
    return false;
  }
}

// Gone, collected by its parent.
bool ProcessGone(pid_t pid) {
  return kill(pid, 0) != 0;
}

pid_t ReadPid(const std::string& path) {
  for (int i = 0; i < 200; ++i) {
    try {
      const std::string text = test_support::ReadFile(path);
      if (!text.empty() && text.back() == '\n') return std::stoi(text);
    } catch (const std::exception&) {
    }
    std::this_thread::sleep_for(10ms);
  }
  return 0;
}

TEST(ChildProcessTest, TellsTheExitStatusAndKeepsTheOutputWhenAsked) {
  ChildRun run = Shell("printf 'mail.desktop\\n'; echo noise >&2; exit 3");
  run.keep_output = true;
  const ChildResult result = RunChild(run);
  EXPECT_EQ(result.end, ChildEnd::kExited);
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_EQ(result.output, "mail.desktop\n");
  EXPECT_FALSE(result.ExitedWithSuccess());
  EXPECT_TRUE(RunChild(Shell("exit 0")).ExitedWithSuccess());
  EXPECT_EQ(RunChild(Shell("kill -9 $$")).end, ChildEnd::kKilledBySignal);
}

TEST(ChildProcessTest, PassesArgumentsAsTheyAreWithoutAShell) {
  ChildRun run;
  run.arguments = {"/usr/bin/printf", "%s|", "two words", "$HOME", "a\nb", "*"};
  run.keep_output = true;
  EXPECT_EQ(RunChild(run).output, "two words|$HOME|a\nb|*|");
}

TEST(ChildProcessTest, MixesNothingIntoThisProgramsOutput) {
  TempFolder folder;
  const std::string captured = folder / "ours.txt";
  const int saved_out = dup(1), saved_err = dup(2);
  const int file = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(file, 1);
  dup2(file, 2);
  const ChildResult result = RunChild(Shell("echo out; echo err >&2; cat"));  // cat: stdin
  dup2(saved_out, 1);
  dup2(saved_err, 2);
  close(file);
  close(saved_out);
  close(saved_err);
  EXPECT_TRUE(result.ExitedWithSuccess());
  EXPECT_EQ(test_support::ReadFile(captured), "");
}

TEST(ChildProcessTest, StopsAChildAtTheTimeLimitWithItsChildren) {
  TempFolder folder;
  const std::string pid_file = folder / "pid";
  // The shell's own child, a sleep, belongs to the stopped process group too.
  const ChildResult result = RunChild(Shell("sleep 30 & echo $! > " + pid_file + "; wait", 300ms));
  EXPECT_EQ(result.end, ChildEnd::kTimeLimit);
  const pid_t sleeper = ReadPid(pid_file);
  ASSERT_GT(sleeper, 0);
  for (int i = 0; i < 100 && ProcessRuns(sleeper); ++i) std::this_thread::sleep_for(10ms);
  EXPECT_FALSE(ProcessRuns(sleeper));
}

TEST(ChildProcessTest, LeavesAChildRunningWhenAskedAndCollectsItLater) {
  TempFolder folder;
  const std::string pid_file = folder / "pid";
  ChildRun run = Shell("echo $$ > " + pid_file + "; exec sleep 1", 200ms);
  run.at_time_limit = AtTimeLimit::kLeaveRunning;
  EXPECT_EQ(RunChild(run).end, ChildEnd::kTimeLimit);
  const pid_t child = ReadPid(pid_file);
  ASSERT_GT(child, 0);
  EXPECT_TRUE(ProcessRuns(child));
  // Once it ends it is collected: no zombie stays behind.
  for (int i = 0; i < 300 && !ProcessGone(child); ++i) std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(ProcessGone(child));
}

TEST(ChildProcessTest, StartsSignalsAndMasksAsDefaults) {
  // This program ignores SIGTERM; the child must not inherit that.
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGTERM, &ignore, &previous);
  const ChildResult result = RunChild(Shell("kill -TERM $$; sleep 5"));
  sigaction(SIGTERM, &previous, nullptr);
  EXPECT_EQ(result.end, ChildEnd::kKilledBySignal);
}

TEST(ChildProcessTest, ReportsAProgramThatCannotStart) {
  ChildRun run;
  run.arguments = {"/nonexistent/xdg-email"};
  EXPECT_EQ(RunChild(run).end, ChildEnd::kNotStarted);
  EXPECT_EQ(RunChild(ChildRun{}).end, ChildEnd::kNotStarted);
}

TEST(FindProgramTest, SearchesTheFoldersInOrder) {
  TempFolder first, second;
  const auto make = [](const std::string& path, mode_t mode) {
    test_support::WriteFile(path, "#!/bin/sh\n");
    chmod(path.c_str(), mode);
  };
  make(first / "xdg-open", 0644);  // not executable: passed over
  make(second / "xdg-open", 0755);
  mkdir((first / "xdg-mime").c_str(), 0755);  // a folder is no program
  make(second / "xdg-mime", 0755);
  const std::string search = first.Path() + "::" + second.Path();
  EXPECT_EQ(FindProgram("xdg-open", search), second / "xdg-open");
  EXPECT_EQ(FindProgram("xdg-mime", search), second / "xdg-mime");
  EXPECT_FALSE(FindProgram("xdg-email", search));
  EXPECT_EQ(FindProgram(second / "xdg-open", ""), second / "xdg-open");
  EXPECT_FALSE(FindProgram(first / "xdg-open", ""));
  EXPECT_FALSE(FindProgram("", search));
}

}  // namespace

}  // namespace userdb::crash
