#include "crash/capture/thread_pause.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace userdb::crash {
namespace {

using namespace std::chrono_literals;

// A thread that runs what is posted to it one after the other, as a main thread's event loop
// does.
class EventThread {
 public:
  EventThread() : thread_([this] { Run(); }) {}
  ~EventThread() {
    Post({});
    thread_.join();
  }

  void Post(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(work));
    arrived_.notify_all();
  }
  std::function<void(std::function<void()>)> Poster() {
    return [this](std::function<void()> work) { Post(std::move(work)); };
  }

 private:
  void Run() {
    for (;;) {
      std::function<void()> work;
      {
        std::unique_lock lock(mutex_);
        arrived_.wait(lock, [this] { return !queue_.empty(); });
        work = std::move(queue_.front());
        queue_.pop_front();
      }
      if (!work) return;
      work();
    }
  }

  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::function<void()>> queue_;
  std::thread thread_;
};

template <typename Condition>
bool Within(std::chrono::milliseconds limit, Condition condition) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// The paused thread takes no further event until the handling ends.
TEST(ThreadPause, HoldsTheMainThreadAtItsNextEventUntilResumed) {
  EventThread main_thread;
  ThreadPause pause(main_thread.Poster());
  pause.Pause();
  ASSERT_TRUE(Within(2s, [&] { return pause.MainThreadPaused(); }));
  std::atomic<bool> later_event{false};
  main_thread.Post([&] { later_event = true; });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(later_event);

  pause.Resume();
  EXPECT_TRUE(Within(2s, [&] { return later_event.load(); }));
  EXPECT_FALSE(pause.MainThreadPaused());
}

// A second pause while paused posts nothing more: one resume frees the thread.
TEST(ThreadPause, PausingTwiceNeedsOneResume) {
  EventThread main_thread;
  ThreadPause pause(main_thread.Poster());
  pause.Pause();
  pause.Pause();
  ASSERT_TRUE(Within(2s, [&] { return pause.MainThreadPaused(); }));
  pause.Resume();
  std::atomic<bool> later_event{false};
  main_thread.Post([&] { later_event = true; });
  EXPECT_TRUE(Within(2s, [&] { return later_event.load(); }));
}

TEST(ThreadPause, WithoutAnEventLoopNothingIsPaused) {
  ThreadPause pause(nullptr);
  pause.Pause();
  EXPECT_FALSE(pause.MainThreadPaused());
}

// A pause that outlives its handling (the crash reporter ends) lets the thread go.
TEST(ThreadPause, EndingThePauseLetsTheThreadGo) {
  EventThread main_thread;
  std::atomic<bool> later_event{false};
  {
    ThreadPause pause(main_thread.Poster());
    pause.Pause();
    ASSERT_TRUE(Within(2s, [&] { return pause.MainThreadPaused(); }));
    main_thread.Post([&] { later_event = true; });
  }
  EXPECT_TRUE(Within(2s, [&] { return later_event.load(); }));
}

}  // namespace
}  // namespace userdb::crash
