// Fatal faults of the real userdb2csv that the handling meets on a bad day, end to end (the
// failure hook preloaded): a fault while the thread holds a lock that the handling needs, a
// fault in a worker thread while the conversion goes on, and several faults at once. Nothing
// is ever lost or called success: each ends with the fault's status and its report saved.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <regex>

#include "tests/crash/capture/failing_program.h"
#include "tests/crash/capture/report_reading.h"

namespace userdb::test_support {

namespace {

constexpr char kProgram[] = USERDB2CSV_PATH;
constexpr char kEmergencyNote[] =
    "saved by the signal handler: the handling made no progress for 15 seconds";

std::optional<int> RunFailing(FailingProgram& program, const std::string& failure,
                              std::chrono::seconds limit = std::chrono::seconds(90)) {
  program.Start({"--radio", "md2017", "--format", "compact", program.FailingInput(failure)});
  return program.WaitForEnd(limit);
}

// Whether a line of the stack names `function` in `module`, with its address and offset.
bool HasFrame(const std::vector<std::string>& section, const std::string& module,
              const std::string& function) {
  const std::regex frame("^[0-9a-f]{16} \\+[0-9a-f]+ " + module + " .*" + function + ".*$");
  for (size_t i = 2; i < section.size(); ++i) {
    if (std::regex_match(section[i], frame)) return true;
  }
  return false;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

struct LockedFault {
  const char* failure;
  const char* faulting_function;  // as the library's exports name it
  bool in_worker;
};

class LockedFaults : public ::testing::TestWithParam<LockedFault> {};

// The allocator's and the loader's lock stay held: the handling cannot go on, and after 15
// seconds without progress the fault's handler saves the report itself, with the stacks
// traced from every thread's registers and named from the program's packed symbols.
TEST_P(LockedFaults, TheSignalHandlerSavesTheReportAndTheProcessEndsByTheSignal) {
  const LockedFault& c = GetParam();
  FailingProgram program(kProgram);
  const auto start = std::chrono::steady_clock::now();
  const auto status = RunFailing(program, c.failure);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  EXPECT_TRUE(Killed(status, SIGSEGV)) << (status ? *status : -1);

  const std::vector<std::string> reports = ReportsIn(program.ReportFile());
  ASSERT_EQ(reports.size(), 1u) << program.ReportFile();
  const std::string& report = reports.front();
  EXPECT_TRUE(report.ends_with("\r\n\r\n"));
  EXPECT_EQ(HeaderValueOf(report, "emergency report"), kEmergencyNote);
  EXPECT_EQ(HeaderValueOf(report, "exception number"), "1");
  EXPECT_EQ(HeaderValueOf(report, "exception class"), "EAccessViolation");
  EXPECT_TRUE(std::regex_match(HeaderValueOf(report, "exception message"),
                               std::regex("Zugriffsverletzung bei Adresse [0-9a-f]{16} in Modul "
                                          "'libuserdb_failure_hook.so'\\. Schreiben von Adresse "
                                          "0000000000000000\\.")))
      << HeaderValueOf(report, "exception message");
  EXPECT_EQ(
      HeaderValueOf(report, "process id"), "$" + [&] {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(program.Pid()));
        return std::string(hex);
      }());

  const auto threads = ThreadSectionsOf(report);
  ASSERT_GE(threads.size(), 2u) << report;
  // The faulting thread first: where it faulted, and the calls that led there, from the
  // conversion's reading of its input in the program down to the hook's function.
  const std::vector<std::string>& faulting = threads.front();
  ASSERT_GE(faulting.size(), 3u) << report;
  EXPECT_NE(faulting[1].find(c.faulting_function), std::string::npos) << Joined(faulting);
  EXPECT_TRUE(HasFrame(faulting, "libuserdb_failure_hook\\.so", c.faulting_function))
      << Joined(faulting);
  if (!c.in_worker) {
    EXPECT_TRUE(faulting.front().starts_with("main thread ($")) << faulting.front();
    EXPECT_TRUE(HasFrame(faulting, "userdb2csv", "RunUserdb2csv")) << Joined(faulting);
  } else {
    EXPECT_TRUE(faulting.front().starts_with("thread $")) << faulting.front();
    // The main thread went on with the conversion meanwhile; its stack is there too.
    EXPECT_TRUE(threads[1].front().starts_with("main thread ($")) << report;
    EXPECT_TRUE(HasFrame(threads[1], "userdb2csv", "main")) << Joined(threads[1]);
  }
  // The crash reporter's stuck handling thread is shown, under its name.
  bool handling_shown = false;
  for (const auto& thread : threads) {
    handling_shown = handling_shown || thread.front().starts_with("HandleExceptionThread ($");
  }
  EXPECT_TRUE(handling_shown) << report;
  EXPECT_NE(report.find("\r\n\r\nmodules:\r\n"), std::string::npos);
  EXPECT_NE(report.find(" userdb2csv "), std::string::npos);

  // The same on standard error, with line feeds.
  const std::string errors = program.Errors();
  const std::vector<std::string> shown = ReportsIn(errors);
  ASSERT_EQ(shown.size(), 1u) << errors;
  EXPECT_EQ(HeaderValueOf(shown.front(), "exception class"), "EAccessViolation");
  EXPECT_EQ(shown.front().find('\r'), std::string::npos);
  EXPECT_NE(errors.find("\n" + faulting[1] + "\n"), std::string::npos) << errors;
}

INSTANTIATE_TEST_SUITE_P(
    Locks, LockedFaults,
    ::testing::Values(LockedFault{"locked-allocator", "EnterAllocator", false},
                      LockedFault{"locked-loader", "WriteThroughNull", false},
                      LockedFault{"worker-locked-allocator", "EnterAllocator", true},
                      LockedFault{"worker-locked-loader", "WriteThroughNull", true}),
    [](const auto& test_case) {
      std::string name = test_case.param.failure;
      std::erase(name, '-');
      return name;
    });

// Standard error's lock needs no waiting: the report goes to the stream's descriptor, and the
// fault is handled as any other, with its complete report.
TEST(StandardErrorLocked, TheFaultIsHandledAndReportedAsAnyOther) {
  for (const char* failure : {"locked-stderr", "worker-locked-stderr"}) {
    SCOPED_TRACE(failure);
    FailingProgram program(kProgram);
    EXPECT_TRUE(Exited(RunFailing(program, failure), 1));
    const std::vector<std::string> reports = ReportsIn(program.ReportFile());
    ASSERT_EQ(reports.size(), 1u) << program.ReportFile();
    EXPECT_EQ(HeaderValueOf(reports.front(), "emergency report"), "");
    EXPECT_EQ(HeaderValueOf(reports.front(), "exception class"), "EAccessViolation");
    const auto threads = ThreadSectionsOf(reports.front());
    ASSERT_FALSE(threads.empty());
    ASSERT_GE(threads.front().size(), 2u);
    EXPECT_NE(threads.front()[1].find("WriteThroughNull"), std::string::npos)
        << Joined(threads.front());
    const std::string errors = program.Errors();
    EXPECT_NE(errors.find("In der Anwendung trat ein Fehler auf"), std::string::npos) << errors;
    EXPECT_NE(errors.find("exception class"), std::string::npos) << errors;
  }
}

// The conversion of the main thread finishes while a worker's fault is handled: the process
// still ends with the fault's status, never with 0.
TEST(WorkerFaults, TheProcessNeverEndsWithZeroWhileAFaultIsHandled) {
  FailingProgram program(kProgram);
  const auto status = RunFailing(program, "worker-locked-loader");
  EXPECT_TRUE(Killed(status, SIGSEGV)) << (status ? *status : -1);
  EXPECT_FALSE(Exited(status, 0));
  EXPECT_EQ(ReportsIn(program.ReportFile()).size(), 1u);
}

// Two threads that fault: each fault gets its own report before the process ends. In every
// report the other faulting thread shows where it was, never the crash reporter's waiting: in
// the second report (made after both faulted) where it faulted.
void ExpectTwoReportsOfTheirOwn(FailingProgram& program, bool in_order) {
  const std::vector<std::string> reports = ReportsIn(program.ReportFile());
  ASSERT_EQ(reports.size(), 2u) << program.ReportFile();
  std::vector<std::string> classes;
  for (const std::string& report : reports) {
    const bool second = &report == &reports.back();
    classes.push_back(HeaderValueOf(report, "exception class"));
    const auto threads = ThreadSectionsOf(report);
    ASSERT_GE(threads.size(), 2u) << report;
    const bool segv = classes.back() == "EAccessViolation";
    ASSERT_GE(threads.front().size(), 2u);
    EXPECT_NE(threads.front()[1].find(segv ? "WriteThroughNull" : "DivideByZero"),
              std::string::npos)
        << Joined(threads.front());
    for (const auto& thread : threads) {
      const std::string text = Joined(thread);
      for (const char* own : {"AwaitAnswer", "OnFatalSignal", "FatalSignalCapture"}) {
        EXPECT_EQ(text.find(own), std::string::npos) << text;
      }
    }
    // The other faulting thread, at its own fault, where the report was made after it.
    bool other_shown = false;
    for (size_t i = 1; i < threads.size(); ++i) {
      other_shown =
          other_shown ||
          (threads[i].size() >= 2 &&
           threads[i][1].find(segv ? "DivideByZero" : "WriteThroughNull") != std::string::npos);
    }
    if (second) {
      EXPECT_TRUE(other_shown) << report;
    }
  }
  EXPECT_EQ(HeaderValueOf(reports[0], "exception number"), "1");
  EXPECT_EQ(HeaderValueOf(reports[1], "exception number"), "2");
  if (in_order) {
    EXPECT_EQ(classes, (std::vector<std::string>{"EAccessViolation", "EDivByZero"}));
  } else {
    std::sort(classes.begin(), classes.end());
    EXPECT_EQ(classes, (std::vector<std::string>{"EAccessViolation", "EDivByZero"}));
  }
  EXPECT_EQ(ReportsIn(program.Errors()).size(), 2u) << program.Errors();
}

TEST(SeveralFaults, TwoAtTheSameMomentGetAReportEach) {
  FailingProgram program(kProgram);
  EXPECT_TRUE(Exited(RunFailing(program, "two-faults"), 1));
  ExpectTwoReportsOfTheirOwn(program, false);
}

TEST(SeveralFaults, ASecondFaultDuringTheHandlingGetsAReportOfItsOwn) {
  FailingProgram program(kProgram);
  EXPECT_TRUE(Exited(RunFailing(program, "late-fault"), 1));
  ExpectTwoReportsOfTheirOwn(program, true);
}

}  // namespace

}  // namespace userdb::test_support
