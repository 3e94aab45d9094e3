// The frame slots that the unwind tables give: walking a stack frame by frame with the
// modules' .eh_frame rules, each frame's return-address slot is where a call left its return
// address. This makes the chain exact through code without frame pointers (libc, Qt).
//
// Safe inside a signal handler: unwind tables are found with _dl_find_object and read in place,
// stack memory only through the MemoryReader given, nothing is allocated. The walk keeps the
// rules of the last four code addresses on the stack it runs on: about 8 KB.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crash/stack/memory_reader.h"
#include "crash/stack/unwind_rules.h"

namespace userdb::crash {

// Walks from the registers (rip, rsp and what else is known) and stores, in walk order (that
// is, ascending), the address of every return-address slot that lies from `bottom` up to
// `top` (excluded); at most `capacity`. The walk ends where no unwind entry covers the code,
// a rule cannot be followed, the stack would not grow upward, or it leaves the stack.
// Returns the number stored.
size_t CollectUnwindSlots(const MemoryReader& stack, const UnwindRegisters& start, uintptr_t bottom,
                          uintptr_t top, uintptr_t* slots, size_t capacity);

}  // namespace userdb::crash
