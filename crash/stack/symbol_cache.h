// The symbol tables built so far, one per module file, so that each is built once. A table is
// reused while its module's file is unchanged: same device, inode and size, and the same time
// of last modification to the nanosecond, so that a file rebuilt within the same second is
// noticed. Paths are compared exactly (file names are case-sensitive here).
//
// Only valid tables enter the cache; an invalid one belongs to its caller alone. A table that
// is dropped because its file changed stays alive for whoever still holds it. Safe from any
// number of threads: the list is guarded by a lock, which is never held while a table is built.
#pragma once

#include <sys/types.h>
#include <time.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "crash/stack/map_file.h"
#include "crash/stack/module_info.h"
#include "crash/stack/symbol_sources.h"

namespace userdb::crash {

struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};

  bool operator==(const FileStamp& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
  }
};

// The stamp of the file at `path` (links followed); none when it cannot be queried.
std::optional<FileStamp> StampOf(const std::string& path);

class SymbolCache {
 public:
  explicit SymbolCache(SymbolSourceOptions options = {}) : options_(std::move(options)) {}

  SymbolCache(const SymbolCache&) = delete;
  SymbolCache& operator=(const SymbolCache&) = delete;

  // The cached table of the module when its file is unchanged; otherwise a table built anew
  // (which replaces the cached one when valid). Invalid when the file cannot be queried or
  // no source yields symbols.
  std::shared_ptr<const TMapFile> TableFor(const ModuleInfo& module);

  size_t Count() const;

 private:
  struct Entry {
    std::string path;
    uintptr_t handle = 0;  // the same file loaded at another place needs its own addresses
    FileStamp stamp;
    std::shared_ptr<const TMapFile> table;
  };

  // The cached table of an unchanged file; drops the entry of a changed one.
  std::shared_ptr<const TMapFile> Cached(const ModuleInfo& module,
                                         const std::optional<FileStamp>& stamp);

  const SymbolSourceOptions options_;
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

}  // namespace userdb::crash
