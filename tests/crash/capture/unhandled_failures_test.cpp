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
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "tests/crash/capture/box_driving.h"
#include "tests/crash/capture/failing_program.h"
#include "tests/support/report_sections.h"

namespace userdb::test_support {

namespace {

constexpr char kWindowProgram[] = USERDB_TRANSFORM_PATH;
constexpr char kConsoleProgram[] = USERDB2CSV_PATH;

long MatchCount(const std::string& text, const std::string& pattern) {
  const std::regex expression(pattern);
  return std::distance(std::sregex_iterator(text.begin(), text.end(), expression),
                       std::sregex_iterator());
}

// Whether the window converts the sample database once more: the program goes on working.
bool ConvertsTheSample(FailingProgram& program) {
  const std::string output = program.Folder() + "/contacts_users_293.csv";
  std::filesystem::remove(output);
  program.Transform(program.Folder() + "/UserDb.bin");
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!std::filesystem::exists(output) && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return std::filesystem::exists(output);
}

TEST(WindowFailures, AThrowInTransformCanBeContinuedAndTheWindowGoesOnWorking) {
  FailingProgram program(kWindowProgram);
  program.Start();
  program.Transform(program.FailingInput("throw"));
  const std::string box = WaitForBox();
  ASSERT_FALSE(box.empty());
  EXPECT_EQ(Command("xdotool getwindowname " + box), "userdb-transform");
  EXPECT_EQ(program.BoxDescription(),
            "title: userdb-transform\n"
            "text: In der Anwendung trat ein Fehler auf\n"
            "button: Sende einen Fehlerbericht\n"
            "button: Fehlerbericht speichern (focused)\n"
            "button: Fehlerbericht anzeigen\n"
            "button: Anwendung fortsetzen\n"
            "button: Anwendung neu starten\n"
            "button: Anwendung schlie\u00dfen\n");
  EXPECT_NE(CopiedText(box).find("Testfehler"), std::string::npos);

  // Show report: the box comes again with the report's tabs, and Ctrl+C copies the report.
  Keys(box, "Tab space");
  ASSERT_TRUE(WindowGone(box, std::chrono::seconds(10)));
  const std::string shown = WaitForBox();
  ASSERT_FALSE(shown.empty());
  const std::string description = program.BoxDescription("tabs:");
  EXPECT_NE(description.find("tabs: [general] [call stack"), std::string::npos) << description;
  EXPECT_NE(description.find("[modules]"), std::string::npos) << description;
  EXPECT_EQ(description.find("Fehlerbericht anzeigen"), std::string::npos) << description;
  const std::string copied = CopiedText(shown);
  EXPECT_NE(copied.find("exception class"), std::string::npos) << copied.substr(0, 500);
  Keys(shown, "Escape");  // continue
  ASSERT_TRUE(WindowGone(shown, std::chrono::seconds(10)));

  // The report can still be pasted once the box and its helper are gone.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  QCoreApplication::processEvents();
  EXPECT_NE(QGuiApplication::clipboard()->text().toStdString().find("exception class"),
            std::string::npos);

  // The report is saved once the box was left; the window still converts.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (program.ReportFile().empty() && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const std::string report = program.ReportFile();
  EXPECT_EQ(HeaderValue(report, "exception class"), "TestFailure");
  EXPECT_NE(HeaderValue(report, "exception message").find("Testfehler"), std::string::npos);
  EXPECT_TRUE(FirstStackNames(report, kThrowTestFailure)) << report.substr(0, 3000);
  EXPECT_TRUE(ConvertsTheSample(program));
  EXPECT_TRUE(program.Running());
}

struct FatalCase {
  const char* failure;
  const char* exception_class;
  const char* raising_function;
};

class WindowFatalFailures : public ::testing::TestWithParam<FatalCase> {};

TEST_P(WindowFatalFailures, CannotContinueAndCloseEndsWithExitCodeOneAndOneReport) {
  const FatalCase& c = GetParam();
  FailingProgram program(kWindowProgram);
  program.Start();
  program.Transform(program.FailingInput(c.failure));
  const std::string box = WaitForBox();
  ASSERT_FALSE(box.empty());
  EXPECT_NE(program.BoxDescription().find("text: In der Anwendung trat ein Fehler auf\n"),
            std::string::npos);
  EXPECT_NE(program.BoxDescription().find("button: Anwendung fortsetzen (disabled)\n"),
            std::string::npos);
  // The continue button is disabled: a close request closes the application.
  Keys(box, "Escape");
  EXPECT_TRUE(Exited(program.WaitForEnd(), 1));
  const std::string report = program.ReportFile();
  EXPECT_EQ(Occurrences(report, "exception number"), 1u);
  EXPECT_EQ(HeaderValue(report, "exception class"), c.exception_class);
  // Also for a signal that the C library raises (abort): the stack goes on from the library
  // to the function that called it.
  EXPECT_TRUE(FirstStackNames(report, c.raising_function)) << report.substr(0, 3000);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, WindowFatalFailures,
    ::testing::Values(FatalCase{"segv", "EAccessViolation", kWriteThroughNull},
                      FatalCase{"worker-segv", "EAccessViolation", kWriteThroughNull},
                      FatalCase{"fpe", "EDivByZero", "userdb.test_hook.DivideByZero"},
                      FatalCase{"abort", "EProgramAbort", "userdb.test_hook.AbortHere"}),
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
  // The report is finished once the box is left; on a busy machine that may take a while.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (program.ReportFile().find("date/time") == std::string::npos &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(program.Running());
  const std::string report = program.ReportFile();
  EXPECT_EQ(HeaderValue(report, "exception class"), "TestFailure");
  EXPECT_TRUE(FirstStackNames(report, kThrowTestFailure)) << report.substr(0, 3000);
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
    // Known by its process too: the second box may be given the first one's window id.
    const ShownWindow box = FindBox();
    ASSERT_TRUE(box.Found()) << box_number;
    Keys(box.id, "Escape");
    ASSERT_TRUE(box.Gone(std::chrono::seconds(10)));
  }
  const std::string third = WaitForBox(std::chrono::milliseconds(1500));
  EXPECT_TRUE(third.empty()) << CopiedText(third) << program.ReportFile();
  EXPECT_TRUE(program.Running());
  // Two reports: the threads were created at two places, so their stacks differ.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Occurrences(program.ReportFile(), "exception number") < 2 &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const std::string report = program.ReportFile();
  EXPECT_EQ(Occurrences(report, "exception number"), 2u);
  // Each report's exception thread raised in it.
  const size_t second = report.find("\r\n\r\ndate/time");
  ASSERT_NE(second, std::string::npos);
  EXPECT_TRUE(FirstStackNames(report.substr(0, second), kThrowTestFailure)) << report;
  EXPECT_TRUE(FirstStackNames(report.substr(second + 4), kThrowTestFailure)) << report;
}

TEST(WindowFailures, CloseEndsWithExitCodeOneAfterTheAutomaticSave) {
  FailingProgram program(kWindowProgram);
  program.Start();
  program.Transform(program.FailingInput("throw"));
  const std::string box = WaitForBox();
  ASSERT_FALSE(box.empty());
  program.BoxDescription();
  // Back from save, past send, to the last button: close, long before the report's worker
  // is done.
  Keys(box, "shift+Tab shift+Tab space");
  EXPECT_TRUE(Exited(program.WaitForEnd(), 1));
  // The automatic save waited for the complete report before the program ended.
  const std::string report = program.ReportFile();
  EXPECT_EQ(Occurrences(report, "exception number"), 1u);
  EXPECT_TRUE(std::regex_match(HeaderValue(report, "callstack crc"),
                               std::regex(R"(\$[0-9a-f]{8}, \$[0-9a-f]{8}, \$[0-9a-f]{8})")))
      << report.substr(0, 3000);
  EXPECT_EQ(report.find("will be calculated soon"), std::string::npos) << report.substr(0, 3000);
  EXPECT_TRUE(FirstStackNames(report, kThrowTestFailure)) << report.substr(0, 3000);
  EXPECT_NE(report.find("\r\n\r\nmodules:\r\n"), std::string::npos);
}

// Save (the focused button) runs the save assistant, asks for a file in the helper's save
// dialog and appends the complete report, with what the assistant asked, to it; the box
// stays until it is left.
TEST(WindowFailures, SaveAppendsTheReportToTheChosenFile) {
  FailingProgram program(kWindowProgram);
  program.Start();
  program.Transform(program.FailingInput("throw"));
  const std::string box = WaitForBox();
  ASSERT_FALSE(box.empty());
  const std::string chosen = program.Folder() + "/chosen.txt";
  {
    std::ofstream earlier(chosen, std::ios::binary);
    earlier << "kept\r\n";
  }
  Keys(box, "Return");
  WalkAssistant(program, "Save Assistant", 2);
  const std::string dialog =
      WaitForWindow("--name '^Fehlerbericht speichern$'", std::chrono::seconds(15));
  ASSERT_FALSE(dialog.empty());
  ASSERT_TRUE(ChooseInSaveDialog(dialog, chosen));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (FileText(chosen).find("exception message") == std::string::npos &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const std::string saved = FileText(chosen);
  EXPECT_TRUE(saved.starts_with("kept\r\n")) << "appended, nothing overwritten";
  EXPECT_EQ(HeaderValue(saved, "exception class"), "TestFailure");
  EXPECT_TRUE(FirstStackNames(saved, kThrowTestFailure)) << saved.substr(0, 3000);
  EXPECT_EQ(HeaderValue(saved, "contact email"), "ann@example.org");
  EXPECT_NE(saved.find("\r\nerror details:\r\nit broke"), std::string::npos);
  EXPECT_TRUE(WindowGone(dialog, std::chrono::seconds(5)));
  EXPECT_FALSE(WindowGone(box, std::chrono::milliseconds(200))) << "the box stays";
  Keys(box, "Escape");
  EXPECT_TRUE(WindowGone(box, std::chrono::seconds(10)));
  EXPECT_TRUE(program.Running());
}

// Starts the program with `mail_program` first on its search path, makes it fail, and
// sends from its box through the send assistant; the box's window, empty when none came.
std::string SendFromTheBox(FailingProgram& program, const std::string& mail_program) {
  program.PutFirstOnSearchPath(mail_program);
  program.Start();
  program.Transform(program.FailingInput("throw"));
  const std::string box = WaitForBox();
  if (box.empty()) return box;
  Keys(box, "shift+Tab space");
  WalkAssistant(program, "Send Assistant", 3);
  return box;
}

// Send (the first button) runs the send assistant and hands the mail to the desktop's mail
// program with the bug report and the screenshot of the program's window attached; the box
// stays, and close then ends the program.
TEST(WindowFailures, SendHandsTheReportAndTheScreenshotToTheMailProgram) {
  FailingProgram program(kWindowProgram);
  const std::string box = SendFromTheBox(program, FakeMailProgram(program.Folder(), 0));
  ASSERT_FALSE(box.empty());
  // The mail program has kept what it was given once it ended.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (!std::filesystem::exists(program.Folder() + "/mail-ended") &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const std::string arguments = FileText(program.Folder() + "/mail-arguments.txt");
  EXPECT_NE(arguments.find("--subject\nFehlerbericht der Anwendung userdb-transform\n"),
            std::string::npos)
      << arguments;
  EXPECT_NE(arguments.find("/bugreport.txt\n"), std::string::npos) << arguments;
  EXPECT_NE(arguments.find("/screenshot.png\n"), std::string::npos) << arguments;

  const std::string attached = FileText(program.Folder() + "/attached/bugreport.txt");
  EXPECT_EQ(HeaderValue(attached, "exception class"), "TestFailure");
  EXPECT_EQ(HeaderValue(attached, "contact email"), "ann@example.org");
  EXPECT_NE(attached.find("\r\nerror details:\r\nit broke"), std::string::npos);
  EXPECT_TRUE(FirstStackNames(attached, kThrowTestFailure)) << attached.substr(0, 3000);
  const std::string picture = FileText(program.Folder() + "/attached/screenshot.png");
  EXPECT_TRUE(picture.starts_with("\x89PNG\r\n\x1a\n")) << picture.size();
  EXPECT_EQ(Command("pngcheck -q '" + program.Folder() + "/attached/screenshot.png'; echo $?"),
            "0");

  EXPECT_FALSE(WindowGone(box, std::chrono::milliseconds(200))) << "the box stays";
  // From send, the first button, back to the last: close.
  Keys(box, "shift+Tab space");
  EXPECT_TRUE(Exited(program.WaitForEnd(), 1));
}

// A send runs in the background while the user goes on; close waits for it, so that the
// mail program is not cut off.
TEST(WindowFailures, CloseWaitsForASendInTheBackground) {
  FailingProgram program(kWindowProgram);
  const std::string box = SendFromTheBox(program, FakeMailProgram(program.Folder(), 0, 2));
  ASSERT_FALSE(box.empty());
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (FileText(program.Folder() + "/mail-arguments.txt").empty() &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_FALSE(std::filesystem::exists(program.Folder() + "/mail-ended"));
  Keys(box, "shift+Tab space");
  EXPECT_TRUE(Exited(program.WaitForEnd(), 1));
  EXPECT_TRUE(std::filesystem::exists(program.Folder() + "/mail-ended"));
}

// The next failure while a send still runs in the background leaves the send's attachments
// where the mail program reads them.
TEST(WindowFailures, AFailureDuringABackgroundSendLeavesItsAttachments) {
  FailingProgram program(kWindowProgram);
  std::string box = SendFromTheBox(program, FakeMailProgram(program.Folder(), 0, 3));
  ASSERT_FALSE(box.empty());
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (FileText(program.Folder() + "/mail-arguments.txt").empty() &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  Keys(box, "Escape");
  ASSERT_TRUE(WindowGone(box, std::chrono::seconds(10)));
  program.Transform(program.FailingInput("throw"));
  box = WaitForBox();
  ASSERT_FALSE(box.empty());
  end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (!std::filesystem::exists(program.Folder() + "/mail-ended") &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const std::string attached = FileText(program.Folder() + "/attached/bugreport.txt");
  EXPECT_TRUE(FirstStackNames(attached, kThrowTestFailure)) << attached.substr(0, 3000);
  EXPECT_TRUE(std::filesystem::exists(program.Folder() + "/attached/screenshot.png"));
  Keys(box, "Escape");
}

// When neither the mail program nor a mail handler takes the mail, the user is told so in
// a message of the crash helper, and the box stays; once the message was seen, close ends
// the program.
TEST(WindowFailures, ASendThatNothingTakesIsReported) {
  FailingProgram program(kWindowProgram);
  const std::string box = SendFromTheBox(program, FakeMailProgram(program.Folder(), 3));
  ASSERT_FALSE(box.empty());
  const std::string message = WaitForWindow("--name '^Fehler$'", std::chrono::seconds(20));
  ASSERT_FALSE(message.empty());
  EXPECT_NE(CopiedText(message).find(
                "Sorry, das Senden des Fehlerberichts per E-Mail hat nicht funktioniert!"),
            std::string::npos);
  Keys(message, "Return");
  EXPECT_TRUE(WindowGone(message, std::chrono::seconds(10)));
  EXPECT_FALSE(WindowGone(box, std::chrono::milliseconds(200))) << "the box stays";
  EXPECT_TRUE(program.Running());
  Keys(box, "shift+Tab space");
  EXPECT_TRUE(Exited(program.WaitForEnd(), 1));
}

TEST(WindowFailures, AnEAbortIsNeverReported) {
  FailingProgram program(kWindowProgram);
  program.Start();
  program.Transform(program.FailingInput("eabort"));
  EXPECT_TRUE(WaitForBox(std::chrono::seconds(3)).empty());
  EXPECT_TRUE(program.Running());
  EXPECT_TRUE(ConvertsTheSample(program));
  EXPECT_EQ(program.ReportFile(), "");
}

TEST(WindowFailures, AnEDBEditErrorShowsTheSimpleBoxAndNoReport) {
  FailingProgram program(kWindowProgram);
  program.Start();
  program.Transform(program.FailingInput("edbediterror"));
  const std::string box = WaitForBox();
  ASSERT_FALSE(box.empty());
  const std::string text = program.BoxDescription();
  EXPECT_NE(text.find("text: Ung\u00fcltige Eingabe im Feld."), std::string::npos) << text;
  EXPECT_NE(text.find("\nbutton: &OK (focused)\n"), std::string::npos) << text;
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
  EXPECT_TRUE(FirstStackNames(report, kWriteThroughNull)) << report.substr(0, 3000);
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
  EXPECT_NE(program.BoxDescription().find("text: Die Anwendung reagiert nicht mehr"),
            std::string::npos);
  Keys(box, "Escape");  // a freeze can continue
  ASSERT_TRUE(WindowGone(box, std::chrono::seconds(10)));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (program.ReportFile().empty() && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const std::string report = program.ReportFile();
  EXPECT_EQ(HeaderValue(report, "exception message"), "Die Anwendung reagiert nicht mehr");
  EXPECT_NE(report.find("main thread ($"), std::string::npos) << report.substr(0, 3000);
  EXPECT_TRUE(FirstStackNames(report, "userdb.test_hook.FreezeHere")) << report.substr(0, 9000);
  EXPECT_TRUE(program.Running());
}

// The process that `parent` started from the program at `path`, once it runs it (after its
// exec); 0 when none does within `limit`.
pid_t ChildRunning(pid_t parent, const std::string& path, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      const std::string name = entry.path().filename().string();
      if (name.find_first_not_of("0123456789") != std::string::npos) continue;
      const std::string stat = FileText("/proc/" + name + "/stat");
      const size_t after_name = stat.rfind(") ");
      if (after_name == std::string::npos) continue;
      std::istringstream fields(stat.substr(after_name + 2));
      std::string state;
      pid_t parent_id = 0;
      fields >> state >> parent_id;
      std::error_code error;
      if (parent_id == parent &&
          std::filesystem::read_symlink("/proc/" + name + "/exe", error).string() == path) {
        return std::stoi(name);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return 0;
}

// The visible main window of `process`; empty when it has none.
std::string WindowOf(pid_t process, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  do {
    const std::string found =
        Command("xdotool search --all --onlyvisible --pid " + std::to_string(process) +
                " --name '^" + std::string(kWindowTitle) + "$' 2>/dev/null");
    if (!found.empty()) return found.substr(0, found.find('\n'));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < end);
  return {};
}

TEST(WindowFailures, RestartStartsANewInstanceThatWaitsForTheOldOne) {
  // The new instance is the old one's child: it becomes this process's once the old ends.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  FailingProgram program(kWindowProgram);
  // The old instance's end is held until the test lets it go.
  const std::string release = program.Folder() + "/release-end";
  setenv("USERDB_TEST_HOLD_END", release.c_str(), 1);
  program.Start();
  unsetenv("USERDB_TEST_HOLD_END");
  program.Transform(program.FailingInput("segv"));
  const std::string box = WaitForBox();
  ASSERT_FALSE(box.empty());
  // From the focused button (save) over show on to restart, past the disabled continue.
  Keys(box, "Tab Tab space");

  const pid_t restarted =
      ChildRunning(program.Pid(), program.Folder() + "/userdb-transform", std::chrono::seconds(15));
  ASSERT_GT(restarted, 0) << "the restart started a new instance";
  struct KillAtEnd {
    pid_t process;
    ~KillAtEnd() {
      kill(process, SIGKILL);
      waitpid(process, nullptr, 0);
    }
  } kill_at_end{restarted};
  // While the old instance has not ended, the new one waits: it shows no window.
  EXPECT_TRUE(WindowOf(restarted, std::chrono::seconds(3)).empty());
  EXPECT_TRUE(program.Running());
  std::ofstream{release};
  EXPECT_TRUE(Exited(program.WaitForEnd(), 2));
  EXPECT_EQ(Occurrences(program.ReportFile(), "exception number"), 1u);
  // Once the old one ended, the new one goes on and shows its window.
  EXPECT_FALSE(WindowOf(restarted, std::chrono::seconds(20)).empty());
  // It took its hand-over: the memory is gone.
  char name[64];
  std::snprintf(name, sizeof name, "/dev/shm/QuorvexRestart$%x", static_cast<unsigned>(restarted));
  EXPECT_FALSE(std::filesystem::exists(name));
}

}  // namespace

}  // namespace userdb::test_support
