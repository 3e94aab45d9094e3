#include "crash/capture/emergency_report.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace userdb::crash {

namespace {

bool WriteAll(int fd, const char* bytes, size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, bytes, size);
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

EmergencyReport::EmergencyReport() {
  // Mapped now, so that the signal handler finds every page ready.
  void* memory = mmap(nullptr, kCapacity + kPathCapacity, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (memory != MAP_FAILED) memory_ = static_cast<char*>(memory);
}

EmergencyReport::~EmergencyReport() {
  if (memory_ != nullptr) munmap(memory_, kCapacity + kPathCapacity);
}

void EmergencyReport::Update(std::string_view file, std::string_view report) {
  if (memory_ == nullptr) return;
  version_.fetch_add(1, std::memory_order_acq_rel);
  const size_t report_size = std::min(report.size(), kCapacity);
  const size_t path_size = file.size() < kPathCapacity ? file.size() : 0;
  std::memcpy(memory_, report.data(), report_size);
  std::memcpy(memory_ + kCapacity, file.data(), path_size);
  memory_[kCapacity + path_size] = '\0';
  report_size_.store(report.empty() ? 0 : report_size, std::memory_order_relaxed);
  path_size_.store(path_size, std::memory_order_relaxed);
  version_.fetch_add(1, std::memory_order_acq_rel);
}

bool EmergencyReport::AppendToFile() const {
  if (memory_ == nullptr) return false;
  // An update that is writing at this moment (on the stuck handling thread) may never end:
  // the text is taken as it is then.
  const size_t report_size = report_size_.load(std::memory_order_relaxed);
  const size_t path_size = path_size_.load(std::memory_order_relaxed);
  if (report_size == 0 || path_size == 0) return false;
  const int fd =
      open(memory_ + kCapacity, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, memory_, report_size) && WriteAll(fd, "\r\n\r\n", 4);
  close(fd);
  return written;
}

}  // namespace userdb::crash
