#include "crash/capture/restart_hand_over.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "crash/capture/process_spawn.h"
#include "platform/unique_fd.h"

namespace userdb::crash {

namespace {

constexpr size_t kHandOverSize = 88;

struct HandOverLayout {
  uint32_t old_process;
  uint32_t handle;
  int64_t times[ExceptionTimes::kCount];
};
static_assert(sizeof(HandOverLayout) == kHandOverSize);

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first, second;
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool ParentRunsThisProgram() {
  return SameFile("/proc/" + std::to_string(getppid()) + "/exe", "/proc/self/exe");
}

// The memory, when it is this user's, private and of the right size.
std::optional<HandOverLayout> ReadMemory(const std::string& name) {
  // shm_open opens with O_NOFOLLOW: a link in its place is not followed.
  platform::UniqueFd fd(shm_open(name.c_str(), O_RDONLY, 0));
  if (!fd.Valid()) return std::nullopt;
  struct stat status;
  if (fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != getuid() ||
      (status.st_mode & 077) != 0 || status.st_size != static_cast<off_t>(kHandOverSize)) {
    return std::nullopt;
  }
  HandOverLayout layout;
  if (pread(fd.Get(), &layout, sizeof layout, 0) != static_cast<ssize_t>(sizeof layout)) {
    return std::nullopt;
  }
  shm_unlink(name.c_str());
  return layout;
}

void AwaitEnd(pid_t process, std::chrono::milliseconds limit) {
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, process, 0));
  if (pidfd < 0) return;  // ended already
  pollfd ended{pidfd, POLLIN, 0};
  while (poll(&ended, 1, static_cast<int>(limit.count())) < 0 && errno == EINTR) {
  }
  close(pidfd);
}

}  // namespace

std::string RestartMemoryName(pid_t process) {
  char name[64];
  std::snprintf(name, sizeof name, "/QuorvexRestart$%x", static_cast<unsigned>(process));
  return name;
}

std::vector<std::string> ProcessCommandLine() {
  std::vector<std::string> arguments;
  std::string bytes;
  platform::UniqueFd fd(open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC));
  char buffer[4096];
  ssize_t got;
  while (fd.Valid() && (got = read(fd.Get(), buffer, sizeof buffer)) > 0) {
    bytes.append(buffer, static_cast<size_t>(got));
  }
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find('\0', start);
    arguments.push_back(bytes.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return arguments;
}

bool WriteRestartHandOver(pid_t new_process, const RestartHandOver& hand_over) {
  const std::string name = RestartMemoryName(new_process);
  platform::UniqueFd fd(shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600));
  if (!fd.Valid() && errno == EEXIST) {
    // Left by an earlier process of that id: ours only is replaced.
    struct stat status;
    platform::UniqueFd old(shm_open(name.c_str(), O_RDONLY, 0));
    if (!old.Valid() || fstat(old.Get(), &status) != 0 || status.st_uid != getuid()) return false;
    shm_unlink(name.c_str());
    fd.Reset(shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600));
  }
  if (!fd.Valid()) return false;
  fchmod(fd.Get(), 0600);  // whatever the umask says
  HandOverLayout layout{};
  layout.old_process = static_cast<uint32_t>(hand_over.old_process);
  std::memcpy(layout.times, hand_over.times.data(), sizeof layout.times);
  if (pwrite(fd.Get(), &layout, sizeof layout, 0) != static_cast<ssize_t>(sizeof layout)) {
    shm_unlink(name.c_str());
    return false;
  }
  return true;
}

bool RestartProgram(const std::string& executable, const std::vector<std::string>& command_line,
                    const ExceptionTimes::Table& times) {
  const auto child = SpawnProgram({executable, command_line});
  if (!child) return false;
  WriteRestartHandOver(*child, {getpid(), times});
  return true;
}

std::optional<RestartHandOver> TakeRestartHandOver(const TakeOverLimits& limits) {
  const std::string name = RestartMemoryName(getpid());
  std::optional<HandOverLayout> layout = ReadMemory(name);
  if (!layout && ParentRunsThisProgram()) {
    // posix_spawn starts the new instance before its id is known to the old one, which
    // writes the hand-over right after.
    const auto limit = std::chrono::steady_clock::now() + limits.appear;
    while (!layout && std::chrono::steady_clock::now() < limit) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      layout = ReadMemory(name);
    }
  }
  if (!layout) return std::nullopt;
  RestartHandOver hand_over;
  hand_over.old_process = static_cast<pid_t>(layout->old_process);
  std::memcpy(hand_over.times.data(), layout->times, sizeof layout->times);
  AwaitEnd(hand_over.old_process, limits.old_end);
  return hand_over;
}

}  // namespace userdb::crash
