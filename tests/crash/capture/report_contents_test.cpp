// What the reports of the real programs say, end to end: the failure hook makes userdb2csv
// fail on demand, and the tests read the report on standard error, in the bug report file or
// from the trace tool: a foreign exception's message, a signal that was sent, where a
// termination happened, a stack overflow, the instruction the disassembly marks, where a
// thread waiting in a system call stands, and the report on a terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/crash/capture/failing_program.h"
#include "tests/support/report_sections.h"
#include "tests/support/run_program.h"

namespace userdb::test_support {

namespace {

constexpr char kConsoleProgram[] = USERDB2CSV_PATH;
constexpr char kTraceTool[] = USERDB_TRACE_PATH;

std::vector<std::string> ConvertArguments(const std::string& input) {
  return {"--radio", "md2017", "--format", "compact", input};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return lines;
}

// The value of a header line of the (first) report in `text`.
std::string HeaderOf(const std::string& text, const std::string& name) {
  const std::regex line("(^|\n)" + name + " +: ([^\r\n]*)");
  std::smatch match;
  return std::regex_search(text, match, line) ? match[2].str() : std::string();
}

struct ThreadSection {
  std::string title;
  std::vector<std::string> lines;  // the stack's lines, the first one first
};

// The thread sections of the first report in `text`, in order: the sections after the header
// up to the first one that is not a thread's ("modules", "disassembling", ...).
std::vector<ThreadSection> ThreadSections(const std::string& text) {
  std::vector<ThreadSection> sections;
  size_t at = text.find("\r\n\r\n");
  while (at != std::string::npos) {
    const size_t end = text.find("\r\n\r\n", at + 4);
    std::vector<std::string> lines = Lines(text.substr(at + 4, end - (at + 4)));
    if (lines.empty() || !std::regex_search(lines[0], std::regex(R"(\(\$[0-9a-f]+\)|^thread \$)")))
      break;
    sections.push_back({lines[0], {lines.begin() + 1, lines.end()}});
    at = end;
  }
  return sections;
}

// The function a stack line names: its last column.
std::string FunctionOf(const std::string& line) {
  const size_t blank = line.rfind(' ');
  return blank == std::string::npos ? line : line.substr(blank + 1);
}

uintptr_t AddressOf(const std::string& line) {
  return static_cast<uintptr_t>(std::stoull(line.substr(0, 16), nullptr, 16));
}

// The line of the "disassembling" section that carries the mark.
std::string MarkedLine(const std::string& text) {
  for (const std::string& line : Lines(SectionOf(text, "disassembling:"))) {
    if (line.size() > 17 && line[17] == '>') return line;
  }
  return {};
}

// Runs userdb2csv on the failure and returns what it wrote to standard error once it ended.
std::string ConsoleReportOf(const std::string& failure, int* status = nullptr) {
  FailingProgram program(kConsoleProgram);
  program.Start(ConvertArguments(program.FailingInput(failure)));
  const auto ended = program.WaitForEnd(std::chrono::seconds(60));
  if (status != nullptr) *status = ended ? *ended : -1;
  return program.Errors();
}

// Starts userdb2csv on the input that makes it wait for a signal; tells whether it waits.
bool StartWaitingForASignal(FailingProgram& program) {
  const std::string input = program.FailingInput("await-signal");
  program.Start(ConvertArguments(input));
  const auto waiting_until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!std::filesystem::exists(input + ".waiting") &&
         std::chrono::steady_clock::now() < waiting_until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return std::filesystem::exists(input + ".waiting");
}

TEST(ReportContents, AForeignExceptionIsReportedWithItsWhatTextUnderItsOwnClass) {
  int status = 0;
  const std::string report = ConsoleReportOf("worker-foreign-throw", &status);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the worker's failure goes on";
  EXPECT_EQ(HeaderOf(report, "exception class"), "runtime_error") << report.substr(0, 3000);
  EXPECT_EQ(HeaderOf(report, "exception message"), "disk full.");
  const std::vector<ThreadSection> threads = ThreadSections(report);
  ASSERT_FALSE(threads.empty());
  ASSERT_FALSE(threads[0].lines.empty());
  EXPECT_EQ(FunctionOf(threads[0].lines[0]), "userdb.test_hook.ThrowForeignException");
}

TEST(ReportContents, ASignalThatAnotherProcessSentIsReportedAsSentWithItsSender) {
  FailingProgram program(kConsoleProgram);
  ASSERT_TRUE(StartWaitingForASignal(program));
  ASSERT_EQ(kill(program.Pid(), SIGSEGV), 0);
  const auto status = program.WaitForEnd(std::chrono::seconds(60));
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1);
  const std::string report = program.Errors();
  EXPECT_EQ(HeaderOf(report, "exception class"), "ESentSignal") << report.substr(0, 3000);
  // Where it was received is the waiting call, in the C library.
  EXPECT_TRUE(std::regex_match(
      HeaderOf(report, "exception message"),
      std::regex("Signal SIGSEGV, von Prozess " + std::to_string(getpid()) +
                 " gesendet, empfangen bei Adresse [0-9a-f]{16} in Modul 'libc\\.so\\.6'\\.")))
      << HeaderOf(report, "exception message");
  EXPECT_EQ(report.find("Zugriffsverletzung"), std::string::npos);
  EXPECT_EQ(report.find("Lesen von Adresse"), std::string::npos);
  const std::vector<ThreadSection> threads = ThreadSections(report);
  ASSERT_FALSE(threads.empty());
  bool waiting_named = false;
  for (const std::string& line : threads[0].lines)
    waiting_named = waiting_named || FunctionOf(line) == "userdb.test_hook.AwaitSignal";
  EXPECT_TRUE(waiting_named) << report.substr(0, 3000);
}

TEST(ReportContents, ATerminationStartsWithTheFunctionThatCalledIt) {
  const std::string report = ConsoleReportOf("terminate");
  const std::vector<ThreadSection> threads = ThreadSections(report);
  ASSERT_FALSE(threads.empty()) << report.substr(0, 3000);
  ASSERT_FALSE(threads[0].lines.empty());
  EXPECT_EQ(FunctionOf(threads[0].lines[0]), "userdb.test_hook.TerminateHere")
      << report.substr(0, 3000);
  for (const std::string& line : threads[0].lines) {
    EXPECT_EQ(line.find("userdb.crash."), line.find("userdb.crash.CrashReporter.RunMain"))
        << "no frame of the crash reporter's own but the program's main: " << line;
  }
  EXPECT_NE(MarkedLine(report).find("call std.terminate"), std::string::npos)
      << SectionOf(report, "disassembling:");
}

struct OverflowCase {
  const char* failure;
  const char* caller;   // what called the recursion (the start of its name)
  const char* outmost;  // the stack's last line: the thread's creation or the program's start
  bool created;         // a thread of the captured creation: its creator precedes its creation
};

class StackOverflows : public ::testing::TestWithParam<OverflowCase> {};

TEST_P(StackOverflows, AreShownAsSuchWithTheStackFromTheFaultToTheThreadsStart) {
  const OverflowCase& c = GetParam();
  const std::string report = ConsoleReportOf(c.failure);
  EXPECT_EQ(HeaderOf(report, "exception class"), "EStackOverflow") << report.substr(0, 3000);
  const std::string message = HeaderOf(report, "exception message");
  EXPECT_TRUE(std::regex_match(
      message, std::regex("Stack-.+berlauf bei Adresse [0-9a-f]{16} in Modul "
                          "'libuserdb_failure_hook\\.so'\\. Schreiben von Adresse [0-9a-f]{16} im "
                          "Schutzbereich unter dem Stack\\.")))
      << message;
  const std::vector<ThreadSection> threads = ThreadSections(report);
  ASSERT_FALSE(threads.empty());
  const std::vector<std::string>& stack = threads[0].lines;
  // The recursion once (where it faulted, and its call of itself), then the way out to the
  // thread's start.
  std::vector<std::string> functions;
  for (const std::string& line : stack) {
    const std::string function = FunctionOf(line);
    if (functions.empty() || functions.back() != function) functions.push_back(function);
  }
  ASSERT_GE(functions.size(), 4u) << report.substr(0, 3000);
  EXPECT_EQ(functions[0], "userdb.test_hook.RecurseForever");
  EXPECT_TRUE(functions[1].starts_with(c.caller)) << report.substr(0, 3000);
  size_t recursions = 0;
  for (const std::string& line : stack) recursions += FunctionOf(line) == functions[0];
  EXPECT_LE(recursions, 2u) << "repeats shown once";
  EXPECT_EQ(FunctionOf(stack.back()), c.outmost);
  if (c.created) {
    EXPECT_EQ(stack[stack.size() - 2],
              ">> created by main thread (" + HeaderOf(report, "process id") + ") at:");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Threads, StackOverflows,
    ::testing::Values(
        OverflowCase{"worker-overflow", "userdb.test_hook.OverflowingWorker",
                     "userdb.test_hook.RunWorker", true},
        // The main thread's stack grows until its limit, with the kernel's gap below it.
        // The hook's function that started it: how it calls the recursion is the compiler's.
        OverflowCase{"overflow", "userdb.test_hook.Fail", "_start", false}),
    [](const auto& test_case) {
      std::string name = test_case.param.failure;
      std::erase(name, '-');
      return name;
    });

struct MarkCase {
  const char* failure;
  const char* marked;  // what the marked instruction holds
};

class DisassemblyMarks : public ::testing::TestWithParam<MarkCase> {};

TEST_P(DisassemblyMarks, StandOnTheInstructionThatFailed) {
  const MarkCase& c = GetParam();
  const std::string report = ConsoleReportOf(c.failure);
  const std::string marked = MarkedLine(report);
  ASSERT_FALSE(marked.empty()) << SectionOf(report, "disassembling:");
  EXPECT_NE(marked.find(c.marked), std::string::npos) << SectionOf(report, "disassembling:");
  const std::vector<ThreadSection> threads = ThreadSections(report);
  ASSERT_FALSE(threads.empty());
  ASSERT_FALSE(threads[0].lines.empty());
  // The first stack line shows where the failure happened: the same instruction.
  EXPECT_EQ(AddressOf(marked), AddressOf(threads[0].lines[0]));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, DisassemblyMarks,
    ::testing::Values(MarkCase{"fpe", " idiv "},
                      MarkCase{"segv", " mov dword ptr [0x0000000000000000]"},
                      MarkCase{"worker-overflow", " mov "},
                      // A throw's address is the return address of its call: the call is marked.
                      MarkCase{"worker-foreign-throw", " call __cxa_throw"}),
    [](const auto& test_case) {
      std::string name = test_case.param.failure;
      std::erase(name, '-');
      return name;
    });

// The bytes of the running process `pid` at `address`; empty when they cannot be read.
std::string MemoryOf(pid_t pid, uintptr_t address, size_t length) {
  const int memory = open(("/proc/" + std::to_string(pid) + "/mem").c_str(), O_RDONLY);
  if (memory < 0) return {};
  std::string bytes(length, '\0');
  const ssize_t got = pread(memory, bytes.data(), length, static_cast<off_t>(address));
  close(memory);
  return got == static_cast<ssize_t>(length) ? bytes : std::string();
}

TEST(ReportContents, AThreadWaitingInASystemCallStandsRightAfterItsSyscallInstruction) {
  FailingProgram program(kConsoleProgram);
  ASSERT_TRUE(StartWaitingForASignal(program));
  const std::string syscall_instruction = "\x0f\x05";
  // The second and third request too: each stops the threads in their calls again.
  for (int request = 0; request < 3; ++request) {
    const ProgramResult traced = RunProgram({kTraceTool, std::to_string(program.Pid())});
    ASSERT_EQ(traced.exit_code, 0) << traced.err;
    const std::vector<ThreadSection> threads = ThreadSections(traced.out);
    ASSERT_GE(threads.size(), 2u) << traced.out.substr(0, 3000);
    bool reader_seen = false;
    for (const ThreadSection& thread : threads) {
      ASSERT_FALSE(thread.lines.empty()) << thread.title;
      ASSERT_TRUE(std::regex_search(thread.lines[0], std::regex("^[0-9a-f]{16} ")))
          << thread.title << ": " << thread.lines[0];
      const uintptr_t first = AddressOf(thread.lines[0]);
      EXPECT_NE(MemoryOf(program.Pid(), first, 2), syscall_instruction)
          << thread.title << " stands on its syscall instruction: " << thread.lines[0];
      // The handling thread waits for work in read(), which the kernel restarts.
      if (thread.title.starts_with("HandleExceptionThread")) {
        reader_seen = true;
        EXPECT_EQ(MemoryOf(program.Pid(), first - 2, 2), syscall_instruction) << thread.lines[0];
      }
    }
    EXPECT_TRUE(reader_seen) << traced.out.substr(0, 3000);
  }
}

// A terminal as a user sees it: carriage returns, line feeds and the erasing of a line's
// rest; tells what the line shows on which `position` of `shown` begins.
std::string LineShownBefore(const std::string& shown, size_t position) {
  std::string line;
  size_t column = 0;
  for (size_t i = 0; i < position; ++i) {
    const char c = shown[i];
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      line.clear();
      column = 0;
    } else if (shown.compare(i, 3, "\033[K") == 0) {
      line.resize(std::min(line.size(), column));
      i += 2;
    } else if (column < line.size()) {
      line[column++] = c;
    } else {
      line += c;
      ++column;
    }
  }
  return line;
}

TEST(ReportContents, AReportOnATerminalStartsOnALineOfItsOwnAndItsLinesEndInCrLf) {
  FailingProgram program(kConsoleProgram);
  const std::vector<std::string> arguments =
      ConvertArguments(program.FailingInput("progress-worker-throw"));
  const std::string executable = program.Folder() + "/userdb2csv";
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    setenv("XDG_CONFIG_HOME", (program.Folder() + "/config").c_str(), 1);
    setenv("LD_PRELOAD", USERDB_FAILURE_HOOK, 1);
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    std::vector<char*> argv{const_cast<char*>(executable.c_str())};
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(executable.c_str(), argv.data());
    _exit(127);
  }
  ASSERT_GT(child, 0);
  // Read while it runs: a terminal that nobody reads stops its writers.
  std::string shown;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (;;) {
    pollfd ready{terminal, POLLIN, 0};
    if (std::chrono::steady_clock::now() > end || poll(&ready, 1, 200) < 0) break;
    if (ready.revents == 0) continue;
    char buffer[4096];
    const ssize_t got = read(terminal, buffer, sizeof buffer);
    if (got <= 0) break;  // the program and everything it started closed the terminal
    shown.append(buffer, static_cast<size_t>(got));
  }
  close(terminal);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the worker's failure goes on";

  const size_t message = shown.find("In der Anwendung trat ein Fehler auf");
  ASSERT_NE(message, std::string::npos) << shown.substr(0, 2000);
  ASSERT_NE(shown.rfind("Converting:", message), std::string::npos)
      << "the progress line was shown before the failure";
  EXPECT_EQ(LineShownBefore(shown, message), "") << shown.substr(0, message + 40);
  EXPECT_EQ(shown.find("\r\r\n"), std::string::npos);
  EXPECT_NE(shown.find("\r\nexception class"), std::string::npos);
  EXPECT_NE(shown.find("=====> Done <======", message), std::string::npos);
}

}  // namespace

}  // namespace userdb::test_support
