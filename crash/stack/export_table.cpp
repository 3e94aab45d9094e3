#include "crash/stack/export_table.h"

#include <elf.h>

#include <algorithm>

#include "crash/stack/demangle.h"
#include "crash/stack/elf_file.h"
#include "crash/stack/elf_symbols.h"

namespace userdb::crash {

std::shared_ptr<const ExportTable> ExportTable::Read(const ModuleInfo& module) {
  auto table = std::make_shared<ExportTable>(PrivateTag{}, module.entry_point);
  const auto file = detail::ElfFile::Open(module.readable_path);
  // A file replaced on disk while its module stays loaded is another build: its exports lie
  // elsewhere.
  if (!file || (!module.build_id.empty() && file->BuildId() != module.build_id)) return table;
  const auto functions = detail::FunctionSymbols(file->Get(), SHT_DYNSYM);
  size_t room = 0;
  for (const auto& function : functions) room += function.name.size();
  table->names_.reserve(room);
  for (const auto& function : functions) {
    if (function.address > UINTPTR_MAX - module.bias) continue;
    const uintptr_t address = function.address + module.bias;
    if (!table->exports_.empty() && table->exports_.back().address == address) continue;
    const size_t at = table->names_.size();
    table->names_.append(function.name);
    table->exports_.push_back({address, std::string_view(table->names_).substr(at)});
  }
  return table;
}

std::string_view ExportTable::NameAt(uintptr_t address) const {
  const auto found = std::lower_bound(
      exports_.begin(), exports_.end(), address,
      [](const Export& entry, uintptr_t wanted) { return entry.address < wanted; });
  return found != exports_.end() && found->address == address ? found->name : std::string_view();
}

uintptr_t ExportTable::NearestBelow(uintptr_t address) const {
  const auto first_not_below = std::lower_bound(
      exports_.begin(), exports_.end(), address,
      [](const Export& entry, uintptr_t wanted) { return entry.address < wanted; });
  uintptr_t nearest = first_not_below == exports_.begin() ? 0 : std::prev(first_not_below)->address;
  if (entry_point_ > nearest && entry_point_ < address) nearest = entry_point_;
  return nearest;
}

std::string ExportNameAt(const ExportTable& exports, uintptr_t address, bool demangle) {
  const std::string_view name = exports.NameAt(address);
  if (name.empty() || !demangle) return std::string(name);
  const DemangledName demangled = DemangleName(name);
  if (!demangled.accepted) return std::string(name);
  if (demangled.unit.empty()) return demangled.name;
  return demangled.unit + "." + demangled.name;
}

}  // namespace userdb::crash
