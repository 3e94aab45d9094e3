// The crash reporter's last resort for a fatal signal whose handling makes no progress (a
// thread holds a lock that the handling needs: the allocator's, the loader's) or cannot take
// it at all: what the signal handler saves itself, without allocating anything. The handling
// keeps the report as far as it exists here and the bug report file it belongs in; when that
// report is complete, it is what is saved, otherwise the handler composes the report that can
// be had without allocating (emergency_report_text.h). Either is appended to the bug report
// file and written to standard error.
//
// Save is async-signal-safe; the rest is not.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

#include "crash/capture/emergency_naming.h"
#include "crash/capture/emergency_report_text.h"
#include "crash/capture/emergency_stacks.h"

namespace userdb::crash {

// What an emergency report needs of the program, gathered before any fault.
struct EmergencyPreparation {
  pid_t main_thread = 0;
  std::atomic<uint32_t>* headers_built = nullptr;  // the count of exception numbers given
  std::string version;
  std::string compiler;
  std::string reporter_version;
  std::string report_file;  // where a report goes while the handling has named no file
};

class EmergencyReport {
 public:
  static constexpr size_t kCapacity = 512 * 1024;  // a longer report is cut
  static constexpr size_t kPathCapacity = 4096;
  static constexpr size_t kMostFrames = 16384;  // of all threads together
  // A write to standard error that cannot go on for this long ends the writing.
  static constexpr int kWriteLimitMilliseconds = 1000;

  EmergencyReport();
  ~EmergencyReport();
  EmergencyReport(const EmergencyReport&) = delete;
  EmergencyReport& operator=(const EmergencyReport&) = delete;

  void Prepare(EmergencyPreparation preparation);
  void SetHandlingThread(pid_t thread) { handling_thread_.store(thread); }

  // The report so far and the file it goes to; an empty report clears it.
  void Update(std::string_view file, std::string_view report, bool complete);

  // Async-signal-safe: appends the report kept when it is complete, or else the one composed
  // here for `fault` (the calling thread's), followed by the separator of the bug report file,
  // to its file (made when missing, never through a link), and writes it to standard error.
  // Only the first call of the process saves; a later one answers false at once.
  bool Save(const FaultFacts& fault);

 private:
  bool AppendToFile(std::string_view report) const;
  std::string_view Compose(const FaultFacts& fault);

  char* memory_ = nullptr;  // the report's room, then the file's
  NamedAddress* frames_ = nullptr;
  std::atomic<size_t> report_size_{0};
  std::atomic<size_t> path_size_{0};
  std::atomic<bool> complete_{false};
  std::atomic<unsigned> version_{0};  // odd while an update writes
  std::atomic<bool> saving_{false};
  std::atomic<pid_t> handling_thread_{0};
  EmergencyPreparation prepared_;
  int64_t utc_offset_seconds_ = 0;
  EmergencyStacks stacks_;
  EmergencyNaming naming_;
};

}  // namespace userdb::crash
