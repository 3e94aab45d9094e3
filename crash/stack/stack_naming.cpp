// Naming: the output fields of every valid candidate, from the newest to the oldest.
#include <algorithm>

#include "crash/stack/trace_state.h"
#include "platform/case_insensitive_1252.h"

namespace userdb::crash::detail {
namespace {

constexpr char kNoModule[] = "???";

class Namer {
 public:
  Namer(TraceState& state, TraceResult& result) : state_(state), result_(result) {}

  bool Run() {
    std::optional<size_t> newer_shown;  // the valid candidate named before, above this one
    for (size_t i = state_.candidates.size(); i-- > 0;) {
      if (state_.Aborted()) return false;
      TInternalStackItem& candidate = state_.candidates[i];
      if (candidate.invalid) continue;
      Name(candidate, newer_shown);
      // The place where the thread was created lies in another thread's code: no jump of this
      // thread's leads from it.
      const bool creation = i == 0 && state_.creation_kept;
      if (!newer_shown) {
        result_.newest_code_address = candidate.output.code_address;
      } else if (!creation) {
        AddTailCallFrames(candidate.output, state_.candidates[*newer_shown].output);
      }
      newer_shown = i;
      result_.items.push_back(candidate.output);
    }
    return true;
  }

 private:
  void ChooseCodeAddress(TInternalStackItem& candidate, std::optional<size_t> newer_shown) {
    TraceItem& out = candidate.output;
    for (const TStackLink& link : candidate.older.links) {
      if (link.function && state_.Function(*link.function).approved) {
        const FunctionListEntry& function = state_.Function(*link.function);
        out.code_address = link.code_address;
        out.function_name = function.name;
        out.function_entry = function.info.entry;
        return;
      }
    }
    for (const TStackLink& link : candidate.older.links) {
      if (link.code_address != 0) {
        out.code_address = link.code_address;
        return;
      }
    }
    if (candidate.newer.best) {
      out.code_address = candidate.newer.links[*candidate.newer.best].code_address;
      return;
    }
    // Between two adjacent anchors no chain was chosen: the call that leads to the item shown
    // above this one.
    for (const TStackLink& link : candidate.newer.links) {
      if (link.other && link.other == newer_shown && link.code_address != 0) {
        out.code_address = link.code_address;
        return;
      }
    }
    out.code_address = candidate.address;
  }

  void Name(TInternalStackItem& candidate, std::optional<size_t> newer_shown) {
    TraceItem& out = candidate.output;
    out.address = candidate.address;
    out.top = candidate.top;
    ChooseCodeAddress(candidate, newer_shown);
    const bool code_address_known = candidate.top || out.code_address != candidate.address;
    Describe(out, candidate.module, code_address_known ? out.code_address : candidate.examined);
  }

  // Module, unit, line and what else the module tells of the item's code; `in_function` is an
  // address of the item's function.
  void Describe(TraceItem& out, std::optional<size_t> module_index, uintptr_t in_function) {
    TraceContext& context = state_.context;
    const ModuleInfo* module = context.InfoOf(module_index);
    out.module_name = module != nullptr ? module->file_name : kNoModule;
    if (const TMapFile* table = context.TableOf(module_index)) NameFromTable(*table, out);
    // A function that no symbol names still has its first byte in the unwind tables.
    if (out.function_entry == 0 && module != nullptr) {
      if (const auto unwind = context.UnwindEntryAt(in_function)) {
        out.function_entry = unwind->start;
      }
    }
  }

  // The functions that tail calls passed through between the caller and the item above it:
  // frames without a return address of their own, shown at their jumps.
  void AddTailCallFrames(const TraceItem& caller, const TraceItem& callee) {
    const std::vector<TailCallHop> hops = TailCallsBetween(state_, caller, callee.function_entry);
    for (auto hop = hops.rbegin(); hop != hops.rend(); ++hop) {
      const FunctionListEntry& function = state_.Function(hop->function);
      TraceItem out;
      out.address = hop->next;
      out.code_address = hop->jump;
      out.function_name = function.name;
      out.function_entry = function.info.entry;
      out.tail_call = true;
      Describe(out, state_.context.ModuleOf(hop->jump), hop->jump);
      result_.items.push_back(std::move(out));
    }
  }

  void NameFromTable(const TMapFile& table, TraceItem& out) {
    if (out.function_name.empty()) {
      const TMfPublic below = FindPublic(table, out.code_address);
      if (below.valid) {
        out.function_name = std::string(below.name);
        out.function_entry = below.address;
      }
    }
    out.unit_name = std::string(FindSegment(table, true, out.code_address).unit);
    out.line = std::max(FindLine(table, out.code_address).line, 0);
    if (out.line > 0 && state_.request.relative_lines && out.function_entry != 0) {
      out.second_line = std::max(FindLine(table, out.function_entry).line, 0);
      if (out.second_line > 0) {
        const int absolute = out.line;
        out.line = absolute - out.second_line;
        out.second_line = absolute;
      }
    }
    CollectMinimalDebug(table, out.module_name);
  }

  void CollectMinimalDebug(const TMapFile& table, const std::string& module_name) {
    if (table.MinimalDebug().empty()) return;
    std::string entry = module_name + "|" + std::string(table.MinimalDebug());
    auto& entries = result_.minimal_debug;
    if (std::none_of(entries.begin(), entries.end(), [&](const std::string& existing) {
          return platform::EqualIgnoringCase1252(existing, entry);
        })) {
      entries.push_back(std::move(entry));
    }
  }

  TraceState& state_;
  TraceResult& result_;
};

}  // namespace

bool FillFinalOutput(TraceState& state, TraceResult& result) {
  return Namer(state, result).Run();
}

}  // namespace userdb::crash::detail
