// The crash reporter's last resort for a fatal signal whose handling makes no progress: the
// report as far as it exists and the bug report file it belongs in, kept up to date by the
// handling, so that the signal handler appends them to the file without allocating anything.
#pragma once

#include <atomic>
#include <cstddef>
#include <string_view>

namespace userdb::crash {

class EmergencyReport {
 public:
  static constexpr size_t kCapacity = 512 * 1024;  // a longer report is cut
  static constexpr size_t kPathCapacity = 4096;

  EmergencyReport();
  ~EmergencyReport();
  EmergencyReport(const EmergencyReport&) = delete;
  EmergencyReport& operator=(const EmergencyReport&) = delete;

  // The report so far and the file it goes to; an empty report clears it.
  void Update(std::string_view file, std::string_view report);

  // Async-signal-safe: appends the report, followed by the separator of the bug report
  // file, to its file (made when missing, never through a link); tells whether it did.
  bool AppendToFile() const;

 private:
  char* memory_ = nullptr;  // the report's room, then the file's
  std::atomic<size_t> report_size_{0};
  std::atomic<size_t> path_size_{0};
  std::atomic<unsigned> version_{0};  // odd while an update writes
};

}  // namespace userdb::crash
