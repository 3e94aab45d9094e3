// The parts of the report that a fault's signal handler saves itself: every thread's call chain
// collected through the threads' own handlers, the naming of code addresses from the
// program's packed symbols (this test program carries them) and the libraries' exports, and the
// report's text. Collect and the composition are called from a plain thread here, as a
// handler would call them.
#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "crash/capture/emergency_naming.h"
#include "crash/capture/emergency_report_text.h"
#include "crash/capture/emergency_stacks.h"

namespace userdb::crash {
namespace {

pid_t ThreadId() {
  return static_cast<pid_t>(syscall(SYS_gettid));
}

// A thread that waits in a function of its own until it is let go, with the signals of the
// emergency collection blocked when asked.
class WaitingThread {
 public:
  explicit WaitingThread(bool blocks_requests) {
    thread_ = std::thread([this, blocks_requests] {
      if (blocks_requests) {
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGRTMIN + kEmergencyStackSignalOffset);
        pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
      }
      id_ = ThreadId();
      WaitHere();
    });
    while (!waiting_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~WaitingThread() {
    {
      std::lock_guard lock(mutex_);
      released_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  pid_t Id() const { return id_; }
  // The return address into the thread's function: a walk that reaches it went through
  // WaitHere's frame.
  uintptr_t ReturnFromWaitHere() const { return return_address_; }

 private:
  __attribute__((noinline)) void WaitHere() {
    return_address_ = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    std::unique_lock lock(mutex_);
    waiting_ = true;
    changed_.wait(lock, [this] { return released_; });
    asm volatile("" ::: "memory");
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  bool released_ = false;
  std::atomic<bool> waiting_{false};
  std::atomic<pid_t> id_{0};
  uintptr_t return_address_ = 0;
  std::thread thread_;
};

const EmergencyThread* Find(std::span<EmergencyThread> threads, pid_t id) {
  for (const EmergencyThread& thread : threads) {
    if (thread.id == id) return &thread;
  }
  return nullptr;
}

TEST(EmergencyStacksTest, EveryThreadAnswersWithItsCallChainOrStaysUnanswered) {
  EmergencyStacks stacks;
  WaitingThread waiting(false);
  WaitingThread deaf(true);
  ucontext_t own;
  ASSERT_EQ(getcontext(&own), 0);
  const std::span<EmergencyThread> threads = stacks.Collect(own);

  ASSERT_GE(threads.size(), 3u);
  EXPECT_EQ(threads.front().id, ThreadId());
  EXPECT_TRUE(threads.front().answered);
  EXPECT_GT(threads.front().frame_count, 0u);

  const EmergencyThread* answered = Find(threads, waiting.Id());
  ASSERT_NE(answered, nullptr);
  EXPECT_TRUE(answered->answered);
  EXPECT_FALSE(answered->faulted);
  const std::vector<uintptr_t> frames(answered->frames, answered->frames + answered->frame_count);
  EXPECT_NE(std::find(frames.begin(), frames.end(), waiting.ReturnFromWaitHere()), frames.end());

  const EmergencyThread* unanswered = Find(threads, deaf.Id());
  ASSERT_NE(unanswered, nullptr);
  EXPECT_FALSE(unanswered->answered);

  // A second collection in the same process asks again.
  const std::span<EmergencyThread> again = stacks.Collect(own);
  ASSERT_NE(Find(again, waiting.Id()), nullptr);
  EXPECT_TRUE(Find(again, waiting.Id())->answered);
}

__attribute__((noinline)) uintptr_t ReturnAddressHere() {
  return reinterpret_cast<uintptr_t>(__builtin_return_address(0));
}

__attribute__((noinline)) uintptr_t CallAndReturnTheReturnAddress() {
  const uintptr_t returned = ReturnAddressHere();
  asm volatile("" ::: "memory");
  return returned;
}

TEST(EmergencyNamingTest, NamesTheProgramsFunctionsFromItsPackedSymbolsAndLibrariesByExports) {
  EmergencyNaming naming;
  const uintptr_t returned = CallAndReturnTheReturnAddress();
  const auto getpid_address = reinterpret_cast<uintptr_t>(&getpid);
  std::vector<NamedAddress> entries{
      EmergencyNaming::OfReturnAddress(returned),
      EmergencyNaming::OfInstruction(getpid_address + 1),
      EmergencyNaming::OfInstruction(0x10),
  };
  naming.Name(entries);

  // The call before the return address, named with its unit and line.
  EXPECT_EQ(entries[0].address, returned - 5);  // a direct call
  EXPECT_EQ(entries[0].module, "emergency_report_tests");
  EXPECT_NE(entries[0].function.find("CallAndReturnTheReturnAddress"), std::string_view::npos)
      << entries[0].function;
  EXPECT_EQ(entries[0].unit, "emergency_report_test.cpp");
  EXPECT_GT(entries[0].line, 0u);
  EXPECT_GT(entries[0].function_first_line, 0u);
  EXPECT_LE(entries[0].function_first_line, entries[0].line);
  EXPECT_EQ(entries[0].function_start, reinterpret_cast<uintptr_t>(&CallAndReturnTheReturnAddress));

  EXPECT_EQ(entries[1].module, "libc.so.6");
  EXPECT_EQ(entries[1].function, "getpid");
  EXPECT_EQ(entries[1].function_start, getpid_address);

  EXPECT_EQ(entries[2].module, "");
  EXPECT_EQ(entries[2].function, "");

  // The modules in ascending order of load address, each with its file's path.
  ListedModule modules[256];
  const size_t count = naming.ListModules(modules);
  ASSERT_GE(count, 2u);
  bool libc = false, program = false;
  for (size_t i = 0; i < count; ++i) {
    EXPECT_TRUE(modules[i].path.starts_with('/')) << modules[i].path;
    if (i > 0) {
      EXPECT_LE(modules[i - 1].load_bias, modules[i].load_bias);
    }
    libc = libc || modules[i].path.ends_with("/libc.so.6");
    program = program || modules[i].path.ends_with("/emergency_report_tests");
  }
  EXPECT_TRUE(libc);
  EXPECT_TRUE(program);
}

std::string ComposedReport(const FaultFacts& fault, const EmergencyProgramFacts& program,
                           EmergencyStacks& stacks, ucontext_t& own) {
  EmergencyNaming naming;
  std::vector<NamedAddress> entries(4096);
  std::vector<char> room(256 * 1024);
  FixedText out(room.data(), room.size());
  ComposeEmergencyReport(out, fault, program, stacks.Collect(own), naming, entries);
  return std::string(out.View());
}

TEST(EmergencyReportTextTest, IsABugReportWithTheFaultingThreadFirstAndTheMainThreadNext) {
  EmergencyStacks stacks;
  WaitingThread main_thread(false);  // stands for the main thread
  WaitingThread other(false);
  ucontext_t own;
  ASSERT_EQ(getcontext(&own), 0);
  FaultFacts fault;
  fault.signal = SIGSEGV;
  fault.code = SEGV_MAPERR;
  fault.fault_address = 0x18;
  fault.context = &own;
  EmergencyProgramFacts program;
  program.main_thread = main_thread.Id();
  program.handling_thread = other.Id();
  program.version = "1.0.1.16";
  program.compiler = "g++ 12.2.0";
  program.reporter_version = "3.0e";
  program.exception_number = 3;
  const std::string report = ComposedReport(fault, program, stacks, own);

  EXPECT_TRUE(std::regex_search(report, std::regex("^date/time +: \\d{4}-\\d\\d-\\d\\d, "
                                                   "\\d\\d:\\d\\d:\\d\\d, \\d+ms\r\n")))
      << report.substr(0, 400);
  EXPECT_NE(report.find("\r\nversion           : 1.0.1.16\r\n"), std::string::npos) << report;
  EXPECT_NE(report.find("\r\nexception number  : 3\r\n"), std::string::npos);
  EXPECT_NE(report.find("\r\nexception class   : EAccessViolation\r\n"), std::string::npos);
  EXPECT_TRUE(std::regex_search(
      report, std::regex("\r\nexception message : Zugriffsverletzung bei Adresse [0-9a-f]{16} "
                         "in Modul 'emergency_report_tests'\\. Lesen von Adresse "
                         "0000000000000018\\.\r\n")))
      << report.substr(0, 2000);
  EXPECT_NE(report.find("\r\nemergency report  : " + std::string(kEmergencyNote) + "\r\n\r\n"),
            std::string::npos);

  // The faulting thread (where its registers were taken), named from the packed symbols; then
  // the main thread; the crash reporter's own under its name.
  const size_t first = report.find("\r\n\r\nthread $");
  const size_t main_section = report.find("\r\n\r\nmain thread ($");
  const size_t own_section = report.find("\r\n\r\nHandleExceptionThread ($");
  ASSERT_NE(first, std::string::npos);
  EXPECT_LT(first, main_section);
  EXPECT_LT(main_section, own_section);
  EXPECT_TRUE(std::regex_search(
      report.substr(first, main_section - first),
      std::regex("\r\n[0-9a-f]{16} \\+[0-9a-f]+ emergency_report_tests +emergency_report_test\\.cpp"
                 " +\\d+ +\\+\\d+ .*TheFaultingThreadFirst.*TestBody\r\n")))
      << report.substr(first, main_section - first);
  EXPECT_NE(report.find("WaitHere", main_section), std::string::npos);
  EXPECT_NE(report.find("\r\n\r\nmodules:\r\n"), std::string::npos);
  EXPECT_TRUE(std::regex_search(report, std::regex("\r\n[0-9a-f]{16} libc\\.so\\.6 +/")));
}

}  // namespace
}  // namespace userdb::crash
