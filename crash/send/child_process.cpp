#include "crash/send/child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>
#include <thread>

#include "platform/unique_fd.h"

extern char** environ;

namespace userdb::crash {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxOutput = 64 * 1024;
constexpr std::chrono::milliseconds kPollStep(10);
constexpr std::chrono::milliseconds kStopGrace(1000);

// The attributes and file actions of one spawn, released when it goes.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawnattr_init(&attributes_);
    posix_spawn_file_actions_init(&actions_);
  }
  ~SpawnSetup() {
    posix_spawnattr_destroy(&attributes_);
    posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // `output_fd`: where the child's standard output goes; -1 for /dev/null.
  bool Prepare(int output_fd) {
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    // A signal this program ignores or blocks (the crash reporter's threads block some)
    // would stay ignored or blocked in the child.
    return posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                      POSIX_SPAWN_SETSIGDEF) == 0 &&
           posix_spawnattr_setpgroup(&attributes_, 0) == 0 &&
           posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
           posix_spawnattr_setsigdefault(&attributes_, &all) == 0 &&
           posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0) == 0 &&
           (output_fd >= 0
                ? posix_spawn_file_actions_adddup2(&actions_, output_fd, 1) == 0
                : posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0) == 0) &&
           posix_spawn_file_actions_addopen(&actions_, 2, "/dev/null", O_WRONLY, 0) == 0 &&
           // Descriptors of this program opened without close-on-exec (a held lock, a
           // library's socket) stay out of the child.
           posix_spawn_file_actions_addclosefrom_np(&actions_, 3) == 0;
  }

  const posix_spawnattr_t* Attributes() const { return &attributes_; }
  const posix_spawn_file_actions_t* Actions() const { return &actions_; }

 private:
  posix_spawnattr_t attributes_;
  posix_spawn_file_actions_t actions_;
};

// Reads what the pipe holds now; tells whether its writing end is closed.
bool ReadAvailable(int fd, std::string& output) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) return errno != EAGAIN && errno != EINTR;
    const size_t room = kMaxOutput - std::min(kMaxOutput, output.size());
    output.append(buffer, std::min(room, static_cast<size_t>(got)));
  }
}

// The child's status once it has ended by `deadline`; none when it still runs then.
std::optional<int> WaitUntil(pid_t child, Clock::time_point deadline, int output_fd,
                             std::string& output) {
  for (;;) {
    int status = 0;
    const pid_t ended = waitpid(child, &status, WNOHANG);
    if (ended == child || (ended < 0 && errno != EINTR)) {
      if (output_fd >= 0) ReadAvailable(output_fd, output);
      return ended == child ? status : -1;
    }
    const auto now = Clock::now();
    if (now >= deadline) return std::nullopt;
    const auto step = std::min<Clock::duration>(kPollStep, deadline - now);
    pollfd watched{output_fd, POLLIN, 0};
    poll(&watched, output_fd >= 0 ? 1 : 0,
         static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(step).count()));
    // A closed pipe stays readable: once at its end, only the child is waited for.
    if (output_fd >= 0 && (watched.revents & (POLLIN | POLLHUP | POLLERR)) != 0 &&
        ReadAvailable(output_fd, output)) {
      output_fd = -1;
    }
  }
}

void Stop(pid_t child) {
  kill(-child, SIGTERM);
  std::string ignored;
  if (WaitUntil(child, Clock::now() + kStopGrace, -1, ignored)) return;
  kill(-child, SIGKILL);
  WaitUntil(child, Clock::now() + kStopGrace, -1, ignored);
}

// Leaves the child running; a thread of its own collects it when it ends, so that it
// does not stay behind as a zombie.
void LeaveRunning(pid_t child) {
  try {
    std::thread([child] { waitpid(child, nullptr, 0); }).detach();
  } catch (const std::system_error&) {
    // Without a thread the ended child stays a zombie until this program ends.
  }
}

ChildResult ResultOf(int status) {
  ChildResult result;
  if (status >= 0 && WIFEXITED(status)) {
    result.end = ChildEnd::kExited;
    result.exit_code = WEXITSTATUS(status);
  } else {
    result.end = ChildEnd::kKilledBySignal;
  }
  return result;
}

bool IsExecutableFile(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
         access(path.c_str(), X_OK) == 0;
}

}  // namespace

ChildResult RunChild(const ChildRun& run) {
  if (run.arguments.empty()) return {};
  platform::UniqueFd output_read, output_write;
  if (run.keep_output) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return {};
    output_read.Reset(ends[0]);
    output_write.Reset(ends[1]);
  }
  SpawnSetup setup;
  if (!setup.Prepare(output_write.Get())) return {};
  std::vector<char*> argv;
  for (const std::string& argument : run.arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const auto deadline = Clock::now() + run.time_limit;
  pid_t child = 0;
  if (posix_spawn(&child, argv[0], setup.Actions(), setup.Attributes(), argv.data(), environ) !=
      0) {
    return {};
  }
  output_write.Reset();  // the child holds the only writing end now

  std::string output;
  const std::optional<int> status = WaitUntil(child, deadline, output_read.Get(), output);
  if (!status) {
    if (run.at_time_limit == AtTimeLimit::kStop) {
      Stop(child);
    } else {
      LeaveRunning(child);
    }
    ChildResult result;
    result.end = ChildEnd::kTimeLimit;
    result.output = std::move(output);
    return result;
  }
  ChildResult result = ResultOf(*status);
  result.output = std::move(output);
  return result;
}

std::optional<std::string> FindProgram(std::string_view name, std::string_view search_path) {
  if (name.empty()) return std::nullopt;
  if (name.find('/') != std::string_view::npos) {
    std::string path(name);
    if (IsExecutableFile(path)) return path;
    return std::nullopt;
  }
  for (size_t start = 0;;) {
    const size_t end = std::min(search_path.find(':', start), search_path.size());
    std::string folder(search_path.substr(start, end - start));
    if (folder.empty()) folder = ".";
    const std::string path = folder + "/" + std::string(name);
    if (IsExecutableFile(path)) return path;
    if (end == search_path.size()) return std::nullopt;
    start = end + 1;
  }
}

}  // namespace userdb::crash
