// Telling a stack overflow from other memory faults, on memory laid out as a thread's stack
// is: a guard page that cannot be read, right below the stack.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include "crash/capture/stack_overflow.h"

namespace userdb::crash {

namespace {

class GuardedStack {
 public:
  static constexpr size_t kSize = 1024 * 1024;

  GuardedStack() : guard_(static_cast<size_t>(sysconf(_SC_PAGESIZE))) {
    void* memory = mmap(nullptr, guard_ + kSize, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED) return;
    base_ = reinterpret_cast<uintptr_t>(memory);
    mprotect(memory, guard_, PROT_NONE);
  }
  ~GuardedStack() {
    if (base_ != 0) munmap(reinterpret_cast<void*>(base_), guard_ + kSize);
  }
  bool Made() const { return base_ != 0; }
  uintptr_t Guard() const { return base_; }
  uintptr_t Lowest() const { return base_ + guard_; }  // the stack's lowest address

 private:
  size_t guard_;
  uintptr_t base_ = 0;
};

TEST(StackOverflow, IsAFaultInTheGuardPageNextToTheStackPointer) {
  GuardedStack stack;
  ASSERT_TRUE(stack.Made());
  struct Case {
    const char* what;
    uintptr_t fault;
    uintptr_t stack_pointer;
    bool overflow;
  };
  const Case cases[] = {
      {"a call's push below the lowest frame", stack.Lowest() - 8, stack.Lowest(), true},
      {"a frame made below the stack, then touched", stack.Guard() + 16, stack.Guard(), true},
      {"the probe of a large frame", stack.Guard(), stack.Lowest() + 56 * 1024, true},
      {"a write through a pointer far below the frame", stack.Lowest() - 8,
       stack.Lowest() + 512 * 1024, false},
      {"a null pointer", 0, stack.Lowest() + 64, false},
      {"a readable address", stack.Lowest() + 64, stack.Lowest() + 128, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsStackOverflow(c.fault, c.stack_pointer), c.overflow) << c.what;
}

TEST(StackOverflow, NeedsAReadableStackAboveTheGuard) {
  GuardedStack stack;
  ASSERT_TRUE(stack.Made());
  // The whole stack taken away: above the guard lies nothing that could be a stack.
  mprotect(reinterpret_cast<void*>(stack.Lowest()), GuardedStack::kSize, PROT_NONE);
  EXPECT_FALSE(IsStackOverflow(stack.Lowest() - 8, stack.Lowest()));
}

}  // namespace

}  // namespace userdb::crash
