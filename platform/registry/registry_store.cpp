#include "platform/registry/registry_store.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <utility>

#include "platform/display_text.h"
#include "platform/file_errors.h"
#include "platform/locked_file.h"
#include "platform/path.h"
#include "platform/registry/regedit_reader.h"
#include "platform/registry/regedit_writer.h"
#include "platform/whole_file.h"

namespace userdb::registry {

namespace {

// A file changed less than this before it was read may change again with the same time
// stamps (they advance in steps of a clock tick): its contents are not kept for later.
constexpr long kTimeStampStepNs = 100'000'000;

// The hive file could not be read, set aside or written; the message says why.
class HiveFileFailure : public Exception {
 public:
  using Exception::Exception;
};

[[noreturn]] void Fail(const std::string& what, int error_number) {
  throw HiveFileFailure(what + ": " + platform::OpenErrorText(error_number));
}

void CreateFolders(const std::string& folder) {
  if (folder.empty()) return;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) Fail("Registry folder " + folder + " cannot be created", error.value());
}

// "5 seconds", "300 milliseconds".
std::string WaitText(std::chrono::milliseconds wait) {
  if (wait.count() % 1000 == 0) return std::to_string(wait.count() / 1000) + " seconds";
  return std::to_string(wait.count()) + " milliseconds";
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

bool Before(const timespec& left, const timespec& right) {
  return left.tv_sec < right.tv_sec ||
         (left.tv_sec == right.tv_sec && left.tv_nsec < right.tv_nsec);
}

bool SameTime(const timespec& left, const timespec& right) {
  return left.tv_sec == right.tv_sec && left.tv_nsec == right.tv_nsec;
}

}  // namespace

std::optional<RegistryStore::FileStamp> RegistryStore::FileStamp::Trusted(
    const struct stat& status, const timespec& read_start) {
  timespec settled = read_start;
  settled.tv_nsec -= kTimeStampStepNs;
  if (settled.tv_nsec < 0) {
    settled.tv_nsec += 1'000'000'000;
    --settled.tv_sec;
  }
  if (!Before(status.st_mtim, settled) || !Before(status.st_ctim, settled)) return std::nullopt;
  return FileStamp{status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim};
}

bool RegistryStore::FileStamp::Matches(const struct stat& status) const {
  return status.st_dev == device && status.st_ino == inode && status.st_size == size &&
         SameTime(status.st_mtim, modified) && SameTime(status.st_ctim, changed);
}

RegistryStore::RegistryStore(std::string file_path, std::ostream& diagnostics,
                             std::chrono::milliseconds lock_wait)
    : file_path_(std::move(file_path)), diagnostics_(diagnostics), lock_wait_(lock_wait) {}

const Hive& RegistryStore::Load() {
  timespec read_start{};
  clock_gettime(CLOCK_REALTIME, &read_start);
  struct stat status {};
  const bool stated = stat(file_path_.c_str(), &status) == 0;
  if (!stated && errno == ENOENT) return Keep(Hive(), std::nullopt);
  if (stated && loaded_stamp_ && loaded_stamp_->Matches(status)) return loaded_;
  std::string bytes;
  try {
    bytes = platform::ReadWholeFile(file_path_);
  } catch (const Exception& error) {
    Say("Registry file " + file_path_ + " cannot be read (" + error.Message() +
        "); the settings start empty");
    return Keep(Hive(), std::nullopt);
  }
  try {
    Hive hive = ParseRegeditFile(bytes);
    return Keep(std::move(hive), stated ? FileStamp::Trusted(status, read_start) : std::nullopt);
  } catch (const DamagedRegistryFile&) {
    // Set aside under the lock, where no writer can be replacing the file meanwhile; what
    // is there afterwards is nothing, or the new file of a writer that came first.
    Hive hive;
    Update([&](Hive& locked) {
      hive = locked;
      return false;
    });
    return Keep(std::move(hive), std::nullopt);
  }
}

bool RegistryStore::Update(const std::function<bool(Hive&)>& change) {
  try {
    for (;;) {
      platform::LockedFile file = LockFile();
      std::optional<Hive> hive = ReadLocked(file);
      // A damaged file has been set aside: lock the new one before anything is written.
      if (!hive) continue;
      if (change(*hive)) {
        const platform::WriteResult written =
            file.Replace({FormatRegedit4(*hive)}, platform::Replacement::kByRename);
        if (!written.Done()) {
          Fail("Registry file " + file.ResolvedPath() + " cannot be written", written.error_number);
        }
      }
      return true;
    }
  } catch (const HiveFileFailure& failure) {
    Say(failure.Message());
    return false;
  }
}

// Opens the file, created empty when missing, and waits for its exclusive lock.
platform::LockedFile RegistryStore::LockFile() {
  const std::string resolved = platform::ResolvedPath(file_path_);
  CreateFolders(platform::FolderPart(resolved));
  platform::LockedFile file = platform::LockedFile::Open(
      file_path_, {.access = O_RDONLY, .create_mode = 0600}, platform::LockWait::For(lock_wait_));
  if (file.OpenError() == EWOULDBLOCK) {
    throw HiveFileFailure("Registry file " + resolved +
                          " cannot be locked: another program has held it for " +
                          WaitText(lock_wait_));
  }
  if (!file.IsOpen()) Fail("Registry file " + resolved + " cannot be opened", file.OpenError());
  return file;
}

std::optional<Hive> RegistryStore::ReadLocked(platform::LockedFile& file) {
  const std::string& path = file.ResolvedPath();
  // What was loaded last, when the file is still the one it was loaded from.
  if (loaded_stamp_ && loaded_stamp_->Matches(file.Status())) return loaded_;
  if (!file.DenyOtherWriters()) Fail("Registry file " + path + " cannot be read", EBUSY);
  const std::optional<std::string> bytes = file.ReadAll(platform::kMaxWholeFileSize);
  if (!bytes) {
    throw HiveFileFailure("Registry file " + path + " cannot be read (" +
                          platform::StreamReadError().Message() + ")");
  }
  try {
    return ParseRegeditFile(*bytes);
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

const Hive& RegistryStore::Keep(Hive hive, std::optional<FileStamp> stamp) {
  loaded_ = std::move(hive);
  loaded_stamp_ = stamp;
  return loaded_;
}

void RegistryStore::Say(const std::string& report) {
  if (said_.insert(report).second) diagnostics_ << platform::DisplayUtf8(report) << std::endl;
}

}  // namespace userdb::registry
