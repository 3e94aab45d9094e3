// The current user's registry, kept in one regedit file. Every change is a
// read-modify-write under an exclusive flock on the file: the new content goes to a
// temporary file in the same folder, is flushed and renamed over the old file, so that
// two programs writing at once lose nothing and a crash or a full disk mid-write leaves
// the old file whole. A file that cannot be parsed is never overwritten: it is set aside
// as "<file>.bad" (or "<file>.bad.<n>" when that exists) and the hive starts empty.
//
// One store serves the whole program: create it at start and pass it on; it holds only
// the file's path and what it has already said on the diagnostics stream.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <set>
#include <string>

#include "platform/registry/hive.h"

class RegistryStore {
 public:
  // `file_path`: the hive file, created with its folders at the first change.
  // `diagnostics`: where a damaged, unreadable or unwritable file is reported, each
  // distinct report once (standard error in the program).
  RegistryStore(std::string file_path, std::ostream& diagnostics);
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  const std::string& FilePath() const { return file_path_; }

  // The hive as the file holds it now; empty when there is no file or it cannot be read.
  Hive Load();

  // Runs `change` on the hive as the file holds it, under the file's lock; when `change`
  // returns true the result replaces the file. Returns false when the file could not be
  // read or written (the reason goes to the diagnostics stream); the file is then as it
  // was.
  bool Update(const std::function<bool(Hive&)>& change);

 private:
  // The hive in the locked file at `path`; nothing when the file was damaged and has been
  // set aside.
  std::optional<Hive> ReadLocked(const std::string& path);
  void Say(const std::string& report);

  std::string file_path_;
  std::ostream& diagnostics_;
  std::set<std::string> said_;
};
