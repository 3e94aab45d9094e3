// SnapshotStack: the cheap first phase of a stack trace. Taken while the thread is stopped
// (in its own signal handler, which the handling thread triggers with a real-time signal) or
// at the moment of an exception, it keeps every stack value that may be a return address;
// the thorough analysis (stack_trace.h) comes later.
//
// Runs inside a signal handler: everything here is async-signal-safe. No allocation (the
// caller gives the room), no lock, no stdio; the only system calls are getpid and
// process_vm_readv, and unwind tables are found with _dl_find_object, which takes no lock.
// It uses about 16 KB of the stack it runs on: an alternate signal stack must have that room
// beside the handler's own needs.
#pragma once

#include <signal.h>
#include <ucontext.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "crash/stack/executable_ranges.h"
#include "crash/stack/memory_reader.h"
#include "crash/stack/unwind_rules.h"

namespace userdb::crash {

// One kept stack value; `frame` tells that it was read from a return-address slot that a
// frame-pointer chain or the unwind tables lead to.
struct TPreStackItem {
  bool frame = false;
  uintptr_t value = 0;
};

// The snapshot: the kept values in scan order (from the top of the stack down).
struct TDAPreStackItem {
  std::span<const TPreStackItem> items;
};

struct SnapshotRequest {
  // The thread's registers: rip (the current address), rsp (the stack bottom when `bottom`
  // is 0), rbp (the frame pointer) and the others where known, for the unwind tables' walk.
  UnwindRegisters registers;
  uintptr_t top = 0;          // the stack's base (highest address, excluded); required
  uintptr_t bottom = 0;       // 0: the stack pointer
  bool is_exception = false;  // when not, the current address does not end the scan
  // The stack's bytes from bottom to top as they were when saved (at a throw, before the
  // unwinding overwrote them): read in place of the live stack. Null: the live stack.
  const std::byte* saved = nullptr;
};

// A copy of a thread's stack from `bottom` up, made where the stack was about to change.
struct SavedStack {
  uintptr_t bottom = 0;
  std::vector<std::byte> bytes;
};

// Room for a snapshot, given by the caller (in a signal handler: memory reserved beforehand).
struct SnapshotRoom {
  std::span<TPreStackItem> items;
  std::span<uintptr_t> frame_slots;  // working room for the frame slots
};

// The registers of a signal handler's context, in unwind-table numbering.
UnwindRegisters RegistersOf(const ucontext_t& context);
// The same from the general registers of such a context (REG_RIP and the others).
UnwindRegisters RegistersOf(std::span<const greg_t, NGREG> general);

// The frame slots of the stack from `bottom` (the stack pointer) up to `top`, ascending: the
// return-address slots that the unwind tables lead to from the registers, and beyond where
// they end, those of the frame-pointer chain (frame_slots.h). At most the room's size.
size_t CollectFrameSlots(const UnwindRegisters& registers, uintptr_t bottom, uintptr_t top,
                         const MemoryReader& stack, std::span<uintptr_t> room);

// SnapshotStack. The stack from bottom to top must belong to the calling thread (it is read in
// place once the kernel has confirmed that all of it is readable), unless it was saved. The slots
// are scanned from the top minus 8 down to the bottom; the scan stops at a slot holding the current
// address when this is an exception and that address lies in code. A value is kept when it is above
// 7 and passes the call test (the code bytes read through `code`); it is a frame value when its
// slot is the next frame slot, and then the slot below it (the saved frame pointer) is passed
// over, unless the unwind tables make that slot a frame slot too (a function without a frame
// pointer keeps no saved one there). Fails softly: the snapshot is empty when the stack is not
// readable as a whole or no top is given; values beyond the room are left out.
TDAPreStackItem SnapshotStack(const SnapshotRequest& request, const ExecutableRanges& code,
                              SnapshotRoom room);

}  // namespace userdb::crash
