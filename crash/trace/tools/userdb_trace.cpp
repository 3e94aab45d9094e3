// userdb-trace PID [MAX_LENGTH]: asks a running program of ours for its bug report and prints
// it to standard output. A MAX_LENGTH below 1 asks the program to put the report on its
// clipboard instead.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "crash/trace/trace_protocol.h"
#include "platform/version_record.h"

namespace userdb::crash {

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int32_t kDefaultMaxLength = 4 << 20;
constexpr auto kAnswerLimit = std::chrono::seconds(10);
constexpr auto kPoll = std::chrono::milliseconds(5);

constexpr char kUsage[] =
    "usage: userdb-trace PID [MAX_LENGTH]\n"
    "       userdb-trace --help | --version\n"
    "Prints the bug report of the running program PID (userdb-transform, userdb2csv), at most\n"
    "MAX_LENGTH - 1 bytes of it (default 4194304). A MAX_LENGTH below 1 puts the report on the\n"
    "program's clipboard instead.\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "userdb-trace: %s\n", message.c_str());
  return kExitFailure;
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Whether the process catches the trace request signal: a program without our crash reporter
// would be ended by it.
bool CatchesTraceRequests(pid_t target) {
  std::ifstream status("/proc/" + std::to_string(target) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (!line.starts_with("SigCgt:")) continue;
    const uint64_t mask = std::strtoull(line.c_str() + 7, nullptr, 16);
    return (mask >> (SIGRTMIN + kTraceRequestSignalOffset - 1) & 1) != 0;
  }
  return false;
}

class SharedAnswer {
 public:
  SharedAnswer(pid_t target, size_t size) : name_(TraceMapName(target)), size_(size) {}
  ~SharedAnswer() {
    if (view_ != nullptr) munmap(view_, size_);
    if (created_) shm_unlink(name_.c_str());
  }
  SharedAnswer(const SharedAnswer&) = delete;
  SharedAnswer& operator=(const SharedAnswer&) = delete;

  // The error text; empty on success. Another request to the same process goes first:
  // this one waits until its memory is gone, at most until `deadline`.
  std::string Create(std::chrono::steady_clock::time_point deadline) {
    int fd = -1;
    while ((fd = shm_open(name_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600)) < 0 &&
           errno == EEXIST && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(kPoll);
    }
    if (fd < 0 && errno == EEXIST) {
      return "another request to this process did not end within 10 seconds (its shared "
             "memory " +
             name_ + " exists; remove it from /dev/shm when no request is running)";
    }
    if (fd < 0) return "cannot create the shared memory " + name_ + ": " + std::strerror(errno);
    created_ = true;
    // The mode passed to shm_open is cut by the umask: make it 0600 whatever that is.
    const bool ready = fchmod(fd, 0600) == 0 && ftruncate(fd, static_cast<off_t>(size_)) == 0;
    if (ready) view_ = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (!ready || view_ == MAP_FAILED) {
      view_ = nullptr;
      return "cannot prepare the shared memory " + name_ + ": " + std::strerror(errno);
    }
    return {};
  }

  const TraceAnswerHeader& Header() const { return *static_cast<const TraceAnswerHeader*>(view_); }
  std::string_view Report() const {
    return TraceAnswerReport(std::span(static_cast<const char*>(view_), size_));
  }

 private:
  std::string name_;
  size_t size_;
  bool created_ = false;
  void* view_ = nullptr;
};

int Trace(pid_t target, int32_t max_length) {
  if (kill(target, 0) != 0) {
    if (errno == EPERM)
      return Fail("process " + std::to_string(target) + " belongs to another user");
    return Fail("there is no process " + std::to_string(target));
  }
  if (!CatchesTraceRequests(target)) {
    return Fail("process " + std::to_string(target) +
                " carries no crash reporter: it is no program of ours, or too old");
  }
  const size_t room = max_length > 0 ? static_cast<size_t>(max_length) : 1;
  SharedAnswer answer(target, sizeof(TraceAnswerHeader) + room);
  const auto deadline = std::chrono::steady_clock::now() + kAnswerLimit;
  if (const std::string error = answer.Create(deadline); !error.empty()) return Fail(error);

  sigval value{};
  value.sival_int = max_length;
  if (sigqueue(target, SIGRTMIN + kTraceRequestSignalOffset, value) != 0) {
    return Fail("cannot send the request to process " + std::to_string(target) + ": " +
                std::strerror(errno));
  }
  auto state = TraceAnswer::kWaiting;
  while ((state = static_cast<TraceAnswer>(
              answer.Header().answer.load(std::memory_order_acquire))) == TraceAnswer::kWaiting) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return Fail("process " + std::to_string(target) + " did not answer within 10 seconds");
    }
    std::this_thread::sleep_for(kPoll);
  }
  switch (state) {
    case TraceAnswer::kReportWritten: {
      const std::string_view report = answer.Report();
      std::fwrite(report.data(), 1, report.size(), stdout);
      std::fputs("\r\n", stdout);
      return std::fflush(stdout) == 0 ? 0
                                      : Fail("the report could not be written to standard output");
    }
    case TraceAnswer::kPutOnClipboard:
      std::printf("The report of process %d is on its clipboard.\n", static_cast<int>(target));
      return 0;
    case TraceAnswer::kNoClipboard:
      return Fail("process " + std::to_string(target) + " has no clipboard (it has no window)");
    default:
      return Fail("process " + std::to_string(target) + " gave an answer of an unknown kind");
  }
}

}  // namespace

int Main(int argc, char** argv) {
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::puts(platform::FileVersionText(reinterpret_cast<const void*>(&Main)).c_str());
    return 0;
  }
  if (argc < 2 || argc > 3) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const auto target = ParseNumber<pid_t>(argv[1]);
  if (!target || *target <= 0) {
    std::fprintf(stderr, "userdb-trace: not a process id: %s\n%s", argv[1], kUsage);
    return kExitUsage;
  }
  int32_t max_length = kDefaultMaxLength;
  if (argc == 3) {
    const auto given = ParseNumber<int32_t>(argv[2]);
    if (!given) {
      std::fprintf(stderr, "userdb-trace: not a length from %d to %d: %s\n%s", INT32_MIN, INT32_MAX,
                   argv[2], kUsage);
      return kExitUsage;
    }
    max_length = *given;
  }
  return Trace(*target, max_length);
}

}  // namespace userdb::crash

int main(int argc, char** argv) {
  return userdb::crash::Main(argc, argv);
}
