// Pausing the program's threads while an exception is handled ("PauseThreads"), as threads
// are paused here: cooperatively, the next time a thread takes its next event, and until the
// handling ends. That is the main thread (a waiting main thread too: its nested event loop
// takes the pause); threads without an event loop are not paused. Off in this program's
// configuration.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "crash/capture/main_thread_calls.h"

namespace userdb::crash {

class ThreadPause {
 public:
  // The longest a paused thread waits for the handling to end.
  static constexpr std::chrono::minutes kPauseLimit{30};

  explicit ThreadPause(std::function<void(std::function<void()>)> post_to_main);
  ~ThreadPause();
  ThreadPause(const ThreadPause&) = delete;
  ThreadPause& operator=(const ThreadPause&) = delete;

  void SetPoster(std::function<void(std::function<void()>)> post_to_main);
  void Pause();
  void Resume();
  // Whether the main thread stands paused now.
  bool MainThreadPaused() const;

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    bool paused = false;
    bool holding = false;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
  std::mutex poster_mutex_;
  std::function<void(std::function<void()>)> post_;
};

}  // namespace userdb::crash
