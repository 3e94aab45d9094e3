#include "platform/whole_file.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_errors.h"
#include "platform/path.h"
#include "platform/system_error_text.h"
#include "platform/unique_fd.h"

namespace {

[[noreturn]] void ThrowOpenError(const std::string& path, int error_number) {
  throw FileOpenError(FullPath(path), SystemErrorText(error_number));
}

[[noreturn]] void ThrowCreateError(const std::string& path, int error_number) {
  throw FileCreateError(FullPath(path), SystemErrorText(error_number));
}

// A read lease is granted only while no process has the file open for writing, and while
// it is held, a writer's open waits for it. A writer's open also signals the holder; the
// signal is SIGURG, ignored by default, so that it can never end this process.
void DenyWriters(int fd, const std::string& path) {
  if (fcntl(fd, F_SETSIG, SIGURG) == 0 && fcntl(fd, F_SETLEASE, F_RDLCK) == 0) return;
  if (errno == EAGAIN) ThrowOpenError(path, EBUSY);
  // No lease here (another user's file, a file system without leases): go on unchecked.
}

std::string ReadAll(int fd, off_t size_hint) {
  // One byte of room beyond the size lets the read that finds the end need no growth.
  std::string bytes(size_hint > 0 ? static_cast<size_t>(size_hint) + 1 : 4096, '\0');
  size_t used = 0;
  for (;;) {
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t got = read(fd, bytes.data() + used, bytes.size() - used);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw StreamReadError();
    if (got == 0) break;
    used += static_cast<size_t>(got);
  }
  bytes.resize(used);
  return bytes;
}

// Writes everything or tells that it could not (a full disk, a file size limit).
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

struct OpenedTarget {
  UniqueFd fd;
  std::string path;  // the file itself, links resolved
  bool created = false;
  struct stat status {};
};

OpenedTarget OpenTarget(const std::string& path) {
  OpenedTarget target;
  target.fd = UniqueFd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  target.created = target.fd.Valid();
  if (!target.created && errno == EEXIST) {
    target.fd = UniqueFd(open(path.c_str(), O_WRONLY | O_CLOEXEC));
  }
  if (!target.fd.Valid()) ThrowCreateError(path, errno);
  if (flock(target.fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    ThrowCreateError(path, errno == EWOULDBLOCK ? EBUSY : errno);
  }
  fstat(target.fd.Get(), &target.status);
  target.path = path;
  if (char* resolved = realpath(path.c_str(), nullptr)) {
    target.path = resolved;
    free(resolved);
  }
  return target;
}

bool ReplaceableByRename(const OpenedTarget& target) {
  return S_ISREG(target.status.st_mode) && target.status.st_nlink == 1 &&
         target.status.st_uid == geteuid();
}

void WriteInPlace(OpenedTarget& target, std::string_view bytes) {
  if (ftruncate(target.fd.Get(), 0) != 0 && S_ISREG(target.status.st_mode)) {
    ThrowCreateError(target.path, errno);
  }
  const bool written = WriteAll(target.fd.Get(), bytes);
  if (!target.fd.Close() || !written) throw StreamWriteError();
}

// Writes a temporary file beside the target and renames it over the target. Returns
// false, having changed nothing, when no temporary file can be made there.
bool ReplaceByRename(OpenedTarget& target, std::string_view bytes) {
  const std::string folder = FolderPart(target.path);
  std::string temporary = folder + "." + target.path.substr(folder.size()) + ".XXXXXX";
  UniqueFd fd(mkostemp(temporary.data(), O_CLOEXEC));
  if (!fd.Valid()) return false;
  const bool written = WriteAll(fd.Get(), bytes) &&
                       fchmod(fd.Get(), target.status.st_mode & 07777) == 0 && fsync(fd.Get()) == 0;
  if (!fd.Close() || !written) {
    unlink(temporary.c_str());
    if (target.created) unlink(target.path.c_str());
    throw StreamWriteError();
  }
  if (rename(temporary.c_str(), target.path.c_str()) != 0) {
    const int error_number = errno;
    unlink(temporary.c_str());
    ThrowCreateError(target.path, error_number);
  }
  return true;
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) ThrowOpenError(path, errno);
  struct stat status {};
  if (fstat(fd.Get(), &status) != 0) ThrowOpenError(path, errno);
  if (S_ISDIR(status.st_mode)) ThrowOpenError(path, EISDIR);
  DenyWriters(fd.Get(), path);
  return ReadAll(fd.Get(), status.st_size);  // closing the file ends the lease
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  OpenedTarget target = OpenTarget(path);
  if (ReplaceableByRename(target) && ReplaceByRename(target, bytes)) return;
  WriteInPlace(target, bytes);
}

std::optional<std::string> ReadRegularFile(const std::string& path, size_t max_size) {
  const UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat status {};
  if (!fd.Valid() || fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode) ||
      static_cast<uint64_t>(status.st_size) > max_size) {
    return std::nullopt;
  }
  try {
    std::string bytes = ReadAll(fd.Get(), status.st_size);
    if (bytes.size() > max_size) return std::nullopt;  // it grew meanwhile
    return bytes;
  } catch (const StreamReadError&) {
    return std::nullopt;
  }
}
