#include "crash/stack/trace_context.h"

#include "crash/stack/demangle.h"

namespace userdb::crash {

std::optional<size_t> TraceContext::ModuleOf(uintptr_t address) {
  if (address == 0) return std::nullopt;
  ModuleList& modules = services_.symbols.Modules();
  if (auto index = modules.IndexHolding(address)) return index;
  if (!memory_.IsReadable(address)) return std::nullopt;
  return modules.Add(address);
}

TraceContext::KnownModule* TraceContext::Known(std::optional<size_t> module) {
  if (!module) return nullptr;
  if (*module >= modules_.size()) modules_.resize(*module + 1);
  KnownModule& known = modules_[*module];
  if (!known.info) known.info = services_.symbols.Modules().At(*module).info;
  return &known;
}

const ModuleInfo* TraceContext::InfoOf(std::optional<size_t> module) {
  KnownModule* known = Known(module);
  return known != nullptr ? known->info.get() : nullptr;
}

const TMapFile* TraceContext::TableOf(std::optional<size_t> module) {
  KnownModule* known = Known(module);
  if (known == nullptr) return nullptr;
  if (!known->table_asked) {
    known->table_asked = true;
    auto table = services_.symbols.SymbolTableOf(*module);
    if (table->Valid()) known->table = std::move(table);
  }
  return known->table.get();
}

int TraceContext::LineAt(std::optional<size_t> module, uintptr_t address) {
  const TMapFile* table = TableOf(module);
  if (table == nullptr) return 0;
  const int line = FindLine(*table, address).line;
  return line > 0 ? line : 0;
}

std::string TraceContext::NameForNewFunction(uintptr_t entry_point, std::optional<size_t> module) {
  if (const TMapFile* table = TableOf(module)) {
    const TMfPublic below = FindPublic(*table, entry_point);
    if (below.valid) return std::string(below.name);
  }
  if (const ModuleInfo* info = InfoOf(module)) {
    return services_.symbols.ExportNameAt(info->handle, entry_point, true);
  }
  return {};
}

std::optional<size_t> TraceContext::AnalyzeAndAppend(uintptr_t entry_point, std::string_view name,
                                                     std::optional<size_t> module,
                                                     bool make_placeholder, bool from_symbols) {
  if (!module) module = ModuleOf(entry_point);
  TFunctionInfo info = AnalyzeFunction(memory_, entry_point, *this);
  if (!info.valid) {
    if (!make_placeholder) return std::nullopt;
    info = PlaceholderFunction(entry_point);
  }
  FunctionListEntry entry;
  entry.module_index = module;
  entry.name = name.empty() ? NameForNewFunction(entry_point, module) : std::string(name);
  entry.info = std::move(info);
  entry.from_symbols = from_symbols;
  return services_.functions.Append(std::move(entry));
}

std::optional<size_t> TraceContext::AddFunctionInfo(uintptr_t entry_point, std::string_view name,
                                                    std::optional<size_t> module,
                                                    bool make_placeholder, bool approve,
                                                    bool from_symbols) {
  FunctionList& functions = services_.functions;
  std::optional<size_t> index = functions.IndexOfEntry(entry_point);
  if (index && (!approve || functions[*index].approved)) return index;
  if (!index) index = AnalyzeAndAppend(entry_point, name, module, make_placeholder, from_symbols);
  if (!index) return index;

  // The functions it reaches by jumps are added too, with the same approval; without
  // recursion, as chains of tail calls may be long.
  std::vector<size_t> pending{*index};
  while (!pending.empty()) {
    const size_t current = pending.back();
    pending.pop_back();
    if (approve) functions[current].approved = true;
    std::vector<uintptr_t> targets;
    for (const CallSite& site : functions[current].info.call_sites) {
      if (!site.is_call) targets.push_back(site.target);
    }
    for (uintptr_t target : targets) {
      if (const auto listed = functions.IndexOfEntry(target)) {
        if (approve && !functions[*listed].approved) pending.push_back(*listed);
      } else if (const auto added = AnalyzeAndAppend(target, {}, std::nullopt, false, false)) {
        pending.push_back(*added);
      }
    }
  }
  return index;
}

std::string TraceContext::NameOfFunctionAt(uintptr_t address) {
  FunctionList& functions = services_.functions;
  if (const auto listed = functions.IndexOfEntry(address);
      listed && !functions[*listed].name.empty()) {
    return functions[*listed].name;
  }
  const auto module = ModuleOf(address);
  if (const TMapFile* table = TableOf(module)) {
    const TMfPublic at = FindPublic(*table, address);
    if (at.valid && at.address == address) return std::string(at.name);
  }
  if (const ModuleInfo* info = InfoOf(module)) {
    return services_.symbols.ExportNameAt(info->handle, address, true);
  }
  return {};
}

AddressRange TraceContext::CodeRangeAt(uintptr_t entry) {
  if (const ModuleInfo* info = InfoOf(ModuleOf(entry))) {
    if (info->code.start <= entry && entry < info->code.end) return info->code;
  }
  // Code outside every module (generated at run time): the readable region that holds it.
  return memory_.ReadableRangeAt(entry).value_or(AddressRange{});
}

std::optional<UnwindEntry> TraceContext::UnwindEntryAt(uintptr_t address) {
  UnwindEntry entry;
  if (!memory_.IsReadable(address) || !FindUnwindEntry(address, entry)) return std::nullopt;
  return entry;
}

bool TraceContext::IsColdPartOf(uintptr_t entry, uintptr_t address) {
  const TMapFile* table = TableOf(ModuleOf(entry));
  if (table == nullptr) return false;
  const TMfPublic function = FindPublic(*table, entry);
  const TMfPublic part = FindPublic(*table, address);
  if (!function.valid || !part.valid || function.address != entry || part.address != address) {
    return false;
  }
  const std::string cold = std::string(function.name) + ".cold";
  return part.name.starts_with(cold);
}

bool TraceContext::IsNamedExport(uintptr_t address) {
  const ModuleInfo* info = InfoOf(ModuleOf(address));
  return info != nullptr && !services_.symbols.ExportNameAt(info->handle, address, false).empty();
}

bool TraceContext::NeverReturns(uintptr_t address) {
  return services_.routines.NeverReturns(address);
}

}  // namespace userdb::crash
