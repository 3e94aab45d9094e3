#include "platform/locked_file.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <thread>
#include <utility>

#include "platform/path.h"
#include "platform/system_error_text.h"

namespace userdb::platform {

namespace {

using Clock = std::chrono::steady_clock;

// A temporary file this old, that no writer holds locked, was left by a writer that was
// killed: younger ones may still be on their way to their rename.
constexpr time_t kStaleTemporaryAge = 60;

// The characters mkstemp puts in place of "XXXXXX".
constexpr std::string_view kTemporaryCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool SameFile(const struct stat& left, const struct stat& right) {
  return left.st_dev == right.st_dev && left.st_ino == right.st_ino;
}

bool StillNamedBy(const std::string& path, const struct stat& status) {
  struct stat now {};
  return stat(path.c_str(), &now) == 0 && SameFile(now, status);
}

int RegularFileError(const struct stat& status) {
  if (S_ISREG(status.st_mode)) return 0;
  return S_ISDIR(status.st_mode) ? EISDIR : kNotRegularFile;
}

// Takes the exclusive lock before the deadline (none: without limit). A file system
// without flock (some network file systems) gets the file unguarded rather than not at all.
bool Lock(int fd, std::optional<Clock::time_point> deadline) {
  std::chrono::milliseconds pause(1);
  for (;;) {
    if (flock(fd, deadline ? LOCK_EX | LOCK_NB : LOCK_EX) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return true;
    const auto now = Clock::now();
    if (now >= *deadline) return false;
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, *deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(16));
  }
}

bool WriteAllPiecesAt(int fd, off_t offset, std::initializer_list<std::string_view> pieces) {
  for (std::string_view piece : pieces) {
    if (!WriteAllAt(fd, offset, piece)) return false;
    offset += static_cast<off_t>(piece.size());
  }
  return true;
}

off_t TotalSize(std::initializer_list<std::string_view> pieces) {
  size_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  return static_cast<off_t>(size);
}

bool IsTemporaryName(std::string_view entry, std::string_view prefix) {
  if (entry.size() != prefix.size() + 6 || !entry.starts_with(prefix)) return false;
  return entry.substr(prefix.size()).find_first_not_of(kTemporaryCharacters) ==
         std::string_view::npos;
}

// Removes one temporary file when it is old and nobody holds its lock. Its writer takes
// the lock at once after creating it, and holds it until it is renamed into place.
void RemoveIfStale(int folder_fd, const char* name, time_t now) {
  UniqueFd fd(openat(folder_fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat status {};
  if (!fd.Valid() || fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode)) return;
  if (status.st_uid != geteuid() || now - status.st_mtime < kStaleTemporaryAge) return;
  if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return;
  struct stat named {};
  if (fstatat(folder_fd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(named, status)) {
    unlinkat(folder_fd, name, 0);
  }
}

// Temporary files are named ".<name>.XXXXXX" beside the file they replace.
void RemoveStaleTemporaries(const std::string& folder, std::string_view prefix) {
  DIR* listing = opendir(folder.empty() ? "." : folder.c_str());
  if (listing == nullptr) return;
  const time_t now = time(nullptr);
  while (const dirent* entry = readdir(listing)) {
    if (IsTemporaryName(entry->d_name, prefix)) RemoveIfStale(dirfd(listing), entry->d_name, now);
  }
  closedir(listing);
}

// Opens the file at `path`, creating it when missing, and tells whether it created it. A
// symbolic link that names no file yet gets its file created, not counted as created here.
RegularFile OpenNamed(const std::string& path, const LockedFile::Options& options, bool& created) {
  RegularFile opened = OpenRegularFile(path, options.access);
  if (opened.error_number != ENOENT) return opened;
  opened = OpenRegularFile(path, options.access | O_CREAT | O_EXCL, options.create_mode);
  created = opened.fd.Valid();
  if (opened.error_number != EEXIST) return opened;
  return OpenRegularFile(path, options.access | O_CREAT, options.create_mode);
}

}  // namespace

bool WriteAllAt(int fd, off_t offset, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = pwrite(fd, bytes.data(), bytes.size(), offset);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return false;
    // A regular file takes less only when the disk is full or a size limit is reached.
    if (written == 0) {
      errno = ENOSPC;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
    offset += written;
  }
  return true;
}

UniqueFd CreateTemporaryFile(const std::string& folder, std::string_view prefix,
                             std::string& temporary_path) {
  const std::string dotted = "." + std::string(prefix) + ".";
  RemoveStaleTemporaries(folder, dotted);
  temporary_path = folder + dotted + "XXXXXX";
  UniqueFd fd(mkostemp(temporary_path.data(), O_CLOEXEC));
  // Held until the rename, so that no other writer takes the file for a stale one.
  if (fd.Valid()) (void)flock(fd.Get(), LOCK_EX | LOCK_NB);
  return fd;
}

std::string OpenErrorText(int error_number) {
  if (error_number == kNotRegularFile) return "Not a regular file";
  return SystemErrorText(error_number);
}

bool DenyOtherWriters(int fd) {
  // The lease's break is signalled with SIGURG, ignored by default, so that it can never
  // end this process.
  if (fcntl(fd, F_SETSIG, SIGURG) == 0 && fcntl(fd, F_SETLEASE, F_RDLCK) == 0) return true;
  return errno != EAGAIN;
}

RegularFile OpenRegularFile(const std::string& path, int flags, mode_t create_mode) {
  RegularFile file;
  // Not blocking, so that a named pipe or a device given as the file cannot hang the open.
  file.fd = UniqueFd(open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, create_mode));
  if (!file.fd.Valid()) {
    file.error_number = errno;
    // Opening a named pipe for writing fails (ENXIO) while nobody reads it.
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && RegularFileError(status) != 0) {
      file.error_number = RegularFileError(status);
    }
    return file;
  }
  if (fstat(file.fd.Get(), &file.status) != 0) {
    file.error_number = errno;
  } else {
    file.error_number = RegularFileError(file.status);
  }
  if (file.error_number != 0) file.fd.Reset();
  return file;
}

std::optional<std::string> ReadWholeFd(int fd, size_t max_size, size_t expected_size) {
  // One byte of room beyond the expected size lets the read that finds the end need no
  // growth.
  std::string contents(std::min(expected_size, max_size) + 1, '\0');
  size_t size = 0;
  for (;;) {
    if (size == contents.size()) {
      if (size > max_size) return std::nullopt;
      contents.resize(std::min(std::max<size_t>(2 * size, 4096), max_size + 1));
    }
    const ssize_t got =
        pread(fd, contents.data() + size, contents.size() - size, static_cast<off_t>(size));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    size += static_cast<size_t>(got);
  }
  if (size > max_size) return std::nullopt;
  contents.resize(size);
  return contents;
}

LockedFile LockedFile::Open(const std::string& path, Options options, LockWait wait) {
  std::optional<Clock::time_point> deadline;
  if (wait.Limit()) deadline = Clock::now() + *wait.Limit();
  LockedFile file;
  file.path_ = path;
  for (;;) {
    bool created = false;
    RegularFile opened = OpenNamed(path, options, created);
    if (!opened.fd.Valid()) {
      file.open_error_ = opened.error_number;
      return file;
    }
    if (!Lock(opened.fd.Get(), deadline) || fstat(opened.fd.Get(), &opened.status) != 0) {
      file.open_error_ = EWOULDBLOCK;
      return file;
    }
    if (StillNamedBy(path, opened.status)) {
      file.fd_ = std::move(opened.fd);
      file.status_ = opened.status;
      file.created_ = created;
      file.known_size_ = opened.status.st_size;
      file.resolved_path_ = platform::ResolvedPath(path);
      return file;
    }
    // Another writer replaced (or removed) the file while this one waited for the lock.
    if (deadline && Clock::now() >= *deadline) {
      file.open_error_ = EWOULDBLOCK;
      return file;
    }
  }
}

std::optional<std::string> LockedFile::ReadAll(size_t max_size) {
  std::optional<std::string> contents =
      ReadWholeFd(fd_.Get(), max_size, static_cast<size_t>(status_.st_size));
  // What follows is written after what was read, also when the file changed size.
  if (contents) known_size_ = static_cast<off_t>(contents->size());
  return contents;
}

bool LockedFile::Append(std::string_view bytes) {
  if (WriteAllAt(fd_.Get(), known_size_, bytes)) return true;
  (void)!ftruncate(fd_.Get(), known_size_);
  return false;
}

bool LockedFile::Renamable(Replacement how) const {
  return how == Replacement::kByRename || (status_.st_nlink == 1 && status_.st_uid == geteuid());
}

WriteResult LockedFile::Replace(std::initializer_list<std::string_view> pieces, Replacement how) {
  if (Renamable(how)) {
    int no_temporary_error = 0;
    if (std::optional<WriteResult> result = ReplaceByRename(pieces, no_temporary_error)) {
      return *result;
    }
    if (how == Replacement::kByRename) return {WriteResult::Failure::kFile, no_temporary_error};
  }
  return RewriteInPlace(pieces);
}

void LockedFile::RemoveIfCreated() {
  if (created_ && StillNamedBy(path_, status_)) unlink(resolved_path_.c_str());
}

// Nothing when no temporary file can be made beside the file; `no_temporary_error` then
// tells why.
std::optional<WriteResult> LockedFile::ReplaceByRename(
    std::initializer_list<std::string_view> pieces, int& no_temporary_error) {
  const std::string folder = FolderPart(resolved_path_);
  std::string temporary;
  UniqueFd fd = CreateTemporaryFile(folder, resolved_path_.substr(folder.size()), temporary);
  if (!fd.Valid()) {
    no_temporary_error = errno;
    return std::nullopt;
  }
  if (!WriteAllPiecesAt(fd.Get(), 0, pieces)) {
    const WriteResult result{WriteResult::Failure::kData, errno};
    unlink(temporary.c_str());
    return result;
  }
  return RenameOver(fd.Get(), temporary);
}

WriteResult LockedFile::RenameOver(int temporary, const std::string& temporary_path) {
  WriteResult result;
  if (fchmod(temporary, status_.st_mode & 07777) != 0 || fsync(temporary) != 0) {
    result = {WriteResult::Failure::kData, errno};
  } else if (rename(temporary_path.c_str(), resolved_path_.c_str()) != 0) {
    result = {WriteResult::Failure::kFile, errno};
  }
  if (!result.Done()) unlink(temporary_path.c_str());
  return result;
}

WriteResult LockedFile::ReplaceByTemporary(UniqueFd temporary, const std::string& temporary_path,
                                           Replacement how) {
  struct stat written {};
  const bool same_file_system =
      fstat(temporary.Get(), &written) == 0 && written.st_dev == status_.st_dev;
  if (same_file_system && Renamable(how)) return RenameOver(temporary.Get(), temporary_path);
  // Behind a link to another file system, or a file that is not renamed: its contents are
  // copied, as Replace writes them.
  std::optional<std::string> contents =
      ReadWholeFd(temporary.Get(), std::numeric_limits<size_t>::max() / 2);
  unlink(temporary_path.c_str());
  if (!contents) return {WriteResult::Failure::kData, errno};
  return Replace({*contents}, how);
}

WriteResult LockedFile::RewriteInPlace(std::initializer_list<std::string_view> pieces) {
  const int fd = fd_.Get();
  const off_t size = TotalSize(pieces);
  // Room first: a write that failed halfway would leave neither the old contents nor the new.
  if (size > known_size_ && fallocate(fd, 0, known_size_, size - known_size_) != 0 &&
      errno != EOPNOTSUPP) {
    const int error_number = errno;
    (void)!ftruncate(fd, known_size_);
    return {WriteResult::Failure::kData, error_number};
  }
  if (!WriteAllPiecesAt(fd, 0, pieces)) return {WriteResult::Failure::kData, errno};
  if (ftruncate(fd, size) != 0) return {WriteResult::Failure::kData, errno};
  return {};
}

}  // namespace userdb::platform
