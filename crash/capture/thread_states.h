// Every thread's registers at one moment, collected without stopping the process for long:
// each thread is sent a real-time signal whose handler records its processor context (and,
// through the stack snapshot hook, its stack) and returns. A thread that does not answer in
// time (it blocks the signal, or it is stopped) stays unanswered.
//
// The collector installs its signal handler while it lives (the process has one, owned by the
// crash-reporter object); while it is gone the signal is ignored, so that an answer that comes
// late ends nothing. The handler is async-signal-safe; everything else here is not.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "crash/capture/processor_context.h"

namespace userdb::crash {

// The signal is SIGRTMIN + this offset. (The trace request uses another one.)
inline constexpr int kThreadStateSignalOffset = 4;

struct ThreadState {
  pid_t id = 0;
  bool answered = false;
  ProcessorContext context;               // when answered
  std::vector<std::byte> stack_snapshot;  // what the snapshot hook recorded
};

class ThreadStateCollector {
 public:
  static constexpr std::chrono::milliseconds kAnswerLimit{50};
  static constexpr size_t kMaxThreads = 1024;

  ThreadStateCollector();
  ~ThreadStateCollector();
  ThreadStateCollector(const ThreadStateCollector&) = delete;
  ThreadStateCollector& operator=(const ThreadStateCollector&) = delete;

  // Asks each of the threads of this process at once and waits at most `limit` for all
  // answers; each thread's snapshot hook gets `snapshot_capacity` bytes. The calling thread
  // answers for itself at once; threads beyond kMaxThreads stay unanswered. Several callers
  // are served one after the other.
  std::vector<ThreadState> Collect(std::span<const pid_t> threads,
                                   std::chrono::milliseconds limit = kAnswerLimit,
                                   size_t snapshot_capacity = 0);

  // For the signal handler only.
  void Answer(uintptr_t request, const ucontext_t& context);

 private:
  struct Slot;
  static void AnswerForSelf(ThreadState& state);

  std::unique_ptr<Slot[]> slots_;
  uint64_t next_ticket_ = 1;
  std::mutex collect_mutex_;
};

}  // namespace userdb::crash
