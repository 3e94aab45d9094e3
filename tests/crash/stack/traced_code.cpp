// Built with frame pointers and without inlining (see CMakeLists.txt), so that each function
// is a frame of its own.
#include "tests/crash/stack/traced_code.h"

#include <stdexcept>
#include <string>

namespace stacktest {

RecordedAddresses recorded;

namespace {

volatile int sink = 0;

uintptr_t ReturnAddressOf(void* address) {
  return reinterpret_cast<uintptr_t>(address);
}

[[noreturn]] __attribute__((noinline)) void RaiseRecordError(int field) {
  recorded.convert_to_raise = ReturnAddressOf(__builtin_return_address(0));
  throw std::runtime_error("bad field " + std::to_string(field));
}

__attribute__((noinline)) void ConvertRecord(int field) {
  recorded.in_convert_all = ReturnAddressOf(__builtin_return_address(0));
  if (field > 2) RaiseRecordError(field);  // the raising call
  sink = field;
}

__attribute__((noinline)) void BlockInLeaf(std::atomic<bool>& waiting, std::atomic<bool>& release) {
  waiting = true;
  while (!release) {
  }
  sink = 1;
}

__attribute__((noinline)) void BlockingMiddle(std::atomic<bool>& waiting,
                                              std::atomic<bool>& release) {
  BlockInLeaf(waiting, release);
  sink = 2;
}

}  // namespace

__attribute__((noinline)) void Inner() {
  recorded.in_middle = ReturnAddressOf(__builtin_return_address(0));
  sink = 3;
}

__attribute__((noinline)) void Middle() {
  Inner();
  recorded.in_outer = ReturnAddressOf(__builtin_return_address(0));
  sink = 4;
}

__attribute__((noinline)) void Outer() {
  Middle();
  recorded.in_caller = ReturnAddressOf(__builtin_return_address(0));
  sink = 5;
}

__attribute__((noinline)) int RecurseA(int depth) {
  if (depth <= 0) {
    recorded.b_to_a = ReturnAddressOf(__builtin_return_address(0));
    return sink;
  }
  return RecurseB(depth - 1) + 1;
}

__attribute__((noinline)) int RecurseB(int depth) {
  recorded.a_to_b = ReturnAddressOf(__builtin_return_address(0));
  return RecurseA(depth) + 2;
}

__attribute__((noinline)) void ConvertAll(int fields) {
  for (int field = 0; field < fields; ++field) ConvertRecord(field);
  sink = 6;
}

__attribute__((noinline)) void RecordReturnAddress() {
  recorded.after_indirect_call = ReturnAddressOf(__builtin_return_address(0));
}

__attribute__((noinline)) void CallThrough(void (*callback)()) {
  recorded.in_call_through_caller = ReturnAddressOf(__builtin_return_address(0));
  callback();
  sink = 7;
}

__attribute__((noinline)) void BlockingOuter(std::atomic<bool>& waiting,
                                             std::atomic<bool>& release) {
  BlockingMiddle(waiting, release);
  sink = 8;
}

}  // namespace stacktest
