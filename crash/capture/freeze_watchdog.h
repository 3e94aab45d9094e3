// The freeze watchdog ("CheckFreeze"; off in this program's configuration): a thread of the
// crash reporter that asks the main thread, again and again, to answer (a call queued behind
// its events) and sleeps "FreezeTimeout" / 10 ms. An answer resets its count of misses and
// its sleep; at the tenth miss in a row it captures a freeze (the application does not
// respond; it may continue), and its sleep grows by half. It waits while an exception is
// handed off.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "crash/capture/thread_registry.h"

namespace userdb::crash {

class FreezeWatchdog {
 public:
  static constexpr int kMissesForFreeze = 10;

  FreezeWatchdog(ThreadRegistry& threads, std::function<void(std::function<void()>)> post_to_main,
                 std::chrono::milliseconds freeze_timeout, std::function<void()> capture_freeze);
  ~FreezeWatchdog();
  FreezeWatchdog(const FreezeWatchdog&) = delete;
  FreezeWatchdog& operator=(const FreezeWatchdog&) = delete;

  // While an exception is handed off, the watchdog waits.
  void Pause();
  void Resume();
  void ResetMisses();

 private:
  struct Probe {
    std::mutex mutex;
    bool answered = false;
  };
  void Watch();

  ThreadRegistry& threads_;
  const std::function<void(std::function<void()>)> post_;
  const std::chrono::milliseconds base_sleep_;
  const std::function<void()> capture_freeze_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
  int paused_ = 0;
  int misses_ = 0;
  std::thread thread_;  // last: it starts once the rest is there
};

}  // namespace userdb::crash
