// Every thread's registers and call chain when nothing else works: inside the signal handler of
// a fault whose handling made no progress. Each thread of the process is sent a real-time
// signal of its own; its handler walks its own stack from where it was interrupted (from its
// fault, when it is itself handling one) by the unwind tables and the frame pointers, and
// keeps the return addresses in room reserved beforehand. The collecting thread walks its
// own stack from its fault.
//
// The constructor and destructor are not for a signal handler; Collect and the threads'
// handler are async-signal-safe: no allocation, no lock, no stdio.
#pragma once

#include <sys/types.h>
#include <ucontext.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "crash/capture/processor_context.h"
#include "crash/stack/module_info.h"

namespace userdb::crash {

// The signal is SIGRTMIN + this offset (the thread states and the trace request use others).
inline constexpr int kEmergencyStackSignalOffset = 6;

struct EmergencyThread {
  uint64_t state = 0;  // used through std::atomic_ref
  pid_t id = 0;
  bool answered = false;
  bool faulted = false;  // it answered from the handling of a fault of its own
  ProcessorContext context;
  size_t frame_count = 0;
  // Innermost first: the return addresses of its frames.
  uintptr_t frames[256] = {};
};

class EmergencyStacks {
 public:
  static constexpr size_t kMaxThreads = 256;
  static constexpr size_t kMaxRegions = 4096;
  static constexpr std::chrono::milliseconds kAnswerLimit{500};

  EmergencyStacks();
  ~EmergencyStacks();
  EmergencyStacks(const EmergencyStacks&) = delete;
  EmergencyStacks& operator=(const EmergencyStacks&) = delete;

  // Every thread of the process, the calling one first (walked from `own`, the registers of
  // its fault); a thread that did not answer in time is listed unanswered. At most
  // kMaxThreads; the threads' records stay valid until the next call.
  std::span<EmergencyThread> Collect(const ucontext_t& own);

  // For the signal handler only.
  void Answer(uintptr_t request, const ucontext_t& context);

 private:
  void ReadStackRegions();
  void Walk(const ucontext_t& context, EmergencyThread& thread) const;

  EmergencyThread* threads_ = nullptr;  // reserved beforehand
  AddressRange* regions_ = nullptr;
  size_t region_count_ = 0;
  uint64_t ticket_ = 0;
};

}  // namespace userdb::crash
