// What one stack trace works with: its readable-memory map, and the process-wide symbol
// lookup, function list and run-time routines; with AddFunctionInfo, which analyses functions
// into the list, and the answers the function analysis asks for.
//
// Not for a signal handler. Lives for one trace; the caller holds the function list's
// TraceLock meanwhile.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crash/stack/function_analysis.h"
#include "crash/stack/function_list.h"
#include "crash/stack/readable_memory_map.h"
#include "crash/stack/runtime_routines.h"
#include "crash/stack/symbol_lookup.h"

namespace userdb::crash {

// The process-wide pieces a trace uses; the crash reporter owns them.
struct TraceServices {
  SymbolLookup& symbols;
  FunctionList& functions;
  const RuntimeRoutines& routines;
};

class TraceContext final : public CodeSurroundings {
 public:
  TraceContext(TraceServices services, const ReadableMemoryMap& memory)
      : services_(services), memory_(memory) {}

  const ReadableMemoryMap& Memory() const { return memory_; }
  FunctionList& Functions() { return services_.functions; }
  SymbolLookup& Symbols() { return services_.symbols; }

  // The module holding the address (its code or data range), added to the module list the
  // first time it is met; none for an address in no module.
  std::optional<size_t> ModuleOf(uintptr_t address);
  const ModuleInfo* InfoOf(std::optional<size_t> module);
  // The module's symbol table when it is valid; null otherwise.
  const TMapFile* TableOf(std::optional<size_t> module);

  // AddFunctionInfo: the function at the entry point in the function list, analysed and
  // added the first time; none when its code cannot be analysed and no placeholder is asked
  // for. With `approve`, the function and every function it reaches by a jump are approved.
  std::optional<size_t> AddFunctionInfo(uintptr_t entry_point, std::string_view name,
                                        std::optional<size_t> module, bool make_placeholder,
                                        bool approve, bool from_symbols = false);

  // The name of the function that starts at the address: from the function list, the symbol
  // table or the exports; empty when none is known.
  std::string NameOfFunctionAt(uintptr_t address);

  // The line of the address in its module's symbol table; 0 when none is known.
  int LineAt(std::optional<size_t> module, uintptr_t address);

  // CodeSurroundings
  AddressRange CodeRangeAt(uintptr_t entry) override;
  std::optional<UnwindEntry> UnwindEntryAt(uintptr_t address) override;
  bool IsColdPartOf(uintptr_t entry, uintptr_t address) override;
  bool IsNamedExport(uintptr_t address) override;
  bool NeverReturns(uintptr_t address) override;

 private:
  struct KnownModule {
    std::shared_ptr<const ModuleInfo> info;
    std::shared_ptr<const TMapFile> table;  // asked for once per trace
    bool table_asked = false;
  };

  KnownModule* Known(std::optional<size_t> module);
  std::string NameForNewFunction(uintptr_t entry_point, std::optional<size_t> module);
  std::optional<size_t> AnalyzeAndAppend(uintptr_t entry_point, std::string_view name,
                                         std::optional<size_t> module, bool make_placeholder,
                                         bool from_symbols);

  TraceServices services_;
  const ReadableMemoryMap& memory_;
  std::vector<KnownModule> modules_;  // by module index
};

}  // namespace userdb::crash
