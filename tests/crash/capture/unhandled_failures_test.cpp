// Every kind of unhandled failure, end to end: the real programs fail on demand (the failure
// hook), the crash reporter shows its box through the crash helper (the window program) or
// writes the report to standard error (userdb2csv), and the tests check what a user sees:
// the box's text, the exit status and the report in the bug report file, which names the
// raising function.
#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>

#include <csignal>
#include <iterator>
#include <regex>
#include <sstream>

#include "tests/crash/capture/failing_program.h"

namespace userdb::test_support {

namespace {

constexpr char kWindowProgram[] = USERDB_TRANSFORM_PATH;
constexpr char kConsoleProgram[] = USERDB2CSV_PATH;

// What Ctrl+C on the box copies: its title, its text and its buttons.
std::string BoxText(const std::string& box) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  Keys(box, "ctrl+c");
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (clipboard->text().isEmpty() && std::chrono::steady_clock::now() < end) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return clipboard->text().toStdString();
}

long MatchCount(const std::string& text, const std::string& pattern) {
  const std::regex expression(pattern);
  return std::distance(std::sregex_iterator(text.begin(), text.end(), expression),
                       std::sregex_iterator());
}

bool Exited(const std::optional<int>& status, int code) {
  return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

bool Killed(const std::optional<int>& status, int signal) {
  return status && WIFSIGNALED(*status) && WTERMSIG(*status) == signal;
}

std::string HeaderValue(const std::string& report, const std::string& name) {
  const size_t at = report.find("\r\n" + name);
  if (at == std::string::npos) return {};
  const size_t start = report.find(": ", at) + 2;
  return report.substr(start, report.find("\r\n", start) - start);
}

TEST(WindowFailures, AThrowInTransformCanBeContinuedAndTheWindowGoesOnWorking) {
  FailingProgram program(kWindowProgram);
  program.Start();
  program.Transform(program.FailingInput("throw"));
  const std::string box = WaitForBox();
  ASSERT_FALSE(box.empty());
  const std::string text = BoxText(box);
  EXPECT_NE(text.find("userdb-transform"), std::string::npos) << text;
  EXPECT_NE(text.find("In der Anwendung trat ein Fehler auf"), std::string::npos) << text;
  EXPECT_NE(text.find("Anwendung fortsetzen"), std::string::npos) << text;
  EXPECT_NE(text.find("Anwendung neu starten"), std::string::npos) << text;
  EXPECT_NE(text.find("Anwendung schlie\u00dfen"), std::string::npos) << text;
  Keys(box, "Escape");  // continue
  ASSERT_TRUE(WindowGone(box, std::chrono::seconds(10)));

  // The report is saved once the box was left; the window still converts.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (program.ReportFile().empty() && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const std::string report = program.ReportFile();
  EXPECT_EQ(HeaderValue(report, "exception class"), "TestFailure");
  EXPECT_NE(HeaderValue(report, "exception message").find("Testfehler"), std::string::npos);
  EXPECT_NE(report.find("ThrowTestFailure"), std::string::npos) << report.substr(0, 3000);
  program.Transform(program.Folder() + "/UserDb.bin");
  const auto converted = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!std::filesystem::exists(program.Folder() + "/contacts_users_293.csv") &&
         std::chrono::steady_clock::now() < converted) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(std::filesystem::exists(program.Folder() + "/contacts_users_293.csv"));
  EXPECT_TRUE(program.Running());
}

struct FatalCase {
  const char* failure;
  const char* exception_class;
  const char* raising_function;
  bool in_library = false;  // the signal comes from inside the C library
};

class WindowFatalFailures : public ::testing::TestWithParam<FatalCase> {};

TEST_P(WindowFatalFailures, CannotContinueAndCloseEndsWithExitCodeOneAndOneReport) {
  const FatalCase& c = GetParam();
  FailingProgram program(kWindowProgram);
  program.Start();
  program.Transform(program.FailingInput(c.failure));
  const std::string box = WaitForBox();
  ASSERT_FALSE(box.empty());
  EXPECT_NE(BoxText(box).find("In der Anwendung trat ein Fehler auf"), std::string::npos);
  // The continue button is disabled: a close request closes the application.
  Keys(box, "Escape");
  EXPECT_TRUE(Exited(program.WaitForEnd(), 1));
  const std::string report = program.ReportFile();
  EXPECT_EQ(Occurrences(report, "exception number"), 1u);
  EXPECT_EQ(HeaderValue(report, "exception class"), c.exception_class);
  // A signal that the C library raises (abort) names the raising function in the stack,
  // once the stack is traced.
  if (c.in_library && report.find(">> stack not traced") != std::string::npos) return;
  EXPECT_NE(report.find(c.raising_function), std::string::npos) << report.substr(0, 3000);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, WindowFatalFailures,
    ::testing::Values(FatalCase{"segv", "EAccessViolation", "WriteThroughNull"},
                      FatalCase{"worker-segv", "EAccessViolation", "WriteThroughNull"},
                      FatalCase{"fpe", "EDivByZero", "DivideByZero"},
                      FatalCase{"abort", "EProgramAbort", "AbortHere", true}),
    [](const auto& test_case) {
      std::string name = test_case.param.failure;
      std::erase(name, '-');
      return name;
    });

class WindowWorkerFailures : public ::testing::TestWithParam<const char*> {};

TEST_P(WindowWorkerFailures, TheThreadEndsAndTheProgramGoesOn) {
  FailingProgram program(kWindowProgram);
  program.Start();
  program.Transform(program.FailingInput(GetParam()));
  const std::string box = WaitForBox();
  ASSERT_FALSE(box.empty());
  Keys(box, "Escape");  // continue
  ASSERT_TRUE(WindowGone(box, std::chrono::seconds(10)));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (program.ReportFile().find("date/time") == std::string::npos &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(program.Running());
  const std::string report = program.ReportFile();
  EXPECT_EQ(HeaderValue(report, "exception class"), "TestFailure");
  EXPECT_NE(report.find("ThrowTestFailure"), std::string::npos) << report.substr(0, 3000);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WindowWorkerFailures,
                         ::testing::Values("worker-throw", "stdthread-throw", "qthread-throw"),
                         [](const auto& test_case) {
                           std::string name = test_case.param;
                           std::erase(name, '-');
                           return name;
                         });

TEST(WindowFailures, TwoThreadsFailingAtOnceShowTwoBoxesOneAfterTheOther) {
  FailingProgram program(kWindowProgram);
  program.Start();
  program.Transform(program.FailingInput("two-threads"));
  for (int box_number = 0; box_number < 2; ++box_number) {
    const std::string box = WaitForBox();
    ASSERT_FALSE(box.empty()) << box_number;
    Keys(box, "Escape");
    ASSERT_TRUE(WindowGone(box, std::chrono::seconds(10)));
  }
  const std::string third = WaitForBox(std::chrono::milliseconds(1500));
  EXPECT_TRUE(third.empty()) << BoxText(third) << program.ReportFile();
  EXPECT_TRUE(program.Running());
  // Two reports: the threads were created at two places, so their stacks differ.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Occurrences(program.ReportFile(), "exception number") < 2 &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const std::string report = program.ReportFile();
  EXPECT_EQ(Occurrences(report, "exception number"), 2u);
  EXPECT_EQ(MatchCount(report, " \\+\\d+ userdb\\.test_hook\\.ThrowTestFailure\r\n"), 2)
      << "each report's exception thread raised in it";
}

TEST(WindowFailures, AnEAbortIsNeverReported) {
  FailingProgram program(kWindowProgram);
  program.Start();
  program.Transform(program.FailingInput("eabort"));
  EXPECT_TRUE(WaitForBox(std::chrono::seconds(3)).empty());
  EXPECT_TRUE(program.Running());
  EXPECT_EQ(program.ReportFile(), "");
}

TEST(WindowFailures, AnEDBEditErrorShowsTheSimpleBoxAndNoReport) {
  FailingProgram program(kWindowProgram);
  program.Start();
  program.Transform(program.FailingInput("edbediterror"));
  const std::string box = WaitForBox();
  ASSERT_FALSE(box.empty());
  const std::string text = BoxText(box);
  EXPECT_NE(text.find("Ung\u00fcltige Eingabe im Feld."), std::string::npos) << text;
  EXPECT_NE(text.find("OK"), std::string::npos) << text;
  EXPECT_EQ(text.find("Anwendung fortsetzen"), std::string::npos) << text;
  Keys(box, "Return");
  ASSERT_TRUE(WindowGone(box, std::chrono::seconds(10)));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(program.Running());
  EXPECT_EQ(program.ReportFile(), "");
}

// The crash reporter's settings of this program with `changes` ("Name kind value" lines that
// replace the line of that name), as a stream file in `folder`.
std::string TestSettings(const std::string& folder, const std::vector<std::string>& changes) {
  std::istringstream source(FileText(CRASH_SETTINGS_SOURCE));
  std::ofstream changed(folder + "/settings.txt");
  std::string line;
  while (std::getline(source, line)) {
    for (const std::string& change : changes) {
      const std::string name = change.substr(0, change.find(' ') + 1);
      if (line.starts_with(name)) line = change;
    }
    changed << line << "\n";
  }
  changed.close();
  const std::string stream = folder + "/settings.tpf0";
  std::system(
      (std::string(MAKE_SETTINGS_STREAM) + " " + folder + "/settings.txt " + stream).c_str());
  return stream;
}

TEST(ConsoleFailures, ASegmentationFaultWritesTheReportToStandardErrorAndTheFile) {
  FailingProgram program(kConsoleProgram);
  program.Start({"--radio", "md2017", "--format", "compact", program.FailingInput("segv")});
  EXPECT_TRUE(Exited(program.WaitForEnd(), 1));
  const std::string errors = program.Errors();
  EXPECT_NE(errors.find("In der Anwendung trat ein Fehler auf"), std::string::npos) << errors;
  EXPECT_EQ(HeaderValue(errors, "exception class"), "EAccessViolation") << errors;
  const std::string report = program.ReportFile();
  EXPECT_EQ(Occurrences(report, "exception number"), 1u);
  EXPECT_NE(HeaderValue(report, "exception message").find("Zugriffsverletzung bei Adresse "),
            std::string::npos);
  EXPECT_NE(report.find("WriteThroughNull"), std::string::npos);
}

TEST(ConsoleFailures, TheTenthExceptionWithinTheAutoCloseTimeClosesTheProgram) {
  TempFolder settings_folder;
  FailingProgram program(kConsoleProgram,
                         TestSettings(settings_folder.Path(), {"AutoClose integer 60"}));
  program.Start({"--radio", "md2017", "--format", "compact", program.FailingInput("ten-throws")});
  EXPECT_TRUE(Exited(program.WaitForEnd(std::chrono::seconds(60)), 1));
  // Nine went on; the tenth closed: ten reports of one failure, counted in one.
  const std::string errors = program.Errors();
  EXPECT_EQ(MatchCount(errors, "\nexception class +: TestFailure\r?\n"), 10);
  EXPECT_EQ(HeaderValue(program.ReportFile(), "count"), "10");
  EXPECT_EQ(program.Output(), "");
}

TEST(ConsoleFailures, AFaultInsideTheHandlingEndsTheProcessWithTheOriginalSignal) {
  FailingProgram program(kConsoleProgram);
  program.Start(
      {"--radio", "md2017", "--format", "compact", program.FailingInput("handler-fault")});
  EXPECT_TRUE(Killed(program.WaitForEnd(), SIGFPE));
}

TEST(ConsoleFailures, AHandlingWithoutProgressEndsWithTheSignalAfterFifteenSeconds) {
  FailingProgram program(kConsoleProgram);
  const auto start = std::chrono::steady_clock::now();
  program.Start({"--radio", "md2017", "--format", "compact", program.FailingInput("handler-hang")});
  const auto status = program.WaitForEnd(std::chrono::seconds(60));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(Killed(status, SIGSEGV));
  EXPECT_GE(took, std::chrono::seconds(15));
  EXPECT_LT(took, std::chrono::seconds(30));
  // What there was of the report went into the file.
  const std::string report = program.ReportFile();
  EXPECT_EQ(HeaderValue(report, "exception class"), "EAccessViolation");
  EXPECT_TRUE(report.ends_with("\r\n\r\n"));
}

TEST(WindowFailures, TheFreezeWatchdogReportsAMainThreadThatDoesNotAnswer) {
  TempFolder settings_folder;
  FailingProgram program(kWindowProgram,
                         TestSettings(settings_folder.Path(),
                                      {"CheckFreeze boolean true", "FreezeTimeout integer 1000"}));
  setenv("USERDB_TEST_FREEZE_SECONDS", "6", 1);
  program.Start();
  unsetenv("USERDB_TEST_FREEZE_SECONDS");
  program.Transform(program.FailingInput("freeze"));
  const std::string box = WaitForBox(std::chrono::seconds(10));
  ASSERT_FALSE(box.empty());
  EXPECT_NE(BoxText(box).find("Die Anwendung reagiert nicht mehr"), std::string::npos);
  Keys(box, "Escape");  // a freeze can continue
  ASSERT_TRUE(WindowGone(box, std::chrono::seconds(10)));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (program.ReportFile().empty() && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const std::string report = program.ReportFile();
  EXPECT_EQ(HeaderValue(report, "exception message"), "Die Anwendung reagiert nicht mehr");
  EXPECT_NE(report.find("main thread ($"), std::string::npos) << report.substr(0, 3000);
  EXPECT_NE(report.find("FreezeHere"), std::string::npos) << report.substr(0, 9000);
  EXPECT_TRUE(program.Running());
}

TEST(WindowFailures, RestartStartsANewInstanceThatWaitsForTheOldOne) {
  // The new instance is the old one's child: it becomes this process's once the old ends.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  FailingProgram program(kWindowProgram);
  program.Start();
  program.Transform(program.FailingInput("segv"));
  const std::string box = WaitForBox();
  ASSERT_FALSE(box.empty());
  // From the focused button (close) on to restart, past the disabled continue.
  Keys(box, "Tab space");
  EXPECT_TRUE(Exited(program.WaitForEnd(), 2));
  EXPECT_EQ(Occurrences(program.ReportFile(), "exception number"), 1u);
  std::string restarted_process;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (restarted_process.empty() && std::chrono::steady_clock::now() < end) {
    const std::string found =
        WaitForWindow("--name '^" + std::string(kWindowTitle) + "$'", std::chrono::seconds(1));
    const std::string process = found.empty() ? "" : WindowProcess(found);
    if (!process.empty() && process != std::to_string(program.Pid())) restarted_process = process;
  }
  ASSERT_FALSE(restarted_process.empty());
  const pid_t restarted = std::stoi(restarted_process);
  // It took its hand-over: the memory is gone.
  char name[64];
  std::snprintf(name, sizeof name, "/dev/shm/QuorvexRestart$%x", static_cast<unsigned>(restarted));
  EXPECT_FALSE(std::filesystem::exists(name));
  kill(restarted, SIGKILL);
  waitpid(restarted, nullptr, 0);
}

}  // namespace

}  // namespace userdb::test_support

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
