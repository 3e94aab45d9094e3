// The deep checks of a trace: each candidate's function is confirmed, and callers are linked
// to the callees their calls reach.
#include <algorithm>

#include "crash/stack/instruction_decoder.h"
#include "crash/stack/trace_state.h"

namespace userdb::crash::detail {
namespace {

constexpr uintptr_t kLongestCallBefore = 7;
constexpr uintptr_t kShortestCallBefore = 2;

class DeepChecker {
 public:
  explicit DeepChecker(TraceState& state) : state_(state), candidates_(state.candidates) {}

  bool Run() {
    const size_t count = candidates_.size();
    const size_t first = state_.creation_kept ? 1 : 0;
    for (size_t i = first; i < count; ++i) {
      if (state_.Aborted()) return false;
      state_.Progress(static_cast<int>(i * 625 / count + 25));
      if (!candidates_[i].invalid) Check(i);
    }
    return !state_.Aborted();
  }

 private:
  bool IsApproved(const TStackLink& link) {
    return link.function && state_.Function(*link.function).approved;
  }

  void Check(size_t i) {
    std::optional<TStackLink> approved;
    for (const TStackLink& link : candidates_[i].older.links) {
      if (IsApproved(link)) {
        approved = link;
        break;
      }
    }
    if (!approved && !FindApprovedFunction(i, approved)) return;
    if (approved) {
      InvalidateOtherFunctions(i, *approved);
      LinkCallees(i, approved->code_address, approved->has_target, approved->target, true);
      return;
    }
    CheckWithoutFunction(i);
  }

  // The first approved function whose code areas hold the address explains it, or the candidate
  // is invalid; false when it became invalid.
  bool FindApprovedFunction(size_t i, std::optional<TStackLink>& approved) {
    FunctionList& functions = state_.context.Functions();
    TInternalStackItem& candidate = candidates_[i];
    for (size_t f = 0; f < functions.Count(); ++f) {
      if (!functions[f].approved || functions[f].invalid ||
          !functions[f].info.CodeAreasHold(candidate.address)) {
        continue;
      }
      const CallSiteFound site = FindCallSite(state_, f, candidate, candidate.top);
      if (!site.found) {
        candidate.invalid = true;
        return false;
      }
      approved = TStackLink{std::nullopt, site.code_address, site.has_target, site.target, f, 0};
      candidate.older.links.push_back(*approved);
      return true;
    }
    return true;
  }

  // The functions of the candidate's other explanations (at other call sites) are wrong.
  void InvalidateOtherFunctions(size_t i, const TStackLink& approved) {
    std::vector<size_t> wrong;
    for (const TStackLink& link : candidates_[i].older.links) {
      if (link.code_address != approved.code_address && link.function &&
          link.function != approved.function) {
        wrong.push_back(*link.function);
      }
    }
    for (size_t function : wrong) {
      state_.Function(function).invalid = true;
      for (TInternalStackItem& candidate : candidates_) {
        for (TStackLinks* list : {&candidate.newer, &candidate.older}) {
          std::erase_if(list->links,
                        [function](const TStackLink& link) { return link.function == function; });
        }
      }
    }
  }

  // Without a function: a call instruction that ends exactly at the address, decoded from each
  // possible start before it.
  void CheckWithoutFunction(size_t i) {
    const uintptr_t address = candidates_[i].address;
    const ReadableMemoryMap& memory = state_.context.Memory();
    if (address <= 7) return;
    const auto region = memory.ReadableRangeAt(address - 1);
    if (!region) return;
    const uintptr_t lowest = std::max(address - kLongestCallBefore, region->start);
    for (uintptr_t start = lowest; start <= address - kShortestCallBefore; ++start) {
      const Instruction instruction = DecodeInstruction(memory, start);
      if (instruction.valid && instruction.flow == FlowKind::kCall &&
          instruction.Next() == address) {
        LinkCallees(i, start, instruction.has_target, instruction.target, false);
      }
    }
  }

  bool HasNewerLinkWithoutFunction(size_t i) const {
    const auto& links = candidates_[i].newer.links;
    return std::any_of(links.begin(), links.end(),
                       [](const TStackLink& link) { return !link.function; });
  }

  // Whether j explains itself by another approved function at another call site.
  bool ClaimedElsewhere(size_t j, std::optional<size_t> function, uintptr_t code_address) {
    for (const TStackLink& link : candidates_[j].older.links) {
      if (IsApproved(link) && link.function != function && link.code_address != code_address) {
        return true;
      }
    }
    return false;
  }

  void LinkCallees(size_t i, uintptr_t code_address, bool has_target, uintptr_t target,
                   bool approve) {
    std::optional<size_t> function;
    if (has_target) {
      function = state_.context.AddFunctionInfo(target, {}, std::nullopt, false, approve);
      if (!function) return;
      if (state_.Function(*function).info.HasIndirectJump()) {
        LinkCallees(i, code_address, false, 0, approve);
      }
    } else if (HasNewerLinkWithoutFunction(i)) {
      return;
    }
    for (size_t j = i + 1; j < candidates_.size(); ++j) {
      if (state_.Aborted()) return;
      TInternalStackItem& callee = candidates_[j];
      if (callee.invalid) continue;
      CallSiteFound site;
      bool fits = !function;
      if (function) {
        site = FindCallSite(state_, *function, callee, callee.top);
        fits = site.found;
        if (fits && !approve && ClaimedElsewhere(j, function, site.code_address)) fits = false;
      }
      if (fits) {
        if (!site.found && !callee.older.links.empty()) {
          const TStackLink& own = callee.older.links.front();
          site = {true, own.code_address, own.target, own.has_target};
        }
        callee.older.links.push_back(
            {i, site.code_address, site.has_target, site.target, function, 0});
        candidates_[i].newer.links.push_back({j, code_address, has_target, target, function, 0});
      }
      if (callee.anchor) break;
    }
  }

  TraceState& state_;
  std::vector<TInternalStackItem>& candidates_;
};

}  // namespace

bool InDeepChecks(TraceState& state) {
  return DeepChecker(state).Run();
}

}  // namespace userdb::crash::detail
