// userdb-trace against running programs: one of ours with named workers, and others.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "crash/report/report_header.h"
#include "tests/support/report_sections.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {

namespace {

constexpr char kTool[] = USERDB_TRACE_PATH;
constexpr char kTracedProgram[] = TRACED_PROGRAM_PATH;

// Whether every thread of the process sleeps in a system call, its main thread in poll(): the
// traced program says "ready" just before its main thread goes to that wait, and on a busy
// machine a trace taken at once may find it still writing the word.
bool EveryThreadWaits(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(tasks, error)) {
    std::ifstream file(entry.path() / "syscall");
    long number = -1;  // the file says "running" for a thread that is not in a system call
    if (!(file >> number) || number < 0) return false;
    if (entry.path().filename() == std::to_string(pid) && number != SYS_poll) return false;
  }
  return !error;
}

// A running program whose standard input we hold: it ends when we close it.
class RunningProgram {
 public:
  explicit RunningProgram(const std::vector<std::string>& arguments, bool wait_for_ready) {
    int input[2], output[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(input[0], 0);
      dup2(output[1], 1);
      std::vector<char*> argv;
      for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(input[0]);
    close(output[1]);
    input_ = input[1];
    output_ = output[0];
    if (wait_for_ready) {
      char buffer[16] = {};
      const ssize_t got = read(output_, buffer, sizeof buffer - 1);
      ready_ = got > 0 && std::string_view(buffer).starts_with("ready") && AllWaitSoon();
    }
  }
  ~RunningProgram() {
    close(input_);
    close(output_);
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  pid_t Pid() const { return pid_; }
  bool Ready() const { return ready_; }
  bool Alive() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

 private:
  bool AllWaitSoon() const {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!EveryThreadWaits(pid_)) {
      if (std::chrono::steady_clock::now() > limit) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  bool ready_ = false;
};

test_support::ProgramResult Trace(pid_t pid, const std::string& max_length = "") {
  std::vector<std::string> arguments = {kTool, std::to_string(pid)};
  if (!max_length.empty()) arguments.push_back(max_length);
  return test_support::RunProgram(arguments);
}

std::string Hex(pid_t id) {
  std::ostringstream text;
  text << std::hex << id;
  return text.str();
}

using test_support::SectionOf;

std::vector<pid_t> ThreadsOf(pid_t pid) {
  std::vector<pid_t> threads;
  for (const auto& entry :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
    threads.push_back(static_cast<pid_t>(std::stol(entry.path().filename().string())));
  }
  return threads;
}

class TraceTool : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(program_.Ready()); }
  RunningProgram program_{{kTracedProgram}, true};
};

TEST_F(TraceTool, PrintsTheCompleteReportOfARunningProgram) {
  const auto result = Trace(program_.Pid());
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.err, "");
  ASSERT_TRUE(result.out.ends_with("\r\n"));
  const std::string report = result.out.substr(0, result.out.size() - 2);
  EXPECT_TRUE(report.starts_with("date/time "));
  EXPECT_EQ(ReadHeaderValue(report, "exception message"), "Die Anwendung reagiert nicht mehr");
  EXPECT_EQ(ReadHeaderValue(report, "process id"), "$" + Hex(program_.Pid()));
  EXPECT_TRUE(std::regex_match(std::string(ReadHeaderValue(report, "callstack crc").value_or("")),
                               std::regex(R"(\$[0-9a-f]{8}, \$[0-9a-f]{8}, \$[0-9a-f]{8})")));
  EXPECT_EQ(report.find("will be calculated soon"), std::string::npos);

  // Every thread but the one that answered the request.
  size_t listed = 0;
  for (const pid_t thread : ThreadsOf(program_.Pid())) {
    if (report.find("($" + Hex(thread) + "):") != std::string::npos ||
        report.find("thread $" + Hex(thread) + ":") != std::string::npos) {
      ++listed;
    }
  }
  EXPECT_EQ(listed, ThreadsOf(program_.Pid()).size() - 1) << report.substr(0, 4000);
  EXPECT_TRUE(report.find("\r\n\r\nmain thread ($" + Hex(program_.Pid()) +
                          "):" + test_support::PriorityMark() + "\r\n") != std::string::npos);
  EXPECT_NE(report.find("\r\n\r\nconversion worker ($"), std::string::npos);
  EXPECT_NE(report.find("\r\n\r\nfile reader ($"), std::string::npos);
  for (const char* section : {"modules", "processes"}) {
    EXPECT_FALSE(SectionOf(report, std::string(section) + ":").empty()) << section;
  }
  const bool has_pci = std::filesystem::exists("/sys/bus/pci/devices") &&
                       !std::filesystem::is_empty("/sys/bus/pci/devices");
  EXPECT_EQ(!SectionOf(report, "hardware:").empty(), has_pci);
}

TEST_F(TraceTool, NamesTheCodeThatCreatedEachWorker) {
  const std::string report = Trace(program_.Pid()).out;
  const std::regex created(
      ">> created by main thread \\(\\$" + Hex(program_.Pid()) +
      "\\) at:\r\n[0-9a-f]{16} \\+[0-9a-f]+ +traced_program +traced_program\\.cpp +\\d+ +\\+\\d+ "
      "userdb\\.test_support\\.\\(anonymous namespace\\)\\.StartWorkers");
  const auto matches = std::distance(std::sregex_iterator(report.begin(), report.end(), created),
                                     std::sregex_iterator());
  EXPECT_EQ(matches, 5) << report.substr(0, 4000);
}

// The section whose title starts with `title_start`; empty when there is none.
std::string SectionStartingWith(const std::string& report, const std::string& title_start) {
  const size_t title = report.find("\r\n\r\n" + title_start);
  if (title == std::string::npos) return {};
  const size_t start = report.find("\r\n", title + 4) + 2;
  return report.substr(start, report.find("\r\n\r\n", start) - start);
}

TEST_F(TraceTool, ShowsEachThreadWaitingInAFunctionOfItsOwn) {
  const std::string report = Trace(program_.Pid()).out;
  const std::string in_libc = "^[0-9a-f]{16} \\+[0-9a-f]+ +libc\\.so\\.6 ";
  const std::string ours =
      "\r\n[0-9a-f]{16} \\+[0-9a-f]+ +traced_program +traced_program\\.cpp +\\d+ +\\+\\d+ ";
  const std::string test_support = "userdb\\.test_support\\.\\(anonymous namespace\\)\\.";
  const struct {
    std::string title_start;
    std::string function;
  } cases[] = {
      {"main thread ($" + Hex(program_.Pid()) + "):", "main"},
      {"conversion worker ($", test_support + "WaitForWork"},
      {"file reader ($", test_support + "ReadUntilClosed"},
      {"thread $", test_support + "SleepUntilStopped"},
  };
  for (const auto& c : cases) {
    const std::string section = SectionStartingWith(report, c.title_start);
    EXPECT_TRUE(std::regex_search(section, std::regex(in_libc))) << section;
    EXPECT_TRUE(std::regex_search(section, std::regex(ours + c.function + "\r\n")))
        << c.function << "\n"
        << section;
  }
  // Down to the start of the program and of each thread.
  EXPECT_TRUE(std::regex_search(SectionStartingWith(report, "main thread ("),
                                std::regex("__libc_start_main\r\n")));
  EXPECT_TRUE(std::regex_search(SectionStartingWith(report, "file reader ("),
                                std::regex(" start_thread\r\n")));
}

// The request's signal goes to the process; it is taken on the crash reporter's own thread, so
// that the main thread's wait goes on undisturbed until the report takes its registers.
TEST_F(TraceTool, TheRequestLeavesTheMainThreadInItsWaitUntilItsRegistersAreTaken) {
  const std::string main_thread =
      SectionStartingWith(Trace(program_.Pid()).out, "main thread ($" + Hex(program_.Pid()) + "):");
  EXPECT_NE(main_thread.find(".WaitForInput\r\n"), std::string::npos) << main_thread;
  EXPECT_EQ(main_thread.find("WaitAfterAnInterruption"), std::string::npos) << main_thread;
}

// On a machine without the C library's separate debug file, the library names only what it
// exports. Its other functions' frames (the thread's start and the clone below it) stay in
// the stack with their module and address, and no frame takes a name that is not its own.
TEST(TraceToolWithoutDebugFiles, ShowsTheLibrarysUnnamedFramesByModuleAndAddress) {
  test_support::TempFolder no_debug_files;
  RunningProgram program({kTracedProgram, "--debug-root", no_debug_files.Path()}, true);
  ASSERT_TRUE(program.Ready());
  const std::string report = Trace(program.Pid()).out;
  const std::string reader = SectionStartingWith(report, "file reader (");
  EXPECT_TRUE(std::regex_search(
      reader, std::regex("^[0-9a-f]{16} \\+[0-9a-f]+ +libc\\.so\\.6 +[_a-z]*read\r\n")))
      << reader;
  EXPECT_TRUE(std::regex_search(
      reader,
      std::regex("\r\n[0-9a-f]{16} \\+[0-9a-f]+ +traced_program +traced_program\\.cpp +\\d+ "
                 "+\\+\\d+ userdb\\.test_support\\.\\(anonymous namespace\\)\\."
                 "ReadUntilClosed\r\n")))
      << reader;
  // The thread's start and the clone below it, right before the creating code, each at its
  // offset from the start that the unwind tables give its function.
  EXPECT_TRUE(std::regex_search(
      reader, std::regex("(\r\n[0-9a-f]{16} \\+[0-9a-f]+ +libc\\.so\\.6){2}\r\n>> created by ")))
      << reader;
  EXPECT_EQ(report.find(" start_thread\r\n"), std::string::npos) << reader;
  EXPECT_EQ(report.find("pthread_create.c"), std::string::npos) << reader;
}

// The relay waiter's stack, called back through two functions of the relay library stripped to
// its exports: they keep their frames, shown by module and offset.
const std::regex& StrippedRelayChain() {
  static const std::string unnamed = "[0-9a-f]{16} \\+[0-9a-f]+ +libstacktest_relay\\.so\r\n";
  static const std::regex chain(
      "\\.WaitForWork\r\n" + unnamed + unnamed +
      "[0-9a-f]{16} \\+[0-9a-f]+ +libstacktest_relay\\.so +relay_caller\r\n");
  return chain;
}

// The tail call waiter's stack, through the relay library with its symbols: relay_entry handed
// on by a tail call and left no return address, yet it keeps its frame.
const std::regex& RelayChainWithSymbols() {
  static const std::regex chain = [] {
    std::string text = "\\.WaitForWork\r\n";
    for (const char* name :
         {"relay_hidden_callee", "relay_hidden", "relay_entry", "relay_caller"}) {
      text += "[0-9a-f]{16} \\+[0-9a-f]+ +libstacktest_relay_symbols\\.so [^\r]* " +
              std::string(name) + "\r\n";
    }
    return std::regex(text);
  }();
  return chain;
}

TEST_F(TraceTool, ShowsTheFramesOfFunctionsThatNoSymbolNames) {
  const std::string section = SectionStartingWith(Trace(program_.Pid()).out, "relay waiter ($");
  EXPECT_TRUE(std::regex_search(section, StrippedRelayChain())) << section;
}

TEST_F(TraceTool, ShowsTheFrameOfAFunctionThatEndedInATailCall) {
  const std::string section = SectionStartingWith(Trace(program_.Pid()).out, "tail call waiter ($");
  EXPECT_TRUE(std::regex_search(section, RelayChainWithSymbols())) << section;
}

// What the first trace of a process learnt of the code (its analysed functions, approved or
// not) serves the later ones: the tenth request shows the frames the first showed.
TEST_F(TraceTool, LaterRequestsShowTheSameFrames) {
  for (int request = 1; request <= 10; ++request) {
    const std::string report = Trace(program_.Pid()).out;
    const std::string stripped = SectionStartingWith(report, "relay waiter ($");
    const std::string with_symbols = SectionStartingWith(report, "tail call waiter ($");
    ASSERT_TRUE(std::regex_search(stripped, StrippedRelayChain())) << request << "\n" << stripped;
    ASSERT_TRUE(std::regex_search(with_symbols, RelayChainWithSymbols())) << request << "\n"
                                                                          << with_symbols;
  }
}

TEST_F(TraceTool, ModulesAndProcessesMatchProc) {
  const std::string report = Trace(program_.Pid()).out;
  const std::string modules = SectionOf(report, "modules:");
  // Each module line: address, file name, version (when known), folder.
  std::set<std::string> listed;
  std::istringstream module_lines(modules);
  for (std::string line; std::getline(module_lines, line);) {
    std::istringstream fields(line);
    std::string address, name, field, folder;
    fields >> address >> name;
    while (fields >> field) folder = field;
    listed.insert(std::filesystem::canonical(folder + "/" + name).string());
  }
  std::ifstream maps("/proc/" + std::to_string(program_.Pid()) + "/maps");
  for (std::string line; std::getline(maps, line);) {
    std::istringstream fields(line);
    std::string range, permissions, offset, device, inode, path;
    fields >> range >> permissions >> offset >> device >> inode >> path;
    if (permissions.find('x') == std::string::npos || !path.starts_with("/")) continue;
    EXPECT_TRUE(listed.contains(std::filesystem::canonical(path).string())) << path;
  }
  EXPECT_TRUE(
      std::regex_search(modules, std::regex("[0-9a-f]{16} traced_program +1\\.0\\.1\\.16 ")))
      << modules.substr(0, 500);
  EXPECT_TRUE(std::regex_search(modules, std::regex(R"([0-9a-f]{16} libc\.so\.6 +\d+(\.\d+)* )")));

  const std::string processes = SectionOf(report, "processes:");
  const std::string folder = std::filesystem::path(kTracedProgram).parent_path().string();
  // The program runs at this test's priority, whatever that is: its class is this test's own.
  const std::string session_and_class = " +(?:\\d+ +)?([a-z ]+?) +";
  std::smatch traced, own;
  ASSERT_TRUE(std::regex_search(processes, traced,
                                std::regex("(^|\n)0*" + Hex(program_.Pid()) + " traced_program" +
                                           session_and_class + folder + "\r")))
      << processes.substr(0, 2000);
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  ASSERT_TRUE(
      std::regex_search(processes, own,
                        std::regex("(^|\n)0*" + Hex(getpid()) + " " + self.filename().string() +
                                   session_and_class + self.parent_path().string() + "\r")))
      << processes.substr(0, 2000);
  EXPECT_EQ(traced[2], own[2]);
  if (test_support::PriorityMark().empty()) {
    EXPECT_EQ(traced[2], "normal");
  }
}

TEST_F(TraceTool, CutsTheReportToTheMaximumLengthLessOne) {
  const auto result = Trace(program_.Pid(), "100");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out.size(), 99u + 2u);
  EXPECT_TRUE(result.out.starts_with("date/time"));
}

TEST_F(TraceTool, AProgramWithoutWindowHasNoClipboard) {
  const auto result = Trace(program_.Pid(), "0");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "userdb-trace: process " + std::to_string(program_.Pid()) +
                            " has no clipboard (it has no window)\n");
}

TEST_F(TraceTool, TwoRequestsAtOnceAreBothAnswered) {
  test_support::ProgramResult first, second;
  std::thread other([&] { second = Trace(program_.Pid()); });
  first = Trace(program_.Pid());
  other.join();
  // One after the other: the second waits until the first's memory is gone.
  EXPECT_EQ(first.exit_code, 0) << first.err;
  EXPECT_EQ(second.exit_code, 0) << second.err;
  EXPECT_TRUE(first.out.starts_with("date/time"));
  EXPECT_TRUE(second.out.starts_with("date/time"));
  EXPECT_TRUE(program_.Alive());
}

TEST(TraceToolRefusals, AProgramWithoutCrashReporterIsLeftAlone) {
  RunningProgram other({"/bin/sleep", "30"}, false);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto result = Trace(other.Pid());
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "userdb-trace: process " + std::to_string(other.Pid()) +
                            " carries no crash reporter: it is no program of ours, or too old\n");
  EXPECT_TRUE(other.Alive()) << "the request was never sent";
}

TEST(TraceToolRefusals, BadArgumentsAndMissingProcesses) {
  const struct {
    std::vector<std::string> arguments;
    int exit_code;
    const char* error_start;
  } cases[] = {
      {{kTool}, 2, "usage: userdb-trace PID [MAX_LENGTH]"},
      {{kTool, "12x"}, 2, "userdb-trace: not a process id: 12x"},
      {{kTool, "0"}, 2, "userdb-trace: not a process id: 0"},
      {{kTool, "1", "99999999999"}, 2, "userdb-trace: not a length from"},
      {{kTool, "4194304"}, 1, "userdb-trace: there is no process 4194304"},
  };
  for (const auto& c : cases) {
    const auto result = test_support::RunProgram(c.arguments);
    EXPECT_EQ(result.exit_code, c.exit_code) << c.arguments.back();
    EXPECT_TRUE(result.err.starts_with(c.error_start)) << result.err;
  }
}

}  // namespace

}  // namespace userdb::crash
