// Removing repeats: a block of candidates that repeats the block just below it (a recursion
// A B A B) keeps only its older copy.
#include "crash/stack/trace_state.h"

namespace userdb::crash::detail {
namespace {

class RepeatRemover {
 public:
  RepeatRemover(TraceState& state, bool full_invalidation)
      : state_(state), candidates_(state.candidates), full_(full_invalidation) {}

  bool Run() {
    for (bool removed = true; removed;) {
      removed = false;
      for (size_t i = candidates_.size(); i-- > 1;) {
        if (state_.Aborted()) return false;
        if (!candidates_[i].invalid && RemoveRepeatEndingAt(i)) removed = true;
      }
    }
    return true;
  }

 private:
  // The valid candidates below `index`, newest first, at most `count`.
  std::vector<size_t> ValidBelow(size_t index, size_t count) const {
    std::vector<size_t> found;
    for (size_t i = index; i-- > 0 && found.size() < count;) {
      if (!candidates_[i].invalid) found.push_back(i);
    }
    return found;
  }

  bool RemoveRepeatEndingAt(size_t newer) {
    size_t between = 0;
    std::optional<size_t> older;
    for (size_t i = newer; i-- > 0;) {
      if (candidates_[i].invalid) continue;
      if (candidates_[i].address == candidates_[newer].address) {
        older = i;
        break;
      }
      ++between;
    }
    if (!older || *older < between) return false;
    const std::vector<size_t> newer_block = ValidBelow(newer, between);
    const std::vector<size_t> older_block = ValidBelow(*older, between);
    if (older_block.size() != between) return false;
    for (size_t k = 0; k < between; ++k) {
      if (candidates_[newer_block[k]].address != candidates_[older_block[k]].address) return false;
    }
    Remove(newer);
    for (size_t index : newer_block) Remove(index);
    return true;
  }

  void Remove(size_t index) {
    candidates_[index].anchor = false;
    candidates_[index].invalid = true;
    if (full_) RemoveAllLinks(state_, index);
  }

  TraceState& state_;
  std::vector<TInternalStackItem>& candidates_;
  bool full_;
};

}  // namespace

bool RemoveRecursiveAreas(TraceState& state, bool full_invalidation) {
  return RepeatRemover(state, full_invalidation).Run();
}

}  // namespace userdb::crash::detail
