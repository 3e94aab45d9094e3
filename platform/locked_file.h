// Regular files opened under an exclusive flock, read whole, appended to and replaced
// atomically: the one way this program changes a file that other programs (or its own
// other instances) may change at the same time.
//
// Only regular files are taken: a folder, device, named pipe or socket at the path (also
// behind a symbolic link) is refused before anything is read or written, and opening one
// never blocks. A symbolic link to a regular file is followed; the file it names is the
// one replaced, and the link stays.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace userdb::platform {

// How long an open waits for another holder of the file's lock.
class LockWait {
 public:
  static LockWait None() { return LockWait(std::chrono::milliseconds(0)); }
  static LockWait For(std::chrono::milliseconds limit) { return LockWait(limit); }
  // Until the lock is free, however long that takes. Never on the window's thread: its
  // window would stop answering.
  static LockWait Unlimited() { return LockWait(std::nullopt); }

  const std::optional<std::chrono::milliseconds>& Limit() const { return limit_; }

 private:
  explicit LockWait(std::optional<std::chrono::milliseconds> limit) : limit_(limit) {}
  std::optional<std::chrono::milliseconds> limit_;
};

// The open error of a path that names something other than a regular file (a device, a
// named pipe, a socket); a folder gives EISDIR. Not an errno value.
inline constexpr int kNotRegularFile = -1;

// The text for an open error of this module: the system's text, or "Not a regular file".
std::string OpenErrorText(int error_number);

// The regular file at `path`, opened with `flags` (O_RDONLY, O_WRONLY or O_RDWR, and
// O_CREAT with `create_mode`) but never blocking on the open itself, and its status. On
// failure `fd` is not valid and `error_number` tells why.
struct RegularFile {
  UniqueFd fd;
  struct stat status {};
  int error_number = 0;
};
RegularFile OpenRegularFile(const std::string& path, int flags, mode_t create_mode = 0666);

// The whole file from its start to its end, however long it is by now; nothing when it
// cannot be read or holds more than `max_size` bytes.
std::optional<std::string> ReadWholeFd(int fd, size_t max_size, size_t expected_size = 0);

// Takes a read lease on `fd`, opened for reading only: false when another process has the
// file open for writing. While the lease is held, a writer's open waits until `fd` is
// closed. Where the kernel grants no lease (another user's file, a file system without
// leases) the answer is true, unchecked.
bool DenyOtherWriters(int fd);

// Writes every byte at `offset` (a short write of a full disk fails with ENOSPC); false
// with errno set when it could not.
bool WriteAllAt(int fd, off_t offset, std::string_view bytes);

// Creates a new temporary file ".<prefix>.XXXXXX" in `folder` ("" for the current one),
// locked exclusively until it is closed, and removes such files there that writers killed
// before their rename left behind. Gives an invalid descriptor, errno set, when the folder
// takes no new file.
UniqueFd CreateTemporaryFile(const std::string& folder, std::string_view prefix,
                             std::string& temporary_path);

// How a write ended. A failure has the errno of the step that failed (ENOSPC for a short
// write) and tells whether the bytes could not be written or the file could not be made.
struct WriteResult {
  enum class Failure { kNone, kData, kFile };
  Failure failure = Failure::kNone;
  int error_number = 0;

  bool Done() const { return failure == Failure::kNone; }
};

// How a file's whole contents are replaced.
enum class Replacement {
  // Always by renaming a completely written and flushed file over it.
  kByRename,
  // By renaming where the file is this user's and has one name; otherwise, or when the
  // folder takes no new file, rewritten in place after its room is reserved.
  kByRenameOrInPlace,
};

class LockedFile {
 public:
  struct Options {
    int access = 0;  // O_RDONLY, O_WRONLY or O_RDWR
    mode_t create_mode = 0666;
  };

  // Opens the regular file at `path`, created when missing, and locks it exclusively,
  // waiting as `wait` says for another holder of the lock. When another writer replaced
  // the file while this one waited, the file now at `path` is opened instead. A file
  // system without flock gives the file unlocked rather than not at all.
  static LockedFile Open(const std::string& path, Options options, LockWait wait);

  bool IsOpen() const { return fd_.Valid(); }
  // Why it did not open: the errno of the open, EWOULDBLOCK when the lock stayed held
  // for the whole wait, kNotRegularFile or EISDIR for something other than a file.
  int OpenError() const { return open_error_; }
  // The file itself, symbolic links resolved.
  const std::string& ResolvedPath() const { return resolved_path_; }
  // As it was when locked.
  const struct stat& Status() const { return status_; }
  // Whether this open created the file.
  bool Created() const { return created_; }

  // As the free function, for a file opened for reading only.
  bool DenyOtherWriters() const { return platform::DenyOtherWriters(fd_.Get()); }

  // The whole contents, read under the lock; nothing when they cannot be read or hold
  // more than `max_size` bytes. What is appended afterwards follows what was read.
  std::optional<std::string> ReadAll(size_t max_size);

  // Writes `bytes` after the contents. A failed write leaves the file as it was.
  bool Append(std::string_view bytes);

  // Makes the pieces, one after the other, the whole contents. A failure leaves the file
  // as it was. Stale temporary files of earlier writers of this file that were killed
  // are removed on the way.
  WriteResult Replace(std::initializer_list<std::string_view> pieces, Replacement how);

  // Makes the whole contents of the temporary file at `temporary_path` (open as
  // `temporary`, made by CreateTemporaryFile) the file's contents, as Replace does: by
  // renaming it over the file where Replace would rename and the two are on one file
  // system, by copying otherwise. The temporary file is gone afterwards, whatever happened.
  WriteResult ReplaceByTemporary(UniqueFd temporary, const std::string& temporary_path,
                                 Replacement how);

  // Removes the file when this open created it and it is still at its path; for a write
  // that failed before the file had any contents.
  void RemoveIfCreated();

 private:
  LockedFile() = default;
  bool Renamable(Replacement how) const;
  std::optional<WriteResult> ReplaceByRename(std::initializer_list<std::string_view> pieces,
                                             int& no_temporary_error);
  // Flushes the temporary file with the file's mode and renames it over the file.
  WriteResult RenameOver(int temporary, const std::string& temporary_path);
  WriteResult RewriteInPlace(std::initializer_list<std::string_view> pieces);

  UniqueFd fd_;
  int open_error_ = 0;
  std::string path_;
  std::string resolved_path_;
  struct stat status_ {};
  bool created_ = false;
  off_t known_size_ = 0;  // where an append writes: the end as far as it was read
};

}  // namespace userdb::platform
