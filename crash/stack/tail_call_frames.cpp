// The frames of tail calls: a function that ends with a jump to another one leaves no return
// address on the stack, yet it was called and it is on its way. Between a call and the function
// that runs above it, the jumps from the called function to that one are those frames.
#include "crash/stack/instruction_decoder.h"
#include "crash/stack/trace_state.h"

namespace userdb::crash::detail {
namespace {

constexpr size_t kLongestChain = 4;          // jumps from the called function to the running one
constexpr size_t kMostFunctionVisits = 256;  // the search's work, per call
constexpr uint8_t kEndBranch64[] = {0xF3, 0x0F, 0x1E, 0xFA};

class TailCallSearch {
 public:
  TailCallSearch(TraceState& state, uintptr_t goal) : state_(state), goal_(goal) {}

  // The one chain of jumps from `function` that reaches the goal; empty when there is none,
  // more than one (two jumps to the same place count twice), or too many ways to look at.
  std::vector<TailCallHop> From(size_t function) {
    Search(function);
    return chains_ == 1 && visits_ <= kMostFunctionVisits ? found_ : std::vector<TailCallHop>{};
  }

 private:
  bool Done() const { return chains_ > 1 || visits_ > kMostFunctionVisits; }

  bool OnPath(uintptr_t entry) const {
    for (const TailCallHop& hop : path_) {
      if (state_.Function(hop.function).info.entry == entry) return true;
    }
    return false;
  }

  void Search(size_t function) {
    if (Done() || path_.size() == kLongestChain || ++visits_ > kMostFunctionVisits) return;
    // A copy: the function list may grow while the search adds the functions jumped to.
    const std::vector<CallSite> sites = state_.Function(function).info.call_sites;
    for (const CallSite& site : sites) {
      if (site.is_call) continue;
      path_.push_back({function, site.address, site.next});
      if (site.target == goal_) {
        if (++chains_ == 1) found_ = path_;
      } else if (!OnPath(site.target)) {
        const auto next =
            state_.context.AddFunctionInfo(site.target, {}, std::nullopt, false, false);
        if (next) Search(*next);
      }
      path_.pop_back();
      if (Done()) return;
    }
  }

  TraceState& state_;
  const uintptr_t goal_;
  std::vector<TailCallHop> path_;
  std::vector<TailCallHop> found_;
  size_t chains_ = 0;
  size_t visits_ = 0;
};

// The target of the call instruction that ends at the return address; 0 when none is known.
uintptr_t CallTarget(const MemoryReader& memory, uintptr_t code_address, uintptr_t return_address) {
  const Instruction call = DecodeInstruction(memory, code_address);
  if (!call.valid || call.flow != FlowKind::kCall || call.Next() != return_address ||
      !call.has_target) {
    return 0;
  }
  return call.target;
}

// A function that only jumps on (a PLT entry): it keeps no frame of its own worth showing.
bool ForwardsOnly(const MemoryReader& memory, uintptr_t entry) {
  uint8_t bytes[sizeof kEndBranch64];
  uintptr_t at = entry;
  if (memory.Read(at, bytes, sizeof bytes) &&
      std::equal(bytes, bytes + sizeof bytes, kEndBranch64)) {
    at += sizeof kEndBranch64;
  }
  return DecodeInstruction(memory, at).flow == FlowKind::kJump;
}

// Whether the module's symbols have a function starting exactly there.
bool NamedBySymbols(TraceState& state, std::optional<size_t> module, uintptr_t entry) {
  const TMapFile* table = state.context.TableOf(module);
  if (table == nullptr) return false;
  const TMfPublic at = FindPublic(*table, entry);
  return at.valid && at.address == entry;
}

}  // namespace

std::vector<TailCallHop> TailCallsBetween(TraceState& state, const TraceItem& caller,
                                          uintptr_t callee_entry) {
  const MemoryReader& memory = state.context.Memory();
  if (caller.top || callee_entry == 0 || caller.code_address == caller.address) return {};
  const uintptr_t called = CallTarget(memory, caller.code_address, caller.address);
  if (called == 0 || called == callee_entry) return {};
  const auto function = state.context.AddFunctionInfo(called, {}, std::nullopt, false, false);
  if (!function) return {};
  std::vector<TailCallHop> hops = TailCallSearch(state, callee_entry).From(*function);
  // A frame made from jumps alone is shown where the module's symbols confirm each function
  // that jumped; elsewhere nothing but the code analysis would speak for it.
  std::vector<TailCallHop> shown;
  for (const TailCallHop& hop : hops) {
    const FunctionListEntry& jumper = state.Function(hop.function);
    if (ForwardsOnly(memory, jumper.info.entry)) continue;
    if (!NamedBySymbols(state, state.context.ModuleOf(jumper.info.entry), jumper.info.entry)) {
      return {};
    }
    shown.push_back(hop);
  }
  return shown;
}

}  // namespace userdb::crash::detail
