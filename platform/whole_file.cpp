#include "platform/whole_file.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

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

SharedFileReader::SharedFileReader(const std::string& path) {
  RegularFile file = OpenRegularFile(path, O_RDONLY);
  if (!file.fd.Valid()) ThrowOpenError(path, file.error_number);
  // Checked before any memory is taken.
  if (file.status.st_size > static_cast<off_t>(kMaxWholeFileSize)) throw StreamReadError();
  if (!DenyOtherWriters(file.fd.Get())) ThrowOpenError(path, EBUSY);
  fd_ = std::move(file.fd);  // closing it ends the lease
  size_ = static_cast<uint64_t>(file.status.st_size);
}

size_t SharedFileReader::ReadAt(uint64_t offset, char* buffer, size_t size) const {
  size_t done = 0;
  while (done < size) {
    const ssize_t got =
        pread(fd_.Get(), buffer + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw StreamReadError();
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

std::string SharedFileReader::ReadAll() const {
  std::optional<std::string> bytes =
      ReadWholeFd(fd_.Get(), kMaxWholeFileSize, static_cast<size_t>(size_));
  if (!bytes) throw StreamReadError();
  return std::move(*bytes);
}

std::string ReadWholeFile(const std::string& path) {
  return SharedFileReader(path).ReadAll();
}

namespace {

// The file to be written, locked, as WriteWholeFile takes it. Throws FileCreateError.
LockedFile OpenForWholeWrite(const std::string& path) {
  LockedFile file = LockedFile::Open(path, {.access = O_WRONLY}, LockWait::None());
  if (!file.IsOpen()) {
    const int error_number = file.OpenError();
    ThrowCreateError(path, error_number == EWOULDBLOCK ? EBUSY : error_number);
  }
  return file;
}

void ThrowWriteFailure(LockedFile& file, const WriteResult& result) {
  if (result.failure == WriteResult::Failure::kFile) {
    ThrowCreateError(file.ResolvedPath(), result.error_number);
  }
  if (result.failure == WriteResult::Failure::kData) {
    // A file that did not exist before is not left behind half written or empty.
    file.RemoveIfCreated();
    throw StreamWriteError();
  }
}

}  // namespace

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  LockedFile file = OpenForWholeWrite(path);
  ThrowWriteFailure(file, file.Replace({bytes}, Replacement::kByRenameOrInPlace));
}

namespace {

// Bytes gathered before they are written to the temporary file.
constexpr size_t kStreamPieceSize = 1 << 20;

}  // namespace

WholeFileStream::WholeFileStream(std::string folder, std::string name_prefix)
    : folder_(std::move(folder)), name_prefix_(std::move(name_prefix)) {}

WholeFileStream::~WholeFileStream() {
  if (temporary_.Valid()) unlink(temporary_path_.c_str());
}

void WholeFileStream::Append(std::string_view bytes) {
  if (write_failed_) return;
  pending_.append(bytes);
  if (!in_memory_ && pending_.size() >= kStreamPieceSize) Flush();
}

void WholeFileStream::Flush() {
  if (!temporary_.Valid()) {
    temporary_ = CreateTemporaryFile(folder_, name_prefix_, temporary_path_);
    if (!temporary_.Valid()) {
      in_memory_ = true;
      return;
    }
  }
  if (!WriteAllAt(temporary_.Get(), written_, pending_)) {
    write_failed_ = true;
    pending_ = std::string();
    return;
  }
  written_ += static_cast<off_t>(pending_.size());
  pending_.clear();
}

void WholeFileStream::Finish(const std::string& path) {
  LockedFile file = OpenForWholeWrite(path);
  if (!write_failed_ && temporary_.Valid()) Flush();
  if (write_failed_) ThrowWriteFailure(file, {WriteResult::Failure::kData, ENOSPC});
  if (!temporary_.Valid()) {
    ThrowWriteFailure(file, file.Replace({pending_}, Replacement::kByRenameOrInPlace));
    return;
  }
  const std::string temporary_path = temporary_path_;
  ThrowWriteFailure(file, file.ReplaceByTemporary(std::move(temporary_), temporary_path,
                                                  Replacement::kByRenameOrInPlace));
}

std::optional<std::string> ReadRegularFile(const std::string& path, size_t max_size) {
  const RegularFile file = OpenRegularFile(path, O_RDONLY);
  if (!file.fd.Valid() || static_cast<uint64_t>(file.status.st_size) > max_size) {
    return std::nullopt;
  }
  return ReadWholeFd(file.fd.Get(), max_size, static_cast<size_t>(file.status.st_size));
}

}  // namespace userdb::platform
