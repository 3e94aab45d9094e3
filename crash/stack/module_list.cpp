#include "crash/stack/module_list.h"

namespace userdb::crash {
namespace {

constexpr size_t kFirstRoom = 16;

// The same loaded module: one unloaded and loaded again from a rebuilt file differs in its
// build id or its ranges even at the same place.
bool SameModule(const ModuleInfo& listed, const ModuleInfo& found) {
  return listed.handle == found.handle && listed.path == found.path &&
         listed.build_id == found.build_id && listed.code.start == found.code.start &&
         listed.code.end == found.code.end && listed.data.start == found.data.start &&
         listed.data.end == found.data.end;
}

}  // namespace

ModuleList::ModuleList() {
  entries_.reserve(kFirstRoom);
}

std::optional<size_t> ModuleList::Add(uintptr_t address) {
  return Listed(LoadedModuleInfo(address));
}

std::optional<size_t> ModuleList::AddMain() {
  return Listed(MainModuleInfo());
}

std::optional<size_t> ModuleList::Listed(std::optional<ModuleInfo> module) {
  if (!module) return std::nullopt;
  const std::lock_guard lock(mutex_);
  for (size_t i = entries_.size(); i-- > 0;) {
    if (SameModule(*entries_[i].record.info, *module)) return i;
  }
  if (entries_.size() == entries_.capacity()) entries_.reserve(entries_.capacity() * 2);
  entries_.push_back({{std::make_shared<const ModuleInfo>(std::move(*module)), nullptr}, nullptr});
  return entries_.size() - 1;
}

std::optional<size_t> ModuleList::IndexHolding(uintptr_t address) const {
  const std::lock_guard lock(mutex_);
  for (size_t i = entries_.size(); i-- > 0;) {
    const ModuleInfo& module = *entries_[i].record.info;
    if (InModuleRange(module.code, address) || InModuleRange(module.data, address)) return i;
  }
  return std::nullopt;
}

std::optional<size_t> ModuleList::IndexOfHandle(uintptr_t handle) const {
  const std::lock_guard lock(mutex_);
  for (size_t i = entries_.size(); i-- > 0;) {
    if (entries_[i].record.info->handle == handle) return i;
  }
  return std::nullopt;
}

size_t ModuleList::Count() const {
  const std::lock_guard lock(mutex_);
  return entries_.size();
}

ModuleRecord ModuleList::At(size_t index) const {
  const std::lock_guard lock(mutex_);
  return entries_.at(index).record;
}

void ModuleList::SetTable(size_t index, std::shared_ptr<const TMapFile> table) {
  const std::lock_guard lock(mutex_);
  entries_.at(index).record.table = std::move(table);
}

std::shared_ptr<const ExportTable> ModuleList::Exports(size_t index) {
  std::shared_ptr<const ModuleInfo> module;
  {
    const std::lock_guard lock(mutex_);
    if (entries_.at(index).exports) return entries_[index].exports;
    module = entries_[index].record.info;
  }
  // Read without the lock: other threads go on meanwhile. Two first readers both read; the
  // first to finish is kept.
  auto exports = ExportTable::Read(*module);
  const std::lock_guard lock(mutex_);
  if (!entries_[index].exports) entries_[index].exports = std::move(exports);
  return entries_[index].exports;
}

}  // namespace userdb::crash
