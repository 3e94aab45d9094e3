#include "platform/registry/registry_store.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <utility>

#include "platform/display_text.h"
#include "platform/path.h"
#include "platform/registry/regedit_reader.h"
#include "platform/registry/regedit_writer.h"
#include "platform/system_error_text.h"
#include "platform/unique_fd.h"
#include "platform/whole_file.h"

namespace {

// The hive file could not be read, set aside or written; the message says why.
class HiveFileFailure : public Exception {
 public:
  using Exception::Exception;
};

[[noreturn]] void Fail(const std::string& what, int error_number) {
  throw HiveFileFailure(what + ": " + SystemErrorText(error_number));
}

// The file a link points to, so that a hive file kept elsewhere and linked in place stays
// where it is; the path itself when it names no existing file.
std::string ResolvedPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string result = resolved;
  free(resolved);
  return result;
}

void CreateFolders(const std::string& folder) {
  if (folder.empty()) return;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) Fail("Registry folder " + folder + " cannot be created", error.value());
}

struct LockedFile {
  UniqueFd fd;
  std::string path;
  mode_t mode = 0600;
};

// Opens the file, created empty when missing, and waits for its exclusive lock. A writer
// that held the lock meanwhile has renamed a new file over the one we opened: then the
// lock is taken again on the file that is there now.
LockedFile LockFile(const std::string& path) {
  for (;;) {
    LockedFile file;
    file.path = ResolvedPath(path);
    CreateFolders(FolderPart(file.path));
    file.fd = UniqueFd(open(file.path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600));
    if (!file.fd.Valid()) Fail("Registry file " + file.path + " cannot be opened", errno);
    while (flock(file.fd.Get(), LOCK_EX) != 0) {
      if (errno != EINTR) Fail("Registry file " + file.path + " cannot be locked", errno);
    }
    struct stat held {
    }, named{};
    if (fstat(file.fd.Get(), &held) != 0) Fail("Registry file " + file.path, errno);
    if (stat(file.path.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino) {
      file.mode = held.st_mode & 07777;
      return file;
    }
  }
}

// Renames `from` to `to` unless `to` exists; tells whether it did.
bool MoveWithoutReplacing(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EEXIST) return false;
  if (errno != EINVAL && errno != ENOSYS) Fail("It cannot be set aside", errno);
  // A file system without RENAME_NOREPLACE: a new link fails as well when the name exists.
  if (link(from.c_str(), to.c_str()) != 0) {
    if (errno == EEXIST) return false;
    Fail("It cannot be set aside", errno);
  }
  unlink(from.c_str());
  return true;
}

// Moves the file to the first free name of "<file>.bad", "<file>.bad.1", ... and returns it.
std::string SetAside(const std::string& path) {
  for (int number = 0;; ++number) {
    const std::string bad = path + ".bad" + (number > 0 ? "." + std::to_string(number) : "");
    if (MoveWithoutReplacing(path, bad)) return bad;
  }
}

// Writes `text`, gives the file `mode` and flushes it to the disk; returns 0, or the errno
// of the step that failed.
int WriteFlushed(UniqueFd& fd, const std::string& text, mode_t mode) {
  const ssize_t written = write(fd.Get(), text.data(), text.size());
  if (written < 0) return errno;
  // A regular file takes a write whole unless the disk is full or a size limit is reached.
  if (written != static_cast<ssize_t>(text.size())) return ENOSPC;
  if (fchmod(fd.Get(), mode) != 0 || fsync(fd.Get()) != 0) return errno;
  return fd.Close() ? 0 : errno;
}

// Writes `text` to a temporary file beside the locked one and renames it over the locked
// file. On failure the temporary file is removed and the locked file is as it was.
void ReplaceFile(const LockedFile& file, const std::string& text) {
  const std::string folder = FolderPart(file.path);
  std::string temporary = folder + "." + file.path.substr(folder.size()) + ".XXXXXX";
  UniqueFd fd(mkostemp(temporary.data(), O_CLOEXEC));
  if (!fd.Valid()) Fail("Registry file " + file.path + " cannot be written", errno);
  int error_number = WriteFlushed(fd, text, file.mode);
  if (error_number == 0 && rename(temporary.c_str(), file.path.c_str()) != 0) error_number = errno;
  if (error_number != 0) {
    unlink(temporary.c_str());
    Fail("Registry file " + file.path + " cannot be written", error_number);
  }
}

}  // namespace

RegistryStore::RegistryStore(std::string file_path, std::ostream& diagnostics)
    : file_path_(std::move(file_path)), diagnostics_(diagnostics) {}

Hive RegistryStore::Load() {
  std::string bytes;
  try {
    struct stat status {};
    if (stat(file_path_.c_str(), &status) != 0 && errno == ENOENT) return Hive();
    bytes = ReadWholeFile(file_path_);
  } catch (const Exception& error) {
    Say("Registry file " + file_path_ + " cannot be read (" + error.Message() +
        "); the settings start empty");
    return Hive();
  }
  try {
    return ParseRegeditFile(bytes);
  } catch (const DamagedRegistryFile&) {
    // Set aside under the lock, where no writer can be replacing the file meanwhile; what
    // is there afterwards is nothing, or the new file of a writer that came first.
    Hive hive;
    Update([&](Hive& locked) {
      hive = locked;
      return false;
    });
    return hive;
  }
}

bool RegistryStore::Update(const std::function<bool(Hive&)>& change) {
  try {
    for (;;) {
      const LockedFile file = LockFile(file_path_);
      std::optional<Hive> hive = ReadLocked(file.path);
      // A damaged file has been set aside: lock the new one before anything is written.
      if (!hive) continue;
      if (change(*hive)) ReplaceFile(file, FormatRegedit4(*hive));
      return true;
    }
  } catch (const HiveFileFailure& failure) {
    Say(failure.Message());
    return false;
  }
}

std::optional<Hive> RegistryStore::ReadLocked(const std::string& path) {
  std::string bytes;
  try {
    bytes = ReadWholeFile(path);
  } catch (const Exception& error) {
    throw HiveFileFailure("Registry file " + path + " cannot be read (" + error.Message() + ")");
  }
  try {
    return ParseRegeditFile(bytes);
  } catch (const DamagedRegistryFile& damage) {
    const std::string report =
        "Registry file " + path + " cannot be parsed (" + damage.Message() + ")";
    std::string bad;
    try {
      bad = SetAside(path);
    } catch (const HiveFileFailure& failure) {
      throw HiveFileFailure(report + ". " + failure.Message() +
                            "; the settings start empty and cannot be saved");
    }
    Say(report + "; it is kept as " + bad + " and the settings start empty");
    return std::nullopt;
  }
}

void RegistryStore::Say(const std::string& report) {
  if (said_.insert(report).second) diagnostics_ << DisplayUtf8(report) << std::endl;
}
