#include "platform/system_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/unique_fd.h"

namespace userdb::platform {

std::optional<std::string> ReadSystemFile(const std::string& path, size_t limit) {
  UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.Valid()) return std::nullopt;
  std::string bytes;
  char buffer[8192];
  while (bytes.size() < limit) {
    const ssize_t got = read(file.Get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  if (bytes.size() > limit) bytes.resize(limit);
  return bytes;
}

std::string ReadSystemFileLine(const std::string& path) {
  const auto bytes = ReadSystemFile(path, 4096);
  if (!bytes) return {};
  return bytes->substr(0, bytes->find('\n'));
}

}  // namespace userdb::platform
