// Removing repeats among the candidates: a recursion's newer copies lose their anchor flag and
// become invalid; with full invalidation they lose their links too.
#include "crash/stack/repeat_blocks.h"
#include "crash/stack/trace_state.h"

namespace userdb::crash::detail {

bool RemoveRecursiveAreas(TraceState& state, bool full_invalidation) {
  auto& candidates = state.candidates;
  return RemoveRepeatedBlocks(
      candidates.size(), [&](size_t i) { return !candidates[i].invalid; },
      [&](size_t i) { return candidates[i].address; },
      [&](size_t i) {
        candidates[i].anchor = false;
        candidates[i].invalid = true;
        if (full_invalidation) RemoveAllLinks(state, i);
      },
      [&] { return state.Aborted(); });
}

}  // namespace userdb::crash::detail
