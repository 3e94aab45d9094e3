// FindCallSite, and the removal of links, which several stages share.
#include <algorithm>

#include "crash/stack/instruction_decoder.h"
#include "crash/stack/runtime_routines.h"
#include "crash/stack/trace_state.h"

namespace userdb::crash::detail {
namespace {

// Whether an instruction starts exactly at the address, decoding the code area that holds it
// from the area's start.
bool InstructionStartsAt(const MemoryReader& memory, const CodeArea& area, uintptr_t address) {
  uintptr_t at = area.start;
  while (at < address) {
    const Instruction instruction = DecodeInstruction(memory, at);
    if (!instruction.valid) return false;
    at = instruction.Next();
  }
  return at == address;
}

}  // namespace

CallSiteFound FindCallSite(TraceState& state, size_t function, TInternalStackItem& candidate,
                           bool top) {
  CallSiteFound result;
  const FunctionListEntry& entry = state.Function(function);
  const TFunctionInfo& info = entry.info;
  if (!info.valid || entry.invalid) return result;
  if (!top) {
    if (const IndirectSite* site = info.IndirectSiteBefore(candidate.address)) {
      return {true, site->address, 0, false};
    }
    if (const CallSite* site = info.CallSiteBefore(candidate.address)) {
      return {true, site->address, site->target, true};
    }
    return result;
  }
  if (info.code_length == 0) {
    if (info.entry == candidate.address) result = {true, candidate.examined, 0, false};
    return result;
  }
  if (entry.from_symbols && !state.request.external_exception) {
    if (const CallSite* site = info.CallSiteBefore(candidate.examined);
        site != nullptr && IsRaisingRoutineName(state.context.NameOfFunctionAt(site->target))) {
      candidate.address = site->next;
      return {true, site->address, site->target, true};
    }
  }
  const CodeArea* area = info.CodeAreaAt(candidate.examined);
  if (area != nullptr && InstructionStartsAt(state.context.Memory(), *area, candidate.examined)) {
    result = {true, candidate.examined, 0, false};
  }
  return result;
}

void RemoveLinksTo(TInternalStackItem& candidate, size_t other) {
  for (TStackLinks* list : {&candidate.newer, &candidate.older}) {
    std::erase_if(list->links, [other](const TStackLink& link) { return link.other == other; });
    list->best.reset();
  }
}

void RemoveAllLinks(TraceState& state, size_t candidate) {
  TInternalStackItem& item = state.candidates[candidate];
  for (TStackLinks* list : {&item.newer, &item.older}) {
    for (const TStackLink& link : list->links) {
      if (link.other && *link.other < state.candidates.size()) {
        RemoveLinksTo(state.candidates[*link.other], candidate);
      }
    }
    list->links.clear();
    list->best.reset();
  }
}

}  // namespace userdb::crash::detail
