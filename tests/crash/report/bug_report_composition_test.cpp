// The report of this test program, composed as the crash reporter composes it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <thread>

#include "crash/capture/thread_states.h"
#include "crash/crash_reporter.h"
#include "crash/report/compose_bug_report.h"
#include "crash/report/report_header.h"
#include "crash/report/thread_titles.h"
#include "crash/report/value_formats.h"
#include "crash/trace/trace_protocol.h"
#include "tests/support/report_sections.h"

namespace userdb::crash {

namespace {

// Threads that wait until the test ends; the first is named in the registry.
class Workers {
 public:
  // With `last_blocks`, the last of them blocks the thread-state signal.
  Workers(CrashReporter& reporter, int count, bool last_blocks) {
    for (int i = 0; i < count; ++i) {
      threads_.emplace_back([this, &reporter, i, count, last_blocks] {
        const pid_t self = CurrentThreadId();
        if (i == 0) reporter.Threads().SetName(self, "transform worker");
        if (last_blocks && i == count - 1) {
          sigset_t blocked;
          sigemptyset(&blocked);
          sigaddset(&blocked, SIGRTMIN + kThreadStateSignalOffset);
          pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
        }
        std::unique_lock lock(mutex_);
        ids_.push_back(self);
        started_.notify_all();
        released_.wait(lock, [this] { return release_; });
      });
    }
    std::unique_lock lock(mutex_);
    started_.wait(lock, [&] { return ids_.size() == static_cast<size_t>(count); });
  }
  ~Workers() {
    {
      std::lock_guard lock(mutex_);
      release_ = true;
    }
    released_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }
  std::vector<pid_t> Ids() {
    std::lock_guard lock(mutex_);
    return ids_;
  }
  pid_t Blocking() { return Ids().empty() ? 0 : BlockingId(); }

 private:
  pid_t BlockingId() {
    // The last one started is not necessarily the blocking one: ask the kernel.
    for (const pid_t id : ids_) {
      std::ifstream status("/proc/self/task/" + std::to_string(id) + "/status");
      for (std::string line; std::getline(status, line);) {
        if (!line.starts_with("SigBlk:")) continue;
        const uint64_t mask = std::strtoull(line.c_str() + 7, nullptr, 16);
        if ((mask >> (SIGRTMIN + kThreadStateSignalOffset - 1) & 1) != 0) return id;
      }
    }
    return 0;
  }

  std::mutex mutex_;
  std::condition_variable started_, released_;
  bool release_ = false;
  std::vector<pid_t> ids_;
  std::vector<std::thread> threads_;
};

__attribute__((noinline)) uintptr_t ReturnAddress() {
  return reinterpret_cast<uintptr_t>(__builtin_return_address(0));
}

// Where it "raises" its failure: the return address of its call, as for a thrown exception.
__attribute__((noinline)) uintptr_t FunctionThatFailed() {
  const uintptr_t raised_at = ReturnAddress();
  asm volatile("");
  return raised_at;
}

ExceptionFacts FactsOfAFailure() {
  ExceptionFacts facts;
  facts.object = ExceptionObject{{"FileOpenError", "Exception"}, "Datei nicht gefunden"};
  facts.address = FunctionThatFailed();
  ucontext_t context;
  getcontext(&context);
  facts.context = ProcessorContext::Of(context);
  facts.stack_pointer = facts.context->StackPointer();
  return facts;
}

std::vector<std::string> HeaderNames(const std::string& report) {
  std::vector<std::string> names;
  const std::string_view header = ReportHeader(report);
  size_t start = 0;
  while (start < header.size()) {
    size_t end = header.find("\r\n", start);
    if (end == std::string_view::npos) end = header.size();
    const std::string_view line = header.substr(start, end - start);
    std::string_view name = line.substr(0, line.find(" : "));
    while (name.ends_with(' ')) name.remove_suffix(1);
    names.emplace_back(name);
    start = end + 2;
  }
  return names;
}

bool HasSection(const std::string& report, const std::string& title) {
  return report.find("\r\n\r\n" + title + "\r\n") != std::string::npos;
}

using test_support::PriorityMark;
using test_support::SectionOf;

class Composition : public ::testing::Test {
 protected:
  CrashReporter reporter_;
};

TEST_F(Composition, TheHeaderHasItsEntriesInOrder) {
  const auto exception = reporter_.NewCaughtException(FactsOfAFailure(), nullptr);
  ASSERT_TRUE(exception);
  const std::string report = ComposeBugReport(*exception, true);
  const std::vector<std::string> names = HeaderNames(report);
  const std::vector<std::string> expected_order = {
      "date/time",       "computer name",    "user name",        "operating system",
      "system language", "system up time",   "program up time",  "physical memory",
      "free disk space", "process id",       "allocated memory", "executable",
      "exec. date/time", "version",          "compiled with",    "Quorvex version",
      "callstack crc",   "exception number", "exception class",  "exception message"};
  size_t at = 0;
  for (const std::string& name : names) {
    if (at < expected_order.size() && name == expected_order[at]) ++at;
  }
  EXPECT_EQ(at, expected_order.size()) << ReportHeader(report);
  EXPECT_EQ(names.back(), "exception message");
  EXPECT_EQ(ReadHeaderValue(report, "exception class"), "FileOpenError");
  EXPECT_EQ(ReadHeaderValue(report, "exception message"), "Datei nicht gefunden.");
  EXPECT_EQ(ReadHeaderValue(report, "version"), "1.0.1.16");
  EXPECT_EQ(ReadHeaderValue(report, "Quorvex version"), "3.0e");
  EXPECT_EQ(ReadHeaderValue(report, "process id"), DollarHex(static_cast<uint64_t>(getpid())));
  EXPECT_TRUE(std::regex_match(std::string(*ReadHeaderValue(report, "callstack crc")),
                               std::regex(R"(\$[0-9a-f]{8}, \$[0-9a-f]{8}, \$[0-9a-f]{8})")));
  EXPECT_TRUE(std::regex_match(std::string(*ReadHeaderValue(report, "program up time")),
                               std::regex(R"(\d+ milliseconds|\d+ seconds?)")));
  EXPECT_TRUE(exception->Report().Complete());
}

TEST_F(Composition, ExceptionNumbersCountTheHeadersOfTheRun) {
  const auto first = reporter_.NewCaughtException(FactsOfAFailure(), nullptr);
  const auto second = reporter_.NewCaughtException(FactsOfAFailure(), nullptr);
  EXPECT_EQ(ReadHeaderValue(ComposeBugReport(*first, false), "exception number"), "1");
  EXPECT_EQ(ReadHeaderValue(ComposeBugReport(*second, false), "exception number"), "2");
}

TEST_F(Composition, EveryThreadHasASectionAndTheExceptionThreadComesFirst) {
  Workers workers(reporter_, 4, true);
  const auto exception = reporter_.NewCaughtException(FactsOfAFailure(), nullptr);
  const std::string report = ComposeBugReport(*exception, true);
  const std::string self = DollarHex(static_cast<uint64_t>(CurrentThreadId()));
  EXPECT_NE(report.find("\r\n\r\nmain thread (" + self + "):" + PriorityMark() + "\r\n"),
            std::string::npos)
      << "this thread is the main thread and raised the exception";
  const std::string first_section = report.substr(ReportHeader(report).size() + 4, 40);
  EXPECT_TRUE(first_section.starts_with("main thread (" + self + "):")) << first_section;

  for (const pid_t id : workers.Ids()) {
    const std::string id_text = DollarHex(static_cast<uint64_t>(id));
    EXPECT_TRUE(report.find("(" + id_text + "):") != std::string::npos ||
                report.find("thread " + id_text + ":") != std::string::npos)
        << id_text;
  }
  const bool named_found = report.find("\r\n\r\ntransform worker ($") != std::string::npos;
  EXPECT_TRUE(named_found) << report.substr(0, 3000);
  const std::string blocking =
      "thread " + DollarHex(static_cast<uint64_t>(workers.Blocking())) + ":" + PriorityMark();
  EXPECT_EQ(SectionOf(report, blocking), ">> stack not accessible");
}

TEST_F(Composition, ACreatedThreadNamesItsCreatorAndTheCreatingCode) {
  Workers workers(reporter_, 1, false);
  const auto exception = reporter_.NewCaughtException(FactsOfAFailure(), nullptr);
  const std::string report = ComposeBugReport(*exception, true);
  const std::string title = "transform worker (" +
                            DollarHex(static_cast<uint64_t>(workers.Ids()[0])) +
                            "):" + PriorityMark();
  const std::string section = SectionOf(report, title);
  const std::string creator = ">> created by main thread (" +
                              DollarHex(static_cast<uint64_t>(CurrentThreadId())) + ") at:\r\n";
  const size_t at = section.find(creator);
  ASSERT_NE(at, std::string::npos) << section;
  const std::string creation = section.substr(at + creator.size());
  EXPECT_NE(creation.find("bug_report_composition_test.cpp"), std::string::npos) << creation;
  EXPECT_NE(creation.find("Workers.Workers"), std::string::npos) << creation;
  EXPECT_TRUE(std::regex_search(creation, std::regex(R"(\.cpp +\d+ +\+\d+ )"))) << creation;
}

TEST_F(Composition, TheExceptionThreadShowsTheExceptionLocation) {
  const auto exception = reporter_.NewCaughtException(FactsOfAFailure(), nullptr);
  const std::string report = ComposeBugReport(*exception, true);
  const std::string title =
      "main thread (" + DollarHex(static_cast<uint64_t>(CurrentThreadId())) + "):" + PriorityMark();
  const std::string section = SectionOf(report, title);
  EXPECT_TRUE(section.starts_with(AddressText(exception->Facts().address) + " ")) << section;
  EXPECT_NE(section.find("bug_report_composition_test.cpp"), std::string::npos) << section;
  EXPECT_NE(section.find("FunctionThatFailed"), std::string::npos) << section;
}

TEST_F(Composition, SectionsFollowTheSettings) {
  const auto exception = reporter_.NewCaughtException(FactsOfAFailure(), nullptr);
  exception->Settings().WriteBoolean("CpuRegs", true);
  const std::string report = ComposeBugReport(*exception, true);
  for (const char* title :
       {"cpu registers:", "stack dump:", "disassembling:", "modules:", "processes:"}) {
    EXPECT_TRUE(HasSection(report, title)) << title;
  }
  EXPECT_LT(report.find("\r\n\r\ncpu registers:"), report.find("\r\n\r\nstack dump:"));
  EXPECT_LT(report.find("\r\n\r\nmodules:"), report.find("\r\n\r\ncpu registers:"))
      << "plug-in sections come before the registers";
  EXPECT_TRUE(
      SectionOf(report, "stack dump:").starts_with(AddressText(exception->Facts().stack_pointer)));
  // The raising call marked in the function that holds it, five lines around it.
  const std::string listing = SectionOf(report, "disassembling:");
  EXPECT_TRUE(
      listing.starts_with("public userdb.crash.(anonymous namespace).FunctionThatFailed\r\n"))
      << listing;
  EXPECT_TRUE(std::regex_search(
      listing, std::regex("\r\n[0-9a-f]{16} > (\\d+ )?call [^\r]*\\.ReturnAddress\r\n")))
      << listing;

  const auto without = reporter_.NewCaughtException(FactsOfAFailure(), nullptr);
  without->Settings().WriteBoolean("StackDump", false);
  without->Settings().WriteBoolean("ShowDisAsm", false);
  without->Settings().WriteText("Plugins", "processes");
  const std::string fewer = ComposeBugReport(*without, true);
  EXPECT_FALSE(HasSection(fewer, "stack dump:"));
  EXPECT_FALSE(HasSection(fewer, "disassembling:"));
  EXPECT_FALSE(HasSection(fewer, "modules:"));
  EXPECT_TRUE(HasSection(fewer, "processes:"));
}

TEST_F(Composition, AFreezeReportStartsWithTheMainThreadAndCarriesTheFrozenMessage) {
  ExceptionFacts facts;
  facts.kind = ExceptionKind::kFreeze;
  std::string report;
  std::thread([&] {
    const auto exception = reporter_.NewCaughtException(facts, nullptr);
    report = ComposeBugReport(*exception, true);
  }).join();
  EXPECT_EQ(ReadHeaderValue(report, "exception message"), "Die Anwendung reagiert nicht mehr");
  EXPECT_FALSE(ReadHeaderValue(report, "exception class"));
  const std::string first_section = report.substr(ReportHeader(report).size() + 4, 40);
  EXPECT_TRUE(first_section.starts_with("main thread (")) << first_section;
  EXPECT_FALSE(HasSection(report, "stack dump:")) << "a freeze has no processor context";
}

TEST_F(Composition, TheTraceReportLeavesOutTheCallingThreadAndListsOwnThreadsByTheirNames) {
  std::atomic<pid_t> own{0};
  std::atomic<bool> done{false};
  std::thread own_thread([&] {
    own = CurrentThreadId();
    reporter_.Threads().EnterOwnThread(own, "HandleExceptionThread");
    while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  while (own == 0) std::this_thread::yield();
  std::string report;
  std::thread([&] { report = reporter_.TraceReport(); }).join();
  done = true;
  own_thread.join();
  EXPECT_NE(report.find("\r\n\r\nHandleExceptionThread (" +
                        DollarHex(static_cast<uint64_t>(own.load())) + "):"),
            std::string::npos);
  const auto exception = reporter_.NewCaughtException(FactsOfAFailure(), nullptr);
  EXPECT_EQ(ComposeBugReport(*exception, true).find("HandleExceptionThread"), std::string::npos)
      << "other reports leave the crash reporter's own threads out";
}

// The request as userdb-trace makes it, answered by this process's serving thread.
std::string AskThisProcess(int32_t max_length) {
  const std::string name = TraceMapName(getpid());
  const size_t size = sizeof(TraceAnswerHeader) + 4096;
  const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd < 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) return "no shared memory";
  void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  auto* header = static_cast<TraceAnswerHeader*>(view);
  sigval value{};
  value.sival_int = max_length;
  sigqueue(getpid(), SIGRTMIN + kTraceRequestSignalOffset, value);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (header->answer.load() == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::string text(static_cast<const char*>(view) + sizeof(TraceAnswerHeader), header->length);
  munmap(view, size);
  shm_unlink(name.c_str());
  return text;
}

TEST_F(Composition, TheServingThreadAnswersTraceRequestsAndStaysOutOfOtherReports) {
  const std::string traced = AskThisProcess(500);
  EXPECT_TRUE(traced.starts_with("date/time")) << traced;
  EXPECT_EQ(traced.size(), 499u);
  const auto exception = reporter_.NewCaughtException(FactsOfAFailure(), nullptr);
  const std::string report = ComposeBugReport(*exception, true);
  size_t listed = 0, own = 0;
  for (const pid_t thread : ProcessThreads()) {
    const ThreadLookup lookup = reporter_.Threads().Find(thread);
    if (lookup.entry && lookup.entry->name == kOwnThreadName) ++own;
    const std::string id = DollarHex(static_cast<uint64_t>(thread));
    if (report.find("(" + id + "):") != std::string::npos ||
        report.find("thread " + id + ":") != std::string::npos) {
      ++listed;
    }
  }
  EXPECT_GE(own, 1u) << "the serving thread";
  EXPECT_EQ(listed, ProcessThreads().size() - own) << "all but the crash reporter's own threads";
}

TEST_F(Composition, TheWorkerOnAThreadOfItsOwnIsWaitedForAndCallbacksFollow) {
  struct Recorder : ReportCallback {
    std::mutex mutex;
    std::vector<bool> completes;
    std::string last_text;
    void ReportChanged(bool complete, const std::string& text, CaughtException&) override {
      std::lock_guard lock(mutex);
      completes.push_back(complete);
      last_text = text;
    }
  } recorder;
  const auto exception = reporter_.NewCaughtException(FactsOfAFailure(), nullptr);
  exception->RegisterReportCallback(&recorder, true);
  EXPECT_EQ(recorder.completes, std::vector<bool>{false}) << "called at once";
  EXPECT_TRUE(exception->HasCriticalReportCallback());
  exception->RegisterReportCallback(&recorder, false);
  EXPECT_FALSE(exception->HasCriticalReportCallback());
  EXPECT_EQ(recorder.completes.size(), 1u) << "a second registration only changes the flag";

  StartBugReport(*exception, WorkerPlacement::kOwnThread);
  const std::string report = ComposeBugReport(*exception, true);
  EXPECT_TRUE(exception->Report().Complete());
  EXPECT_EQ(report.find("will be calculated soon"), std::string::npos);
  std::lock_guard lock(recorder.mutex);
  EXPECT_TRUE(recorder.completes.back());
  EXPECT_EQ(recorder.last_text, report);
  exception->UnregisterReportCallback(&recorder);
}

TEST_F(Composition, FreeingTheExceptionStopsItsWorker) {
  for (int i = 0; i < 3; ++i) {
    auto exception = reporter_.NewCaughtException(FactsOfAFailure(), nullptr);
    StartBugReport(*exception, WorkerPlacement::kOwnThread);
    exception.reset();  // joins the worker between two of its parts
  }
  SUCCEED();
}

TEST_F(Composition, AFailingPlugInLeavesAnInternalErrorInItsSection) {
  ReportPlugins plugins;
  plugins.Register(
      {"broken", "fails", []() -> std::string { throw std::runtime_error("no"); }, true});
  plugins.Register({"answer", "one header value", [] { return std::string("42"); }, false});
  ReportServices services = reporter_.Services();
  services.plugins = &plugins;
  CaughtException exception(reporter_.Settings().SettingsFor(nullptr), FactsOfAFailure(),
                            &services);
  exception.Settings().WriteText("Plugins", "answer|BROKEN");
  const std::string report = ComposeBugReport(exception, true);
  const std::string section = SectionOf(report, "broken:");
  EXPECT_TRUE(
      std::regex_match(section, std::regex(">> internal error in plugin:\r\n[0-9a-f]{16} .+")))
      << section;
  EXPECT_EQ(ReadHeaderValue(report, "answer"), "42");
}

TEST_F(Composition, WithoutCreateBugReportTheTextStaysEmpty) {
  ExceptionFacts facts = FactsOfAFailure();
  facts.create_bug_report = false;
  const auto exception = reporter_.NewCaughtException(facts, nullptr);
  EXPECT_EQ(ComposeBugReport(*exception, true), "");
}

}  // namespace

}  // namespace userdb::crash
