// A module's exports: the functions of its dynamic symbol table, which name the code of a
// module without other symbol information. ELF exports have names only: the ordinals of other
// platforms' export tables, and the "#<ordinal>" name of an export without a name, cannot
// arise here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "crash/stack/module_info.h"

namespace userdb::crash {

class ExportTable {
 public:
  // The exports of the module's file, at the module's addresses; empty when the file cannot be
  // read, is another build than the loaded module, or exports nothing.
  static std::shared_ptr<const ExportTable> Read(const ModuleInfo& module);

  ExportTable(const ExportTable&) = delete;
  ExportTable& operator=(const ExportTable&) = delete;

  // The name (as stored, mangled) of the export at exactly this address; empty for none.
  std::string_view NameAt(uintptr_t address) const;
  // The greatest export address below the given one, or the module's entry point when that
  // is greater and still below it; 0 when neither exists.
  uintptr_t NearestBelow(uintptr_t address) const;
  size_t Count() const { return exports_.size(); }
  // Calls `visit(name, address)` for every export, in ascending order of address.
  template <typename Visit>
  void ForEach(Visit&& visit) const {
    for (const Export& entry : exports_) visit(entry.name, entry.address);
  }

 private:
  struct Export {
    uintptr_t address = 0;
    std::string_view name;
  };
  struct PrivateTag {};

 public:
  ExportTable(PrivateTag, uintptr_t entry_point) : entry_point_(entry_point) {}

 private:
  std::string names_;            // reserved once: views into it hold
  std::vector<Export> exports_;  // ascending address, one an address
  uintptr_t entry_point_ = 0;
};

// The export's name at exactly this address; with `demangle`, a name that DemangleName
// accepts is given as it makes it ("<unit>.<name>", the name alone without a unit). Empty when
// no export starts there.
std::string ExportNameAt(const ExportTable& exports, uintptr_t address, bool demangle);

}  // namespace userdb::crash
