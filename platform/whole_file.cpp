#include "platform/whole_file.h"

#include <errno.h>
#include <fcntl.h>

#include "platform/file_errors.h"
#include "platform/locked_file.h"
#include "platform/path.h"

namespace userdb::platform {

namespace {

[[noreturn]] void ThrowOpenError(const std::string& path, int error_number) {
  throw FileOpenError(FullPath(path), OpenErrorText(error_number));
}

[[noreturn]] void ThrowCreateError(const std::string& path, int error_number) {
  throw FileCreateError(FullPath(path), OpenErrorText(error_number));
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  RegularFile file = OpenRegularFile(path, O_RDONLY);
  if (!file.fd.Valid()) ThrowOpenError(path, file.error_number);
  // Checked before any memory is taken.
  if (file.status.st_size > static_cast<off_t>(kMaxWholeFileSize)) throw StreamReadError();
  if (!DenyOtherWriters(file.fd.Get())) ThrowOpenError(path, EBUSY);
  std::optional<std::string> bytes =
      ReadWholeFd(file.fd.Get(), kMaxWholeFileSize, static_cast<size_t>(file.status.st_size));
  if (!bytes) throw StreamReadError();
  return std::move(*bytes);  // closing the file ends the lease
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  LockedFile file = LockedFile::Open(path, {.access = O_WRONLY}, LockWait::None());
  if (!file.IsOpen()) {
    const int error_number = file.OpenError();
    ThrowCreateError(path, error_number == EWOULDBLOCK ? EBUSY : error_number);
  }
  const WriteResult result = file.Replace({bytes}, Replacement::kByRenameOrInPlace);
  if (result.failure == WriteResult::Failure::kFile) {
    ThrowCreateError(file.ResolvedPath(), result.error_number);
  }
  if (result.failure == WriteResult::Failure::kData) {
    // A file that did not exist before is not left behind half written or empty.
    file.RemoveIfCreated();
    throw StreamWriteError();
  }
}

std::optional<std::string> ReadRegularFile(const std::string& path, size_t max_size) {
  const RegularFile file = OpenRegularFile(path, O_RDONLY);
  if (!file.fd.Valid() || static_cast<uint64_t>(file.status.st_size) > max_size) {
    return std::nullopt;
  }
  return ReadWholeFd(file.fd.Get(), max_size, static_cast<size_t>(file.status.st_size));
}

}  // namespace userdb::platform
