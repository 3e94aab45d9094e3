// A program of ours with the crash reporter and named worker threads, for the trace request's
// tests: it says "ready" on standard output once its workers run and ends when its standard
// input closes.
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "crash/crash_reporter.h"

namespace userdb::test_support {

namespace {

std::atomic<bool> stopping{false};

void WorkUntilStopped() {
  while (!stopping) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

__attribute__((noinline)) std::vector<std::thread> StartWorkers(crash::CrashReporter& reporter) {
  std::vector<std::thread> workers;
  std::atomic<int> started{0};
  // Named in the registry, named for the kernel, and unnamed.
  workers.emplace_back([&] {
    reporter.Threads().SetName(crash::CurrentThreadId(), "conversion worker");
    ++started;
    WorkUntilStopped();
  });
  workers.emplace_back([&] {
    pthread_setname_np(pthread_self(), "file reader");
    ++started;
    WorkUntilStopped();
  });
  workers.emplace_back([&] {
    ++started;
    WorkUntilStopped();
  });
  while (started < 3) std::this_thread::yield();
  return workers;
}

}  // namespace

}  // namespace userdb::test_support

int main() {
  userdb::crash::CrashReporter reporter;
  std::vector<std::thread> workers = userdb::test_support::StartWorkers(reporter);
  std::puts("ready");
  std::fflush(stdout);
  char byte;
  while (read(0, &byte, 1) > 0) {
  }
  userdb::test_support::stopping = true;
  for (std::thread& worker : workers) worker.join();
  return 0;
}
