#include "crash/capture/thread_pause.h"

namespace userdb::crash {

ThreadPause::ThreadPause(std::function<void(std::function<void()>)> post_to_main)
    : post_(std::move(post_to_main)) {}

ThreadPause::~ThreadPause() {
  Resume();
}

void ThreadPause::SetPoster(std::function<void(std::function<void()>)> post_to_main) {
  std::lock_guard lock(poster_mutex_);
  post_ = std::move(post_to_main);
}

void ThreadPause::Pause() {
  std::function<void(std::function<void()>)> post;
  {
    std::lock_guard lock(poster_mutex_);
    post = post_;
  }
  if (!post) return;
  {
    std::lock_guard lock(state_->mutex);
    if (state_->paused) return;
    state_->paused = true;
  }
  post([state = state_] {
    std::unique_lock lock(state->mutex);
    state->holding = true;
    state->changed.notify_all();
    state->changed.wait_for(lock, kPauseLimit, [&] { return !state->paused; });
    state->holding = false;
  });
}

void ThreadPause::Resume() {
  std::lock_guard lock(state_->mutex);
  state_->paused = false;
  state_->changed.notify_all();
}

bool ThreadPause::MainThreadPaused() const {
  std::lock_guard lock(state_->mutex);
  return state_->holding;
}

}  // namespace userdb::crash
