#include "crash/stack/symbol_lookup.h"

namespace userdb::crash {

std::shared_ptr<const TMapFile> SymbolLookup::SymbolTableFor(uintptr_t address) {
  const auto index = address != 0 ? modules_.Add(address) : modules_.AddMain();
  if (!index) return TMapFile::Invalid(ModuleInfo());
  return SymbolTableOf(*index);
}

std::shared_ptr<const TMapFile> SymbolLookup::SymbolTableOf(size_t module_index) {
  const ModuleRecord record = modules_.At(module_index);
  auto table = cache_.TableFor(*record.info);
  if (table->Valid() && table != record.table) modules_.SetTable(module_index, table);
  return table;
}

// Not inlined, so that the return address is the caller's location.
__attribute__((noinline)) Location SymbolLookup::LocationInfo(uintptr_t address) {
  if (address == 0) address = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
  Location location;
  location.table = SymbolTableFor(address);
  static_cast<TableLocation&>(location) = crash::LocationInfo(*location.table, address);
  return location;
}

std::string SymbolLookup::QualifiedProcName(uintptr_t address) {
  return crash::QualifiedProcName(*SymbolTableFor(address), address);
}

void SymbolLookup::CachedLineLookup(uintptr_t address, int& line, uintptr_t& low, uintptr_t& high) {
  if (address == 0 || (line != 0 && low <= address && address < high)) return;
  crash::CachedLineLookup(*SymbolTableFor(address), address, line, low, high);
}

std::shared_ptr<const ExportTable> SymbolLookup::ExportsOf(uintptr_t module_handle) {
  auto index = modules_.IndexOfHandle(module_handle);
  if (!index) index = modules_.Add(module_handle);
  if (!index || modules_.At(*index).info->handle != module_handle) return nullptr;
  return modules_.Exports(*index);
}

std::string SymbolLookup::ExportNameAt(uintptr_t module_handle, uintptr_t address, bool demangle) {
  const auto exports = ExportsOf(module_handle);
  return exports ? crash::ExportNameAt(*exports, address, demangle) : std::string();
}

uintptr_t SymbolLookup::NearestExport(uintptr_t module_handle, uintptr_t address) {
  const auto exports = ExportsOf(module_handle);
  return exports ? exports->NearestBelow(address) : 0;
}

}  // namespace userdb::crash
