#include "crash/stack/tools/chain_comparison.h"

#include <algorithm>

#include "crash/stack/call_test.h"
#include "crash/stack/frame_slots.h"
#include "crash/stack/repeat_blocks.h"

namespace userdb::crash::demo {

ChainScore CompareChains(const Chain& reference, const Chain& printed) {
  ChainScore score{reference.size(), 0, printed.size(), 0};
  // Longest common subsequence, by rows.
  std::vector<size_t> previous(printed.size() + 1, 0), current(printed.size() + 1, 0);
  for (size_t r = 1; r <= reference.size(); ++r) {
    for (size_t p = 1; p <= printed.size(); ++p) {
      current[p] = reference[r - 1] == printed[p - 1] ? previous[p - 1] + 1
                                                      : std::max(previous[p], current[p - 1]);
    }
    std::swap(previous, current);
  }
  score.found = previous[printed.size()];
  for (uintptr_t address : printed) {
    if (std::find(reference.begin(), reference.end(), address) == reference.end()) ++score.invented;
  }
  return score;
}

Chain WithRepeatsRemoved(const Chain& chain) {
  // Oldest first, as the trace's candidates are ordered.
  const Chain oldest_first(chain.rbegin(), chain.rend());
  std::vector<bool> valid(oldest_first.size(), true);
  detail::RemoveRepeatedBlocks(
      oldest_first.size(), [&](size_t i) { return valid[i]; },
      [&](size_t i) { return oldest_first[i]; }, [&](size_t i) { valid[i] = false; },
      [] { return false; });
  Chain kept;
  for (size_t i = oldest_first.size(); i-- > 0;) {
    if (valid[i]) kept.push_back(oldest_first[i]);
  }
  return kept;
}

Chain ChainOfTrace(const TraceResult& result, const Chain& reference) {
  Chain chain;
  auto in_reference = [&](uintptr_t address) {
    return std::find(reference.begin(), reference.end(), address) != reference.end();
  };
  for (const TraceItem& item : result.items) {
    if (item.tail_call) continue;
    uintptr_t key = item.top ? item.code_address : item.address;
    if (!in_reference(key)) {
      if (in_reference(item.code_address)) key = item.code_address;
      if (in_reference(item.address)) key = item.address;
    }
    chain.push_back(key);
  }
  return chain;
}

Chain FramePointerChain(const MemoryReader& memory, uintptr_t current, uintptr_t frame_pointer,
                        uintptr_t bottom, uintptr_t top) {
  Chain chain{current};
  uintptr_t frame = frame_pointer;
  while (frame >= bottom && frame + 2 * kStackSlotSize <= top) {
    uintptr_t next = 0, return_address = 0;
    if (!memory.ReadValue(frame, next) ||
        !memory.ReadValue(frame + kStackSlotSize, return_address)) {
      break;
    }
    if (return_address == 0) break;
    chain.push_back(return_address);
    if (next <= frame) break;
    frame = next;
  }
  return chain;
}

Chain NaiveScanChain(const MemoryReader& memory, uintptr_t current, uintptr_t bottom,
                     uintptr_t top) {
  Chain chain{current};
  for (uintptr_t slot = bottom; slot + kStackSlotSize <= top; slot += kStackSlotSize) {
    uintptr_t value;
    if (memory.ReadValue(slot, value) && value > 7 && IsAfterCall(memory, value)) {
      chain.push_back(value);
    }
  }
  return chain;
}

}  // namespace userdb::crash::demo
