// A program of ours with the crash reporter and named worker threads, for the trace request's
// tests: it says "ready" on standard output once its workers wait, each in a function of its
// own (on a condition variable, in a read of a pipe, in a sleep, on the condition variable
// again called back from the relay library without symbols and from the same library with
// them), and ends when its standard input closes. "--debug-root FOLDER" looks for the
// libraries' separate debug files there instead of the system's folder (an empty one stands
// for a machine without debug packages).
#include <dlfcn.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "crash/crash_reporter.h"

// The relay library calls the callback through two functions of its own, the first reached by
// a tail call. Both of its copies are loaded, each in its own scope: the one stripped to its
// exports, where no symbol names the two, and the one with its symbols.
using RelayCaller = void (*)(void (*callback)());

RelayCaller LoadRelayCaller(const char* path) {
  void* const library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  return library != nullptr ? reinterpret_cast<RelayCaller>(dlsym(library, "relay_caller"))
                            : nullptr;
}

namespace userdb::test_support {

namespace {

std::atomic<bool> stopping{false};
std::mutex work_mutex;
std::condition_variable work_arrived;
int quiet_pipe[2] = {-1, -1};  // nothing is written; closing it ends the reader

__attribute__((noinline)) void WaitForWork() {
  std::unique_lock lock(work_mutex);
  work_arrived.wait(lock, [] { return stopping.load(); });
}

__attribute__((noinline)) void ReadUntilClosed() {
  char byte;
  while (read(quiet_pipe[0], &byte, 1) > 0) {
  }
}

__attribute__((noinline)) void SleepUntilStopped() {
  while (!stopping) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

__attribute__((noinline)) std::vector<std::thread> StartWorkers(crash::CrashReporter& reporter,
                                                                RelayCaller stripped_relay,
                                                                RelayCaller relay_with_symbols) {
  std::vector<std::thread> workers;
  std::atomic<int> started{0};
  // Named in the registry, named for the kernel, and unnamed.
  workers.emplace_back([&] {
    reporter.Threads().SetName(crash::CurrentThreadId(), "conversion worker");
    ++started;
    WaitForWork();
  });
  workers.emplace_back([&] {
    pthread_setname_np(pthread_self(), "file reader");
    ++started;
    ReadUntilClosed();
  });
  workers.emplace_back([&] {
    ++started;
    SleepUntilStopped();
  });
  workers.emplace_back([&] {
    reporter.Threads().SetName(crash::CurrentThreadId(), "relay waiter");
    ++started;
    stripped_relay(&WaitForWork);
  });
  workers.emplace_back([&] {
    reporter.Threads().SetName(crash::CurrentThreadId(), "tail call waiter");
    ++started;
    relay_with_symbols(&WaitForWork);
  });
  while (started < 5) std::this_thread::yield();
  return workers;
}

// The main thread's wait for its input to close: false when a signal's handler interrupted it.
__attribute__((noinline)) bool WaitForInput() {
  pollfd input{0, POLLIN, 0};
  return poll(&input, 1, -1) >= 0 || errno != EINTR;
}

// Where the main thread waits once a signal interrupted its first wait: a report shows whether
// the thread was woken before its registers were taken.
__attribute__((noinline)) void WaitAfterAnInterruption() {
  pollfd input{0, POLLIN, 0};
  while (poll(&input, 1, -1) < 0 && errno == EINTR) {
  }
}

__attribute__((noinline)) void StopWorkers(std::vector<std::thread>& workers) {
  {
    std::lock_guard lock(work_mutex);
    stopping = true;
  }
  work_arrived.notify_all();
  close(quiet_pipe[1]);
  for (std::thread& worker : workers) worker.join();
}

}  // namespace

}  // namespace userdb::test_support

int main(int argc, char** argv) {
  using namespace userdb::test_support;
  userdb::crash::SymbolSourceOptions symbol_sources;
  if (argc == 3 && std::strcmp(argv[1], "--debug-root") == 0) symbol_sources.debug_root = argv[2];
  userdb::crash::CrashReporter reporter(userdb::crash::ProgramForm::kConsole, symbol_sources);
  if (pipe(quiet_pipe) != 0) return 1;
  const RelayCaller stripped_relay = LoadRelayCaller(STRIPPED_RELAY_PATH);
  const RelayCaller relay_with_symbols = LoadRelayCaller(RELAY_WITH_SYMBOLS_PATH);
  if (stripped_relay == nullptr || relay_with_symbols == nullptr) return 1;
  std::vector<std::thread> workers = StartWorkers(reporter, stripped_relay, relay_with_symbols);
  // Each worker is on its way into its waiting function; a moment lets it arrive there.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::puts("ready");
  std::fflush(stdout);
  if (!WaitForInput()) WaitAfterAnInterruption();
  char byte;
  while (read(0, &byte, 1) > 0) {
  }
  StopWorkers(workers);
  return 0;
}
