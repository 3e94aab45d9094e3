#include "crash/report/locked_report_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <initializer_list>
#include <thread>
#include <utility>

#include "platform/path.h"

namespace {

using Clock = std::chrono::steady_clock;

// A file system without flock (some network file systems) gets the file unguarded rather
// than no report at all.
bool LockBefore(int fd, Clock::time_point deadline) {
  std::chrono::milliseconds pause(1);
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return true;
    const auto now = Clock::now();
    if (now >= deadline) return false;
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(16));
  }
}

bool SameFile(const struct stat& left, const struct stat& right) {
  return left.st_dev == right.st_dev && left.st_ino == right.st_ino;
}

bool StillNamedBy(const std::string& path, const struct stat& status) {
  struct stat now {};
  return stat(path.c_str(), &now) == 0 && SameFile(now, status);
}

bool WriteAllAt(int fd, off_t offset, std::initializer_list<std::string_view> pieces) {
  for (std::string_view piece : pieces) {
    while (!piece.empty()) {
      const ssize_t written = pwrite(fd, piece.data(), piece.size(), offset);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      piece.remove_prefix(static_cast<size_t>(written));
      offset += written;
    }
  }
  return true;
}

// The whole file from its start to its end, however long it is by now.
std::optional<std::string> ReadAll(int fd, size_t expected_size) {
  std::string contents(expected_size, '\0');
  size_t size = 0;
  for (;;) {
    if (size == contents.size()) contents.resize(std::max<size_t>(2 * size, 4096));
    const ssize_t got =
        pread(fd, contents.data() + size, contents.size() - size, static_cast<off_t>(size));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    size += static_cast<size_t>(got);
  }
  contents.resize(size);
  return contents;
}

std::string ResolvedPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string result(resolved);
  free(resolved);
  return result;
}

}  // namespace

LockedReportFile LockedReportFile::Open(const std::string& path,
                                        std::chrono::milliseconds lock_wait) {
  const auto deadline = Clock::now() + lock_wait;
  LockedReportFile file;
  file.path_ = path;
  for (;;) {
    // Not blocking, so that a named pipe or a device given as the file cannot hang the open.
    UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666));
    struct stat status {};
    if (!fd.Valid() || fstat(fd.Get(), &status) != 0) {
      file.open_error_ = errno;
      return file;
    }
    if (!S_ISREG(status.st_mode)) {
      file.open_error_ = EINVAL;
      return file;
    }
    if (!LockBefore(fd.Get(), deadline) || fstat(fd.Get(), &status) != 0) {
      file.open_error_ = EWOULDBLOCK;
      return file;
    }
    if (StillNamedBy(path, status)) {
      file.fd_ = std::move(fd);
      file.status_ = status;
      return file;
    }
    // Another writer replaced (or removed) the file while this one waited for the lock.
    if (Clock::now() >= deadline) {
      file.open_error_ = EWOULDBLOCK;
      return file;
    }
  }
}

std::optional<std::string_view> LockedReportFile::Contents() {
  if (!contents_) {
    contents_ = ReadAll(fd_.Get(), static_cast<size_t>(status_.st_size));
    if (!contents_) return std::nullopt;
    // What follows is written after what was read, also when the file changed size.
    status_.st_size = static_cast<off_t>(contents_->size());
  }
  return std::string_view(*contents_);
}

bool LockedReportFile::Append(std::string_view bytes) {
  if (WriteAllAt(fd_.Get(), status_.st_size, {bytes})) return true;
  (void)!ftruncate(fd_.Get(), status_.st_size);
  return false;
}

bool LockedReportFile::Replace(std::string_view first, std::string_view second) {
  const Outcome outcome = ReplaceByRename(first, second);
  if (outcome != Outcome::kNotPossible) return outcome == Outcome::kDone;
  return RewriteInPlace(first, second);
}

LockedReportFile::Outcome LockedReportFile::ReplaceByRename(std::string_view first,
                                                            std::string_view second) const {
  if (status_.st_nlink != 1 || status_.st_uid != geteuid()) return Outcome::kNotPossible;
  // Through a link, the file it names is replaced, and the link stays.
  const std::string target = ResolvedPath(path_);
  const std::string folder = FolderPart(target);
  std::string temporary = folder + "." + target.substr(folder.size()) + ".XXXXXX";
  UniqueFd fd(mkostemp(temporary.data(), O_CLOEXEC));
  if (!fd.Valid()) return Outcome::kNotPossible;
  const bool written = WriteAllAt(fd.Get(), 0, {first, second}) &&
                       fchmod(fd.Get(), status_.st_mode & 07777) == 0 && fsync(fd.Get()) == 0;
  if (!fd.Close() || !written) {
    unlink(temporary.c_str());
    return Outcome::kFailed;
  }
  if (rename(temporary.c_str(), target.c_str()) != 0) {
    unlink(temporary.c_str());
    return Outcome::kNotPossible;
  }
  return Outcome::kDone;
}

bool LockedReportFile::RewriteInPlace(std::string_view first, std::string_view second) {
  const int fd = fd_.Get();
  const off_t size = static_cast<off_t>(first.size() + second.size());
  // Room first: a write that failed halfway would leave neither the old contents nor the new.
  if (size > status_.st_size && fallocate(fd, 0, status_.st_size, size - status_.st_size) != 0 &&
      errno != EOPNOTSUPP) {
    (void)!ftruncate(fd, status_.st_size);
    return false;
  }
  return WriteAllAt(fd, 0, {first, second}) && ftruncate(fd, size) == 0;
}
