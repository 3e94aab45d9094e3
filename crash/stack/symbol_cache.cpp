#include "crash/stack/symbol_cache.h"

#include <sys/stat.h>

namespace userdb::crash {

std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileStamp{status.st_dev, status.st_ino, status.st_size, status.st_mtim};
}

std::shared_ptr<const TMapFile> SymbolCache::Cached(const ModuleInfo& module,
                                                    const std::optional<FileStamp>& stamp) {
  const std::lock_guard lock(mutex_);
  for (size_t i = 0; i < entries_.size(); ++i) {
    Entry& entry = entries_[i];
    if (entry.path != module.path || entry.handle != module.handle) continue;
    if (stamp && entry.stamp == *stamp) return entry.table;
    // The file changed: the last entry takes this one's place.
    if (i + 1 != entries_.size()) entry = std::move(entries_.back());
    entries_.pop_back();
    break;
  }
  return nullptr;
}

std::shared_ptr<const TMapFile> SymbolCache::TableFor(const ModuleInfo& module) {
  const std::optional<FileStamp> stamp = StampOf(module.readable_path);
  if (auto cached = Cached(module, stamp)) return cached;
  if (!stamp) return TMapFile::Invalid(module);
  auto table = BuildSymbolTable(module, options_);
  if (!table->Valid()) return table;
  const std::lock_guard lock(mutex_);
  for (Entry& entry : entries_) {
    if (entry.path != module.path || entry.handle != module.handle) continue;
    // Another thread built it meanwhile: one table for all.
    if (entry.stamp == *stamp) return entry.table;
    entry.stamp = *stamp;
    entry.table = table;
    return table;
  }
  entries_.push_back({module.path, module.handle, *stamp, table});
  return table;
}

size_t SymbolCache::Count() const {
  const std::lock_guard lock(mutex_);
  return entries_.size();
}

}  // namespace userdb::crash
