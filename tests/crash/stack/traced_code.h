// Real code for the stack trace tests: small call chains whose functions record the return
// addresses of their calls, so that a test can lay out a stack of real return addresses (as a
// thread would leave it) and knows which chain the trace must find in it.
#pragma once

#include <atomic>
#include <cstdint>

namespace stacktest {

struct RecordedAddresses {
  uintptr_t in_middle = 0;            // Inner's return address: after Middle's call of Inner
  uintptr_t in_outer = 0;             // after Outer's call of Middle
  uintptr_t in_caller = 0;            // after the call of Outer
  uintptr_t a_to_b = 0;               // after RecurseA's call of RecurseB
  uintptr_t b_to_a = 0;               // after RecurseB's call of RecurseA
  uintptr_t convert_to_raise = 0;     // after ConvertRecord's call of RaiseRecordError
  uintptr_t in_convert_all = 0;       // after ConvertAll's call of ConvertRecord
  uintptr_t after_indirect_call = 0;  // after CallThrough's call through its pointer
  uintptr_t in_call_through_caller = 0;
};

extern RecordedAddresses recorded;

void Outer();
void Middle();
void Inner();
int RecurseA(int depth);
int RecurseB(int depth);
void ConvertAll(int fields);  // throws from RaiseRecordError at the fourth field
void CallThrough(void (*callback)());
void RecordReturnAddress();  // a callback for CallThrough

// A thread's chain: BlockingOuter calls BlockingMiddle calls BlockInLeaf, which waits until
// `release` is set, with `waiting` set meanwhile.
void BlockingOuter(std::atomic<bool>& waiting, std::atomic<bool>& release);

}  // namespace stacktest
