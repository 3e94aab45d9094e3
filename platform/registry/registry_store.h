// The current user's registry, kept in one regedit file. Every change is a
// read-modify-write under an exclusive flock on the file: the new content goes to a
// temporary file in the same folder, is flushed and renamed over the old file, so that
// two programs writing at once lose nothing and a crash or a full disk mid-write leaves
// the old file whole. A file that cannot be parsed is never overwritten: it is set aside
// as "<file>.bad" (or "<file>.bad.<n>" when that exists) and the hive starts empty.
//
// A change waits a few seconds at most for another program that holds the file's lock (a
// change runs on the window's thread, whose window must not hang), and then fails with a
// message that says so. Anything but a regular file at the path (a
// device, a named pipe, also behind a symbolic link) is neither read nor replaced.
//
// One store serves the whole program: create it at start and pass it on; it holds the
// file's path, the hive as last read with the file's identity and time stamps at that
// time (read again only when they change), and what it has already said on the
// diagnostics stream.
#pragma once

#include <sys/stat.h>
#include <time.h>

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <set>
#include <string>

#include "platform/locked_file.h"
#include "platform/registry/hive.h"

namespace userdb::registry {

class RegistryStore {
 public:
  // `file_path`: the hive file, created with its folders at the first change.
  // `diagnostics`: where a damaged, unreadable or unwritable file is reported, each
  // distinct report once (standard error in the program).
  // `lock_wait`: how long a change waits for another program that holds the file.
  RegistryStore(std::string file_path, std::ostream& diagnostics,
                std::chrono::milliseconds lock_wait = std::chrono::seconds(5));
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  const std::string& FilePath() const { return file_path_; }

  // The hive as the file holds it now; empty when there is no file or it cannot be read.
  // The reference stays valid, and unchanged, until the next Load.
  const Hive& Load();

  // Runs `change` on the hive as the file holds it, under the file's lock; when `change`
  // returns true the result replaces the file. Returns false when the file could not be
  // read or written (the reason goes to the diagnostics stream); the file is then as it
  // was.
  bool Update(const std::function<bool(Hive&)>& change);

 private:
  // What tells that a file is still as it was read: its identity, size and time stamps.
  struct FileStamp {
    // Nothing when the file changed so shortly before `read_start` that a change made
    // afterwards could leave the same stamps.
    static std::optional<FileStamp> Trusted(const struct stat& status, const timespec& read_start);
    bool Matches(const struct stat& status) const;

    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified;
    timespec changed;
  };

  // The hive in the locked file; nothing when the file was damaged and has been set aside.
  std::optional<Hive> ReadLocked(platform::LockedFile& file);
  platform::LockedFile LockFile();
  const Hive& Keep(Hive hive, std::optional<FileStamp> stamp);
  void Say(const std::string& report);

  std::string file_path_;
  std::ostream& diagnostics_;
  std::chrono::milliseconds lock_wait_;
  std::set<std::string> said_;
  Hive loaded_;
  std::optional<FileStamp> loaded_stamp_;
};

}  // namespace userdb::registry
