// The emergency memory reserve: four ranges of 4 MB of address space, reserved, and four
// blocks of 512 KB, committed but inaccessible. They are released at the very start of a
// capture, so that the handling finds memory even after an out-of-memory failure, and taken
// again when the capture is done. Any thread may release and take; the owner ends it.
#pragma once

#include <array>
#include <cstddef>
#include <mutex>

namespace userdb::crash {

class EmergencyMemory {
 public:
  static constexpr size_t kReservedSize = 4 * 1024 * 1024;
  static constexpr size_t kCommittedSize = 512 * 1024;

  EmergencyMemory() { Take(); }
  ~EmergencyMemory() { Release(); }
  EmergencyMemory(const EmergencyMemory&) = delete;
  EmergencyMemory& operator=(const EmergencyMemory&) = delete;

  void Release();
  void Take();
  bool Held() const;

 private:
  mutable std::mutex mutex_;
  std::array<void*, 4> reserved_{};
  std::array<void*, 4> committed_{};
};

}  // namespace userdb::crash
