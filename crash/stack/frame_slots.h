// The frame slots of a stack: the slots that hold a return address for certain, because a
// frame-pointer chain or the unwind tables lead to them. They become the anchors of a trace.
//
// Safe inside a signal handler: the caller gives the room, memory is read through the
// MemoryReader given.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crash/stack/memory_reader.h"

namespace userdb::crash {

inline constexpr size_t kStackSlotSize = sizeof(uintptr_t);

// The return-address slots of the rbp chain: f + 8 when it lies above `bottom` and below
// `top`; then, while f + 8 lies below `top` and the value n at f can be read, the walk goes on
// to n when n lies above f, adding n + 8 when it lies above `bottom`. In walk order
// (ascending); at most `capacity`. Returns the number stored.
size_t CollectFramePointerSlots(const MemoryReader& stack, uintptr_t frame_pointer,
                                uintptr_t bottom, uintptr_t top, uintptr_t* slots, size_t capacity);

// Sorts the slots in ascending order and drops repeated ones, in place; returns the count
// kept.
size_t SortFrameSlots(uintptr_t* slots, size_t count);

// The frame slots of both walks, in place: the unwind tables' (the first `unwound`, in walk
// order) and the rbp chain's (the `chained` after them) that lie above the last of the unwind
// tables' slots. Where the unwind tables lead they are exact, while an rbp chain may run
// through code that uses rbp for other things (a library built without frame pointers, a
// signal handler's frame); beyond where the tables end, the chain goes on. Sorted, repeats
// dropped; returns the count kept.
size_t MergeFrameSlots(uintptr_t* slots, size_t unwound, size_t chained);

}  // namespace userdb::crash
