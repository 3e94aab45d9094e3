// The place where a thread's stack snapshot is taken: inside the thread's own handler of the
// thread-state signal (thread_states.h), while the thread stands still, into room that the
// collecting thread prepared before it sent the signals. The snapshot (stack_snapshot.h) keeps
// every value of the stack, from the stack pointer up to the stack's top, that may be a return
// address; each thread's call stack is traced from it later.
//
// SnapshotThreadStack and StackRegions::TopOf run inside a signal handler: async-signal-safe
// only (no allocation, no locks, no stdio). StackRegions::OfThisProcess is not.
#pragma once

#include <ucontext.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "crash/stack/executable_ranges.h"
#include "crash/stack/module_info.h"
#include "crash/stack/stack_snapshot.h"

namespace userdb::crash {

// The readable memory regions of the process at one moment, where the threads' stacks lie.
class StackRegions {
 public:
  // No stack reaches beyond this above its stack pointer, so that a thread caught on a signal
  // stack inside a large heap region is not scanned through all of it.
  static constexpr uintptr_t kMostStackBytes = 64 << 20;

  // The regions now, from /proc/self/maps. Not for a signal handler.
  static StackRegions OfThisProcess();
  explicit StackRegions(std::vector<AddressRange> regions) : regions_(std::move(regions)) {}

  // The top (highest address, excluded) of the stack that holds `stack_pointer`: the end of
  // its region, for a thread of the C library the start of its thread control block when that
  // lies above the stack pointer in the same region (the library keeps the block at the top
  // of the thread's stack mapping, where the kernel may also have merged the mapping with
  // memory above it); 0 when no region holds the stack pointer. Safe inside a signal handler.
  uintptr_t TopOf(uintptr_t stack_pointer, uintptr_t thread_control_block) const;

 private:
  std::vector<AddressRange> regions_;  // ascending
};

// StackRegions::TopOf over readable regions given in ascending order. Safe inside a signal
// handler.
uintptr_t StackTopIn(std::span<const AddressRange> regions, uintptr_t stack_pointer,
                     uintptr_t thread_control_block);

struct ThreadSnapshot {
  size_t count = 0;   // the snapshot's values, at the start of the room's items
  uintptr_t top = 0;  // the top of the stack that was scanned; 0 when none was found
};

// The snapshot of the interrupted thread's stack (`context` as its signal handler got it),
// taken in the calling thread, which must be the interrupted one. Safe inside a signal handler.
ThreadSnapshot SnapshotThreadStack(const ucontext_t& context, const ExecutableRanges& code,
                                   const StackRegions& regions, SnapshotRoom room);

}  // namespace userdb::crash
