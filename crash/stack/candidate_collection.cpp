// Collecting the candidates of a trace: the snapshot's values, or every stack slot's, each
// offered and kept when it may be a return address.
#include <string>

#include "crash/stack/call_test.h"
#include "crash/stack/frame_slots.h"
#include "crash/stack/instruction_decoder.h"
#include "crash/stack/trace_state.h"
#include "crash/stack/unwind_walk.h"

namespace userdb::crash::detail {
namespace {

constexpr size_t kFirstCandidateRoom = 64;
constexpr size_t kFirstFrameSlotRoom = 64;

struct Offer {
  uintptr_t value = 0;
  bool forced = false;           // the current address offered at the end as the top item
  bool snapshot_frame = false;   // the snapshot marked the value as read from a frame slot
  bool from_frame_slot = false;  // read from the next frame slot of the stack
  bool creation = false;         // the address where the thread was created
};

class CandidateCollector {
 public:
  explicit CandidateCollector(TraceState& state)
      : state_(state), context_(state.context), memory_(state.context.Memory()) {}

  bool Collect() {
    state_.candidates.reserve(kFirstCandidateRoom);
    if (state_.request.creation_address != 0) {
      Take({.value = state_.request.creation_address, .creation = true});
      state_.creation_kept = !state_.candidates.empty();
    }
    const bool complete = state_.request.snapshot != nullptr ? OfferSnapshot() : OfferStackSlots();
    if (!complete) return false;
    if (state_.candidates.empty() || !state_.candidates.back().top) {
      Take({.value = state_.current_address, .forced = true});
    }
    return true;
  }

 private:
  bool NewestIsTop() const { return !state_.candidates.empty() && state_.candidates.back().top; }

  bool OfferSnapshot() {
    const auto items = state_.request.snapshot->items;
    for (size_t i = 0; i < items.size(); ++i) {
      if (state_.Aborted()) return false;
      state_.Progress(static_cast<int>(i * 25 / items.size()));
      Take({.value = items[i].value, .snapshot_frame = items[i].frame});
      if (NewestIsTop()) break;
    }
    return true;
  }

  std::vector<uintptr_t> FrameSlots() const {
    std::vector<uintptr_t> slots(kFirstFrameSlotRoom);
    for (;;) {
      size_t unwound = 0, chained = 0;
      const UnwindRegisters& registers = state_.request.registers;
      if (registers.known[kDwarfReturnAddress] && registers.known[kDwarfRsp]) {
        unwound = CollectUnwindSlots(memory_, registers, state_.bottom, state_.top, slots.data(),
                                     slots.size());
      }
      if (state_.request.frame_pointer != 0) {
        chained =
            CollectFramePointerSlots(memory_, state_.request.frame_pointer, state_.bottom,
                                     state_.top, slots.data() + unwound, slots.size() - unwound);
      }
      if (unwound + chained < slots.size()) {
        slots.resize(MergeFrameSlots(slots.data(), unwound, chained));
        return slots;
      }
      slots.resize(slots.size() * 2);
    }
  }

  bool OfferStackSlots() {
    const uintptr_t top = state_.top, bottom = state_.bottom;
    std::vector<uintptr_t> words((top - bottom) / kStackSlotSize);
    const uintptr_t first = top - words.size() * kStackSlotSize;
    if (words.empty() || !memory_.Read(first, words.data(), words.size() * kStackSlotSize)) {
      return true;
    }
    const std::vector<uintptr_t> frame_slots = FrameSlots();
    size_t next_frame = frame_slots.size();
    int shown = -1;
    for (size_t i = words.size(); i-- > 0;) {
      if (state_.Aborted()) return false;
      const uintptr_t slot = first + i * kStackSlotSize;
      const int position = static_cast<int>((top - slot) * 25 / (top - bottom));
      if (position != shown) state_.Progress(shown = position);
      while (next_frame > 0 && frame_slots[next_frame - 1] > slot) --next_frame;
      const bool frame = next_frame > 0 && frame_slots[next_frame - 1] == slot;
      const bool anchor = Take({.value = words[i], .from_frame_slot = frame});
      if (NewestIsTop()) break;
      // The saved frame pointer below a frame's return address is passed over, unless the
      // unwind tables make that slot a frame slot too (a function without a frame pointer).
      const bool below_is_frame =
          next_frame > 1 && frame_slots[next_frame - 2] == slot - kStackSlotSize;
      if (anchor && i > 0 && !below_is_frame) --i;
    }
    return true;
  }

  // Where the function of a candidate is looked up. The top item of a C++ exception is the
  // return address of the raising call, which may be the last instruction of its function
  // (the call never returns): its function is the one that holds the byte before it.
  uintptr_t FunctionLookupAddress(const TInternalStackItem& candidate) const {
    const bool raised = candidate.top && state_.request.is_exception &&
                        !state_.request.external_exception && candidate.examined > 0;
    return raised ? candidate.examined - 1 : candidate.examined;
  }

  // Seeks the function of a candidate in its module (step 7.4); false when it fails there.
  bool SeekFunction(TInternalStackItem& candidate, bool like_top, const ModuleInfo& module,
                    std::optional<size_t>& function, CallSiteFound& site) {
    const uintptr_t lookup = FunctionLookupAddress(candidate);
    if (const TMapFile* table = context_.TableOf(candidate.module)) {
      const TMfPublic below = FindPublic(*table, lookup);
      if (!below.valid) return false;
      const std::string name(below.name);
      function = context_.AddFunctionInfo(below.address, name, candidate.module, false, true, true);
      if (!function) return false;
      site = FindCallSite(state_, *function, candidate, like_top);
      if (site.found) return true;
      // The call may lie in code that the analysis from the entry did not reach: each call
      // target inside the function is tried as a function of its own.
      const TFunctionInfo info = state_.Function(*function).info;
      for (const CallSite& call : info.call_sites) {
        if (call.target <= info.entry) continue;
        // (A cold part may lie below the entry: the function's code runs from its lowest part.)
        if (call.target >= info.code_begin + info.code_length &&
            FindPublic(*table, call.target).address != below.address) {
          continue;
        }
        const auto label = context_.AddFunctionInfo(call.target, name + ".@label", candidate.module,
                                                    false, true, true);
        if (!label) continue;
        const CallSiteFound found = FindCallSite(state_, *label, candidate, like_top);
        if (found.found) {
          function = label;
          site = found;
          return true;
        }
      }
      function.reset();
      return false;
    }
    if (module.is_main) return true;
    const uintptr_t nearest = context_.Symbols().NearestExport(module.handle, lookup);
    if (nearest == 0) return true;
    const auto exported = context_.AddFunctionInfo(nearest, {}, candidate.module, false, true);
    if (!exported || !state_.Function(*exported).info.CodeAreasHold(candidate.address)) {
      return true;  // no function is used, and the result stands
    }
    site = FindCallSite(state_, *exported, candidate, like_top);
    if (site.found) function = exported;
    return site.found;
  }

  // Offers a value; true when it was appended as an anchor that is not the top item.
  bool Take(const Offer& offer) {
    const uintptr_t v = offer.value;
    TInternalStackItem candidate;
    // The exception's address makes a top item only where it is readable: a bad address such
    // as 0x10 (a call through a broken pointer) is also a common value of data.
    candidate.top =
        !offer.creation && (offer.forced || (state_.request.is_exception &&
                                             v == state_.current_address && memory_.IsReadable(v)));
    const bool like_top = candidate.top || offer.creation;
    candidate.address = v;
    std::optional<uintptr_t> code_address;
    if (like_top) {
      candidate.examined = v;
      uint8_t bytes[8];
      if (memory_.Read(v, bytes, sizeof bytes)) {
        const Instruction instruction = DecodeInstruction(memory_, v);
        if (instruction.valid) {
          candidate.address = instruction.Next();
          code_address = v;
        }
      }
    } else {
      candidate.examined = v - 1;
    }

    bool passed =
        v > 7 && memory_.IsReadable(candidate.examined) && (like_top || IsAfterCall(memory_, v));
    const ModuleInfo* module = nullptr;
    if (passed) {
      candidate.module = context_.ModuleOf(candidate.examined);
      module = context_.InfoOf(candidate.module);
      if (module != nullptr) {
        passed = InModuleRange(module->code, candidate.address) ||
                 InModuleRange(module->data, candidate.address);
      }
    }

    std::optional<size_t> function;
    CallSiteFound site;
    if ((passed || like_top) && module != nullptr &&
        InModuleRange(module->code, candidate.address)) {
      const bool found = SeekFunction(candidate, like_top, *module, function, site);
      if (!like_top) passed = found;
    }
    if (site.found) code_address = site.code_address;

    if (candidate.top && !site.found) {
      const bool external = state_.request.external_exception;
      if (!state_.request.is_exception || external) code_address = candidate.examined;
      uint8_t byte;
      if (external && !memory_.ReadValue(candidate.examined, byte)) {
        // A jump or call to a bad address: the top item keeps a function of its own.
        function = context_.AddFunctionInfo(candidate.address, {}, std::nullopt, true, true);
        passed = true;
      }
    }

    if (!(candidate.top || passed || offer.snapshot_frame || offer.from_frame_slot)) return false;
    candidate.anchor =
        candidate.top || offer.snapshot_frame || offer.from_frame_slot || offer.creation;
    if (code_address) {
      candidate.older.links.push_back(
          {std::nullopt, *code_address, site.has_target, site.target, function, 0});
    }
    state_.candidates.push_back(std::move(candidate));
    return state_.candidates.back().anchor && !state_.candidates.back().top;
  }

  TraceState& state_;
  TraceContext& context_;
  const ReadableMemoryMap& memory_;
};

}  // namespace

bool CollectPossibleStackItems(TraceState& state) {
  return CandidateCollector(state).Collect();
}

}  // namespace userdb::crash::detail
