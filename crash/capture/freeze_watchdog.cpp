#include "crash/capture/freeze_watchdog.h"

#include <sys/resource.h>

namespace userdb::crash {

namespace {

constexpr int kHighestNice = -20;

}  // namespace

FreezeWatchdog::FreezeWatchdog(ThreadRegistry& threads,
                               std::function<void(std::function<void()>)> post_to_main,
                               std::chrono::milliseconds freeze_timeout,
                               std::function<void()> capture_freeze)
    : threads_(threads),
      post_(std::move(post_to_main)),
      base_sleep_(
          std::max<std::chrono::milliseconds>(freeze_timeout / 10, std::chrono::milliseconds(1))),
      capture_freeze_(std::move(capture_freeze)),
      thread_([this] { Watch(); }) {}

FreezeWatchdog::~FreezeWatchdog() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    changed_.notify_all();
  }
  thread_.join();
}

void FreezeWatchdog::Pause() {
  std::lock_guard lock(mutex_);
  ++paused_;
}

void FreezeWatchdog::Resume() {
  std::lock_guard lock(mutex_);
  if (paused_ > 0) --paused_;
  changed_.notify_all();
}

void FreezeWatchdog::ResetMisses() {
  std::lock_guard lock(mutex_);
  misses_ = 0;
}

void FreezeWatchdog::Watch() {
  const pid_t self = CurrentThreadId();
  threads_.EnterOwnThread(self, "AntiFreezeThread");
  setpriority(PRIO_PROCESS, static_cast<id_t>(self), kHighestNice);
  std::chrono::milliseconds sleep = base_sleep_;
  std::unique_lock lock(mutex_);
  while (!stop_) {
    if (paused_ > 0) {
      changed_.wait(lock, [this] { return stop_ || paused_ == 0; });
      continue;
    }
    // Shared with the queued call, which may run after the watchdog is gone.
    auto probe = std::make_shared<Probe>();
    lock.unlock();
    post_([probe] {
      std::lock_guard answer(probe->mutex);
      probe->answered = true;
    });
    lock.lock();
    changed_.wait_for(lock, sleep, [this] { return stop_; });
    if (stop_) break;
    bool answered;
    {
      std::lock_guard answer(probe->mutex);
      answered = probe->answered;
    }
    if (answered || paused_ > 0) {
      misses_ = 0;
      sleep = base_sleep_;
      continue;
    }
    if (++misses_ < kMissesForFreeze) continue;
    misses_ = 0;
    sleep += sleep / 2;
    lock.unlock();
    capture_freeze_();
    lock.lock();
  }
  lock.unlock();
  threads_.Remove(self);
}

}  // namespace userdb::crash
