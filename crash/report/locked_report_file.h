// A bug report file opened for reading and writing without sharing: it is locked
// exclusively (flock) while it is read and written, so that the program's other instances,
// which write the same file, wait for each other instead of mixing their reports.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/locked_file.h"

namespace userdb::crash {

class LockedReportFile {
 public:
  // Opens the regular file at `path`, created when missing, and locks it, waiting up to
  // `lock_wait` for another holder of the lock. When another writer replaced the file
  // while this one waited, the file now at `path` is opened instead.
  static LockedReportFile Open(const std::string& path, std::chrono::milliseconds lock_wait);

  bool IsOpen() const { return file_.IsOpen(); }
  // Why it did not open: the errno of the open, EWOULDBLOCK when the lock stayed held for
  // the whole wait, kNotRegularFile or EISDIR for something other than a regular file.
  int OpenError() const { return file_.OpenError(); }

  // The contents, read once under the lock and kept by this object; none when they cannot
  // be read. A copy rather than a mapped view: a program that does not take the lock (an
  // editor saving the file) may shorten the file meanwhile, and a mapped view would then
  // kill the process, which here is the crash reporter itself.
  std::optional<std::string_view> Contents();

  // Writes `bytes` after the contents. A failed write (a full disk) leaves the file as it
  // was.
  bool Append(std::string_view bytes) { return file_.Append(bytes); }

  // Makes `first` followed by `second` the whole contents. Where it can, a completely
  // written file is renamed over this one, so that a failed write leaves the file as it
  // was; where it cannot (a folder that takes no new files, another owner's file, a file
  // with several names), the file is rewritten in place after its room is reserved.
  bool Replace(std::string_view first, std::string_view second) {
    return file_.Replace({first, second}, platform::Replacement::kByRenameOrInPlace).Done();
  }

 private:
  explicit LockedReportFile(platform::LockedFile file) : file_(std::move(file)) {}

  platform::LockedFile file_;
  std::optional<std::string> contents_;
};

}  // namespace userdb::crash
