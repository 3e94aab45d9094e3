// A thread's alternate signal stack, on which the fatal-signal handlers run, so that a stack
// overflow is reported too. Made for the main thread when the capture is installed and for
// every thread of the captured creation at its start; each ends with its thread.
#pragma once

#include <cstddef>

namespace userdb::crash {

class AlternateSignalStack {
 public:
  // Room for the handler, for the thread-state handler that may run on top of it and for
  // that one's stack snapshot.
  static constexpr size_t kSize = 128 * 1024;

  // Sets up a stack for the calling thread unless it has one already.
  AlternateSignalStack();
  // Takes the stack away again (the calling thread must be the one that made it).
  ~AlternateSignalStack();
  AlternateSignalStack(const AlternateSignalStack&) = delete;
  AlternateSignalStack& operator=(const AlternateSignalStack&) = delete;

 private:
  void* memory_ = nullptr;
  size_t mapped_ = 0;
};

}  // namespace userdb::crash
