#include "crash/stack/frame_slots.h"

namespace userdb::crash {

size_t CollectFramePointerSlots(const MemoryReader& stack, uintptr_t frame_pointer,
                                uintptr_t bottom, uintptr_t top, uintptr_t* slots,
                                size_t capacity) {
  size_t count = 0;
  uintptr_t frame = frame_pointer;
  if (frame == 0 || frame > UINTPTR_MAX - kStackSlotSize) return 0;
  if (frame + kStackSlotSize > bottom && frame + kStackSlotSize < top && count < capacity) {
    slots[count++] = frame + kStackSlotSize;
  }
  while (frame + kStackSlotSize < top && count < capacity) {
    uintptr_t next;
    if (!stack.ReadValue(frame, next) || next <= frame || next > UINTPTR_MAX - kStackSlotSize) {
      break;
    }
    frame = next;
    if (frame + kStackSlotSize > bottom) slots[count++] = frame + kStackSlotSize;
  }
  return count;
}

size_t SortFrameSlots(uintptr_t* slots, size_t count) {
  // Insertion sort: the slots come in two ascending runs of a few dozen, and std::sort is not
  // promised to be free of allocation.
  for (size_t i = 1; i < count; ++i) {
    const uintptr_t value = slots[i];
    size_t j = i;
    for (; j > 0 && slots[j - 1] > value; --j) slots[j] = slots[j - 1];
    slots[j] = value;
  }
  size_t kept = 0;
  for (size_t i = 0; i < count; ++i) {
    if (kept == 0 || slots[kept - 1] != slots[i]) slots[kept++] = slots[i];
  }
  return kept;
}

size_t MergeFrameSlots(uintptr_t* slots, size_t unwound, size_t chained) {
  uintptr_t highest = 0;
  for (size_t i = 0; i < unwound; ++i) highest = slots[i] > highest ? slots[i] : highest;
  size_t kept = unwound;
  for (size_t i = unwound; i < unwound + chained; ++i) {
    if (unwound == 0 || slots[i] > highest) slots[kept++] = slots[i];
  }
  return SortFrameSlots(slots, kept);
}

}  // namespace userdb::crash
