#include "crash/stack/unwind_walk.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <ucontext.h>
#include <unwind.h>

#include <cstdlib>
#include <vector>

#include "crash/stack/stack_snapshot.h"

namespace userdb::crash {
namespace {

struct Walks {
  std::vector<uintptr_t> ours;       // the values in the return-address slots we found
  std::vector<uintptr_t> reference;  // the return addresses libgcc's unwinder finds
};

Walks* walks = nullptr;  // reached by the comparison function, which qsort calls

uintptr_t OwnStackTop() {
  pthread_attr_t attributes;
  void* low = nullptr;
  size_t size = 0;
  pthread_getattr_np(pthread_self(), &attributes);
  pthread_attr_getstack(&attributes, &low, &size);
  pthread_attr_destroy(&attributes);
  return reinterpret_cast<uintptr_t>(low) + size;
}

_Unwind_Reason_Code AddFrame(_Unwind_Context* context, void* frames) {
  static_cast<std::vector<uintptr_t>*>(frames)->push_back(_Unwind_GetIP(context));
  return _URC_NO_REASON;
}

__attribute__((noinline)) int CompareAndWalk(const void* a, const void* b) {
  if (walks->ours.empty()) {
    ucontext_t context;
    getcontext(&context);
    UnwindRegisters registers = RegistersOf(context);
    registers.rip_is_return_address = true;  // getcontext's own return address
    std::vector<uintptr_t> slots(256);
    const KernelMemoryReader stack;
    const size_t count = CollectUnwindSlots(stack, registers, registers.value[kDwarfRsp],
                                            OwnStackTop(), slots.data(), slots.size());
    for (size_t i = 0; i < count; ++i) {
      walks->ours.push_back(*reinterpret_cast<const uintptr_t*>(slots[i]));
    }
    _Unwind_Backtrace(AddFrame, &walks->reference);
  }
  return *static_cast<const int*>(a) - *static_cast<const int*>(b);
}

// Through the C library's qsort, built without frame pointers, the walk finds every frame
// that libgcc's unwinder finds, in the same order.
TEST(UnwindWalkTest, FindsTheFramesOfCodeWithoutFramePointers) {
  Walks found;
  walks = &found;
  int values[] = {4, 1, 3, 2};
  qsort(values, 4, sizeof values[0], CompareAndWalk);
  walks = nullptr;

  ASSERT_GE(found.reference.size(), 6u);
  // The reference's first frame is the comparison function itself, at its call.
  const std::vector<uintptr_t> expected(found.reference.begin() + 1, found.reference.end());
  ASSERT_GE(found.ours.size(), 5u);
  const size_t compared = std::min(found.ours.size(), expected.size());
  EXPECT_GE(compared + 1, expected.size());  // at most the outermost frame may be missing
  for (size_t i = 0; i < compared; ++i) EXPECT_EQ(found.ours[i], expected[i]) << "frame " << i;
}

TEST(UnwindWalkTest, StopsWhereNoUnwindEntryCoversTheCode) {
  UnwindRegisters registers;
  registers.Set(kDwarfReturnAddress, 0x10);
  registers.Set(kDwarfRsp, 0x7000);
  uintptr_t slots[4];
  EXPECT_EQ(CollectUnwindSlots(KernelMemoryReader(), registers, 0x7000, 0x8000, slots, 4), 0u);
}

}  // namespace
}  // namespace userdb::crash
