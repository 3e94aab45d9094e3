// The modules that the crash reporter has met so far, each with its symbol table and its
// exports once they are known. Entries are only ever added, so an index names the same module
// for as long as the list lives. Safe from any number of threads: the list is guarded by a
// lock, and what it hands out (descriptions, tables, exports) is shared and never changes.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "crash/stack/export_table.h"
#include "crash/stack/map_file.h"
#include "crash/stack/module_info.h"

namespace userdb::crash {

struct ModuleRecord {
  std::shared_ptr<const ModuleInfo> info;
  std::shared_ptr<const TMapFile> table;  // none until a valid table was built for it
};

class ModuleList {
 public:
  ModuleList();  // room for 16 modules at first; it doubles when full

  ModuleList(const ModuleList&) = delete;
  ModuleList& operator=(const ModuleList&) = delete;

  // The index of the loaded module whose segments hold the address, added the first time it
  // is met; none when no module holds it or its name or headers cannot be read. A module that
  // was unloaded and replaced by another at the same place (or by a rebuilt file of the same
  // name) gets an entry of its own.
  std::optional<size_t> Add(uintptr_t address);
  // The program's own executable, added the first time.
  std::optional<size_t> AddMain();

  // The most recently added module whose code or data range holds the address (above the
  // range's start, at or below its end); none when no listed module's does.
  std::optional<size_t> IndexHolding(uintptr_t address) const;
  // The most recently added module with this handle (load base).
  std::optional<size_t> IndexOfHandle(uintptr_t handle) const;

  size_t Count() const;
  ModuleRecord At(size_t index) const;  // index below Count()

  void SetTable(size_t index, std::shared_ptr<const TMapFile> table);
  // The module's exports, read from its file the first time they are asked for.
  std::shared_ptr<const ExportTable> Exports(size_t index);

 private:
  struct Entry {
    ModuleRecord record;
    std::shared_ptr<const ExportTable> exports;
  };

  std::optional<size_t> Listed(std::optional<ModuleInfo> module);

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

}  // namespace userdb::crash
