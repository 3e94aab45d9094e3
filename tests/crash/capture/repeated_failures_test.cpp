// Every failure of a session is handled as the first one was, end to end in the real window
// program: the second and the tenth failure get their box whatever the user chose before,
// and a failure that comes while a box is up waits for it and then gets a box of its own.
// Each box is seen on the screen, each report reaches the bug report file (or the mail).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/crash/capture/box_driving.h"
#include "tests/crash/capture/failing_program.h"
#include "tests/support/report_sections.h"

namespace userdb::test_support {

namespace {

constexpr char kWindowProgram[] = USERDB_TRANSFORM_PATH;
constexpr char kFullBox[] =
    "title: userdb-transform\n"
    "text: In der Anwendung trat ein Fehler auf\n";

bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// The report of the process's exception number `number` in `file`, from its first header
// line on; empty when the file has none.
std::string ReportNumbered(const std::string& file, int number) {
  const std::string text = FileText(file);
  const std::string line = "exception number";
  for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) {
    const size_t start = text.find(": ", at) + 2;
    if (text.substr(start, text.find("\r\n", start) - start) != std::to_string(number)) continue;
    const size_t first_line = text.rfind("date/time", at);
    return first_line == std::string::npos ? std::string() : text.substr(first_line);
  }
  return {};
}

// Whether `file` holds the report of exception number `number`, its first call stack naming
// the function that raised it.
bool HoldsReport(const std::string& file, int number, const std::string& raising_function) {
  return FirstStackNames(ReportNumbered(file, number), raising_function);
}

// The next box of the crash helper, once `before` (the previous box) is gone; not found
// when none comes, or it does not show the full box.
ShownWindow NextBox(FailingProgram& program, const ShownWindow& before) {
  if (before.Found() && !before.Gone(std::chrono::seconds(10))) {
    ADD_FAILURE() << "the previous box stays";
    return {};
  }
  const ShownWindow box = FindBox();
  if (!box.Found()) {
    ADD_FAILURE() << "no box; the program " << (program.Running() ? "runs" : "ended")
                  << "; its report file:\n"
                  << program.ReportFile().substr(0, 600);
    return box;
  }
  // What it shows (its description file, which the tests remove before each failure), in
  // front of every other window.
  if (program.BoxDescription("button:").find(kFullBox) == std::string::npos) return {};
  EXPECT_TRUE(Topmost(box.id));
  return box;
}

// What the user does with a box before leaving it with continue.
enum class Choice { kContinue, kShowReport, kSave, kSend };

const char* NameOf(Choice choice) {
  switch (choice) {
    case Choice::kContinue:
      return "continue";
    case Choice::kShowReport:
      return "show report";
    case Choice::kSave:
      return "save";
    case Choice::kSend:
      return "send";
  }
  return "";
}

// Carries out `choice` on `box` (for save, into `chosen_file`) and leaves the box with
// continue; tells whether all of it went as a user sees it.
bool ChooseAndContinue(FailingProgram& program, const ShownWindow& box, Choice choice,
                       const std::string& chosen_file, int number) {
  ShownWindow last = box;
  std::filesystem::remove(program.Folder() + "/assistant.txt");
  const auto failed = [&](const std::string& what) {
    ADD_FAILURE() << what << "\nthe box: " << FileText(program.Folder() + "/box.txt")
                  << "\nthe assistant: " << FileText(program.Folder() + "/assistant.txt")
                  << "\nwindows: "
                  << Command("xdotool search --onlyvisible --name . getwindowname %@ 2>&1");
    return false;
  };
  switch (choice) {
    case Choice::kContinue:
      break;
    case Choice::kShowReport:
      Keys(box.id, "Tab space");
      last = NextBox(program, box);
      if (!last.Found() ||
          program.BoxDescription("tabs:").find("tabs: [general]") == std::string::npos)
        return failed("no report viewer");
      break;
    case Choice::kSave: {
      Keys(box.id, "Return");
      WalkAssistant(program, "Save Assistant", 2);
      const std::string dialog = WaitForWindow("--name '^Fehlerbericht speichern$'");
      if (dialog.empty()) return failed("no save dialog");
      if (!ChooseInSaveDialog(dialog, chosen_file)) return failed("the save dialog stays");
      if (!WaitUntil([&] { return HoldsReport(chosen_file, number, kThrowTestFailure); }))
        return failed("not saved: " + ReportNumbered(chosen_file, number).substr(0, 3000));
      break;
    }
    case Choice::kSend:
      Keys(box.id, "shift+Tab space");
      WalkAssistant(program, "Send Assistant", 3);
      if (!WaitUntil([&] { return std::filesystem::exists(program.Folder() + "/mail-ended"); }))
        return failed("not sent");
      break;
  }
  return LeaveBox(last) || failed("the box stays");
}

TEST(RepeatedFailures, TenFailingTransformsEachGetTheirBoxWhateverWasChosenBefore) {
  FailingProgram program(kWindowProgram);
  program.PutFirstOnSearchPath(FakeMailProgram(program.Folder(), 0));
  program.Start();
  const std::vector<Choice> choices = {Choice::kContinue, Choice::kShowReport, Choice::kSave,
                                       Choice::kSend};
  const std::string chosen = program.Folder() + "/chosen.txt";
  ShownWindow box;
  for (int number = 1; number <= 10; ++number) {
    const Choice choice = choices[static_cast<size_t>(number - 1) % choices.size()];
    SCOPED_TRACE("failure " + std::to_string(number) + ", then " + NameOf(choice));
    std::filesystem::remove(program.Folder() + "/mail-ended");
    std::filesystem::remove(program.Folder() + "/box.txt");
    program.Transform(program.FailingInput("throw"));
    box = NextBox(program, box);
    ASSERT_TRUE(box.Found());
    ASSERT_TRUE(ChooseAndContinue(program, box, choice, chosen, number));
    // A report that was sent is not saved again; its copy went to the mail program.
    const std::string kept = choice == Choice::kSend ? program.Folder() + "/attached/bugreport.txt"
                                                     : program.Folder() + "/bugreport.txt";
    EXPECT_TRUE(WaitUntil([&] { return HoldsReport(kept, number, kThrowTestFailure); }))
        << ReportNumbered(kept, number).substr(0, 5000);
  }
  EXPECT_TRUE(program.Running());
}

TEST(RepeatedFailures, ASegmentationFaultAfterAWorkerThreadsThrowGetsItsBox) {
  FailingProgram program(kWindowProgram);
  program.Start();
  program.Transform(program.FailingInput("worker-throw"));
  ShownWindow box = NextBox(program, {});
  ASSERT_TRUE(box.Found());
  ASSERT_TRUE(LeaveBox(box));  // continue: the worker thread ends, the program goes on
  ASSERT_TRUE(WaitUntil(
      [&] { return HoldsReport(program.Folder() + "/bugreport.txt", 1, kThrowTestFailure); }));

  std::filesystem::remove(program.Folder() + "/box.txt");
  program.Transform(program.FailingInput("segv"));
  box = NextBox(program, box);
  ASSERT_TRUE(box.Found());
  EXPECT_NE(program.BoxDescription().find("button: Anwendung fortsetzen (disabled)\n"),
            std::string::npos);
  Keys(box.id, "Escape");  // cannot continue: closes the application
  EXPECT_TRUE(Exited(program.WaitForEnd(), 1));
  const std::string report = program.ReportFile();
  EXPECT_EQ(Occurrences(report, "exception number"), 2u) << report.substr(0, 2000);
  EXPECT_TRUE(HoldsReport(program.Folder() + "/bugreport.txt", 2, kWriteThroughNull))
      << report.substr(0, 3000);
  EXPECT_NE(report.find("EAccessViolation"), std::string::npos);
}

struct WaitingCase {
  const char* second;  // the failure that comes while the first box is up
  bool can_continue;
  const char* raising;  // its raising function
};

class FailureWhileABoxIsUp : public ::testing::TestWithParam<WaitingCase> {};

TEST_P(FailureWhileABoxIsUp, WaitsAndGetsItsOwnBoxOnceTheFirstIsClosed) {
  const WaitingCase& c = GetParam();
  FailingProgram program(kWindowProgram);
  program.Start();
  program.Transform(program.FailingInput("throw"));
  const ShownWindow first = NextBox(program, {});
  ASSERT_TRUE(first.Found());
  // The window goes on working while the box is up: a second Transform fails too.
  program.Transform(program.FailingInput(c.second));
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_FALSE(first.Gone(std::chrono::milliseconds(100))) << "the first box stays";
  EXPECT_EQ(Command("xdotool search --onlyvisible --all --classname --name '^userdb' | wc -l"), "1")
      << "the second waits for the first";
  ASSERT_TRUE(LeaveBox(first));
  // The first one's report is saved once its box was left, before the second is handled.
  EXPECT_TRUE(WaitUntil(
      [&] { return HoldsReport(program.Folder() + "/bugreport.txt", 1, kThrowTestFailure); }));

  const ShownWindow second = NextBox(program, first);
  ASSERT_TRUE(second.Found());
  EXPECT_TRUE(program.Running());
  Keys(second.id, "Escape");
  if (c.can_continue) {
    ASSERT_TRUE(second.Gone(std::chrono::seconds(10)));
    EXPECT_TRUE(
        WaitUntil([&] { return HoldsReport(program.Folder() + "/bugreport.txt", 2, c.raising); }));
    EXPECT_TRUE(program.Running());
  } else {
    EXPECT_TRUE(Exited(program.WaitForEnd(), 1));
    EXPECT_TRUE(HoldsReport(program.Folder() + "/bugreport.txt", 2, c.raising));
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, FailureWhileABoxIsUp,
                         ::testing::Values(WaitingCase{"throw", true, kThrowTestFailure},
                                           WaitingCase{"worker-throw", true, kThrowTestFailure},
                                           WaitingCase{"segv", false, kWriteThroughNull}),
                         [](const auto& test_case) {
                           std::string name = test_case.param.second;
                           std::erase(name, '-');
                           return name;
                         });

}  // namespace

}  // namespace userdb::test_support
