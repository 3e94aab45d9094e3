// Naming code addresses of this process: module, unit, function and line. Owns the module
// list and the symbol cache; the crash reporter keeps one for the life of the process, and
// stack traces on several threads may use it at once.
//
// Not for a signal handler: the look-ups here take locks, read files and allocate. The
// look-ups on a table already obtained (map_file_lookup.h) take no lock and allocate nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "crash/stack/map_file.h"
#include "crash/stack/map_file_lookup.h"
#include "crash/stack/module_list.h"
#include "crash/stack/symbol_cache.h"
#include "crash/stack/symbol_sources.h"

namespace userdb::crash {

// A location and the table its names live in, which it keeps alive.
struct Location : TableLocation {
  std::shared_ptr<const TMapFile> table;
};

class SymbolLookup {
 public:
  explicit SymbolLookup(SymbolSourceOptions options = {}) : cache_(std::move(options)) {}

  ModuleList& Modules() { return modules_; }
  SymbolCache& Cache() { return cache_; }

  // The symbol table of the module holding the address (0: the program's own executable),
  // through the cache, also kept in the module list. Invalid when no module holds the address
  // or no source yields symbols.
  std::shared_ptr<const TMapFile> SymbolTableFor(uintptr_t address);
  // The same for a module of the list.
  std::shared_ptr<const TMapFile> SymbolTableOf(size_t module_index);

  // Module file name (full path), unit, line and the public at or below the address; found is
  // false when the module has no valid table. Address 0 stands for the caller's own location.
  Location LocationInfo(uintptr_t address);

  // See map_file_lookup.h; for the module holding the address.
  std::string QualifiedProcName(uintptr_t address);
  void CachedLineLookup(uintptr_t address, int& line, uintptr_t& low, uintptr_t& high);

  // The export of the module with this handle that starts exactly at the address (see
  // export_table.h); empty when there is none or no such module is loaded.
  std::string ExportNameAt(uintptr_t module_handle, uintptr_t address, bool demangle);
  // The greatest export address of the module below the address, or its entry point when
  // that is greater and still below it; 0 when neither exists.
  uintptr_t NearestExport(uintptr_t module_handle, uintptr_t address);

 private:
  std::shared_ptr<const ExportTable> ExportsOf(uintptr_t module_handle);

  ModuleList modules_;
  SymbolCache cache_;
};

}  // namespace userdb::crash
