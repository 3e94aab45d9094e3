#include "platform/stream_descriptor_write.h"

#include <unistd.h>

#include <cerrno>
#include <thread>

namespace userdb::platform {

namespace {

bool LockWithin(std::FILE* stream, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (ftrylockfile(stream) != 0) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace

bool WriteAllToDescriptor(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

bool WriteToStreamDescriptor(std::FILE* stream, std::string_view bytes,
                             std::chrono::milliseconds lock_limit) {
  const bool locked = LockWithin(stream, lock_limit);
  // Read while locked or not at all: the number is fixed once the stream is open.
  const int fd = fileno_unlocked(stream);
  bool written;
  if (fd < 0) {
    written = locked && std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() &&
              std::fflush(stream) == 0;
  } else {
    if (locked) std::fflush(stream);
    written = WriteAllToDescriptor(fd, bytes);
  }
  if (locked) funlockfile(stream);
  return written;
}

}  // namespace userdb::platform
