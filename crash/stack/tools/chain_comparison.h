// Comparing a chain of code addresses with the reference chain that the unwind tables give:
// how many reference frames a method found, in order, and how many it printed that are none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "crash/stack/stack_trace.h"

namespace userdb::crash::demo {

// A chain, newest first: the current address, then return addresses.
using Chain = std::vector<uintptr_t>;

struct ChainScore {
  size_t reference = 0;  // frames in the reference
  size_t found = 0;      // reference frames found in order (the longest common subsequence)
  size_t printed = 0;
  size_t invented = 0;  // printed frames not in the reference
};

ChainScore CompareChains(const Chain& reference, const Chain& printed);

// The chain with its recursion shown once, as the trace shows it (A B A B A B as A B).
Chain WithRepeatsRemoved(const Chain& chain);

// A trace's items as a chain: the top item by its code address, the others by their return
// address; an item that matches the reference by its code address instead counts as well. The
// frames of tail calls are left out: they have no return address, and the reference holds
// return addresses only.
Chain ChainOfTrace(const TraceResult& result, const Chain& reference);

// The chain of a plain frame-pointer walk: the current address, then [rbp + 8] up the rbp chain.
Chain FramePointerChain(const MemoryReader& memory, uintptr_t current, uintptr_t frame_pointer,
                        uintptr_t bottom, uintptr_t top);

// The chain of a naive scan: the current address, then every stack value that follows a call,
// from the stack pointer up.
Chain NaiveScanChain(const MemoryReader& memory, uintptr_t current, uintptr_t bottom,
                     uintptr_t top);

}  // namespace userdb::crash::demo
