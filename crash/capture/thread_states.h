// Every thread's registers at one moment, collected without stopping the process for long:
// each thread is sent a real-time signal whose handler records its processor context (and,
// through the stack snapshot hook, its stack) and returns. A thread that does not answer in
// time (it blocks the signal, or it is stopped) stays unanswered. A thread that is handling
// a fatal signal of its own answers with its registers at the fault and the stack from there.
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
#include "crash/capture/stack_snapshot_hook.h"
#include "crash/stack/executable_ranges.h"
#include "crash/stack/stack_snapshot.h"

namespace userdb::crash {

// The signal is SIGRTMIN + this offset. (The trace request uses another one.)
inline constexpr int kThreadStateSignalOffset = 4;

struct ThreadState {
  pid_t id = 0;
  bool answered = false;
  // It answered from the handling of a fatal signal: the context and the snapshot are those
  // of its fault.
  bool faulted = false;
  ProcessorContext context;  // when answered
  // The thread's stack snapshot, in scan order, and the top of the stack it was taken up to
  // (0 when none was taken).
  std::vector<TPreStackItem> stack_snapshot;
  uintptr_t stack_top = 0;
};

class ThreadStateCollector {
 public:
  // A waiting thread answers as soon as the scheduler runs it, which on a busy machine, or in
  // a run of lowered priority, can take tens of milliseconds; only a thread that blocks the
  // signal or is stopped costs the whole limit.
  static constexpr std::chrono::milliseconds kAnswerLimit{1000};
  static constexpr size_t kMaxThreads = 1024;
  // The room of one thread's snapshot: the values kept beyond it (the newest frames of a
  // very deep stack) are left out.
  static constexpr size_t kSnapshotItems = 8192;
  static constexpr size_t kSnapshotFrameSlots = 4096;

  // With `code` (the executable segments, which every collection refreshes), each answer
  // carries the thread's stack snapshot; without, registers only.
  explicit ThreadStateCollector(ExecutableRanges* code = nullptr);
  ~ThreadStateCollector();
  ThreadStateCollector(const ThreadStateCollector&) = delete;
  ThreadStateCollector& operator=(const ThreadStateCollector&) = delete;

  // Asks each of the threads of this process at once and waits at most `limit` for all
  // answers. The calling thread answers for itself at once; threads beyond kMaxThreads stay
  // unanswered. Several callers are served one after the other.
  std::vector<ThreadState> Collect(std::span<const pid_t> threads,
                                   std::chrono::milliseconds limit = kAnswerLimit);

  // For the signal handler only.
  void Answer(uintptr_t request, const ucontext_t& context);

 private:
  struct Slot;
  void AnswerForSelf(ThreadState& state) const;

  ExecutableRanges* const code_;
  std::unique_ptr<Slot[]> slots_;
  // The memory regions of the current collection, where its handlers find their stacks.
  std::shared_ptr<const StackRegions> regions_;
  uint64_t next_ticket_ = 1;
  std::mutex collect_mutex_;
};

}  // namespace userdb::crash
