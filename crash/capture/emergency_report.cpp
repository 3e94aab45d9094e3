#include "crash/capture/emergency_report.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/stream_descriptor_write.h"

namespace userdb::crash {

namespace {

constexpr std::string_view kSeparator = "\r\n\r\n";

// To standard error with a line feed for each line end, in pieces that a pipe takes without
// blocking: a reader that stopped reading ends the writing, not the process's end.
void WriteToStandardError(std::string_view report, int limit_milliseconds) {
  char piece[4096];
  size_t size = 0;
  const auto flush = [&] {
    pollfd ready{STDERR_FILENO, POLLOUT, 0};
    if (size == 0) return true;
    if (poll(&ready, 1, limit_milliseconds) <= 0 || (ready.revents & POLLOUT) == 0) return false;
    const bool written =
        platform::WriteAllToDescriptor(STDERR_FILENO, std::string_view(piece, size));
    size = 0;
    return written;
  };
  for (size_t i = 0; i <= report.size(); ++i) {
    const char c = i < report.size() ? report[i] : '\n';
    if (c == '\r' && i + 1 < report.size() && report[i + 1] == '\n') continue;
    piece[size++] = c;
    if (size == sizeof piece && !flush()) return;
  }
  flush();
}

int64_t LocalTimeOffsetSeconds() {
  const time_t now = time(nullptr);
  tm local{};
  return localtime_r(&now, &local) != nullptr ? local.tm_gmtoff : 0;
}

}  // namespace

EmergencyReport::EmergencyReport() {
  // Mapped now, so that the signal handler finds every page of the kept report ready; the
  // frames' room is reserved only.
  void* memory = mmap(nullptr, kCapacity + kPathCapacity, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (memory != MAP_FAILED) memory_ = static_cast<char*>(memory);
  void* frames = mmap(nullptr, kMostFrames * sizeof(NamedAddress), PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (frames != MAP_FAILED) frames_ = static_cast<NamedAddress*>(frames);
}

EmergencyReport::~EmergencyReport() {
  if (memory_ != nullptr) munmap(memory_, kCapacity + kPathCapacity);
  if (frames_ != nullptr) munmap(frames_, kMostFrames * sizeof(NamedAddress));
}

void EmergencyReport::Prepare(EmergencyPreparation preparation) {
  prepared_ = std::move(preparation);
  if (prepared_.report_file.size() >= kPathCapacity) prepared_.report_file.clear();
  utc_offset_seconds_ = LocalTimeOffsetSeconds();
}

void EmergencyReport::Update(std::string_view file, std::string_view report, bool complete) {
  if (memory_ == nullptr) return;
  version_.fetch_add(1, std::memory_order_acq_rel);
  const size_t report_size = std::min(report.size(), kCapacity);
  const size_t path_size = file.size() < kPathCapacity ? file.size() : 0;
  std::memcpy(memory_, report.data(), report_size);
  std::memcpy(memory_ + kCapacity, file.data(), path_size);
  memory_[kCapacity + path_size] = '\0';
  report_size_.store(report.empty() ? 0 : report_size, std::memory_order_relaxed);
  path_size_.store(path_size, std::memory_order_relaxed);
  complete_.store(complete && report_size == report.size(), std::memory_order_relaxed);
  version_.fetch_add(1, std::memory_order_acq_rel);
}

bool EmergencyReport::Save(const FaultFacts& fault) {
  if (memory_ == nullptr || saving_.exchange(true)) return false;
  // An update that is writing at this moment (on the stuck handling thread) may never end:
  // the text is taken as it is then.
  const size_t kept = report_size_.load(std::memory_order_relaxed);
  const std::string_view report = kept > 0 && complete_.load(std::memory_order_relaxed)
                                      ? std::string_view(memory_, kept)
                                      : Compose(fault);
  AppendToFile(report);
  WriteToStandardError(report, kWriteLimitMilliseconds);
  return true;
}

std::string_view EmergencyReport::Compose(const FaultFacts& fault) {
  EmergencyProgramFacts program;
  program.main_thread = prepared_.main_thread;
  program.handling_thread = handling_thread_.load();
  program.utc_offset_seconds = utc_offset_seconds_;
  program.version = prepared_.version;
  program.compiler = prepared_.compiler;
  program.reporter_version = prepared_.reporter_version;
  // A handling that got as far as the header gave the exception its number already.
  if (prepared_.headers_built != nullptr) {
    program.exception_number = report_size_.load(std::memory_order_relaxed) > 0
                                   ? prepared_.headers_built->load()
                                   : prepared_.headers_built->fetch_add(1) + 1;
  }
  const std::span<EmergencyThread> threads =
      fault.context != nullptr ? stacks_.Collect(*fault.context) : std::span<EmergencyThread>();
  FixedText out(memory_, kCapacity);
  ComposeEmergencyReport(
      out, fault, program, threads, naming_,
      frames_ != nullptr ? std::span(frames_, kMostFrames) : std::span<NamedAddress>());
  return out.View();
}

bool EmergencyReport::AppendToFile(std::string_view report) const {
  const size_t path_size = path_size_.load(std::memory_order_relaxed);
  const char* path = path_size > 0 ? memory_ + kCapacity : prepared_.report_file.c_str();
  if (report.empty() || path[0] == '\0') return false;
  const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written =
      platform::WriteAllToDescriptor(fd, report) && platform::WriteAllToDescriptor(fd, kSeparator);
  close(fd);
  return written;
}

}  // namespace userdb::crash
