// A progress line on a terminal for a run that takes a while: shown only when the
// stream is a terminal and only once the run has lasted half a second, and wiped before
// any other line is printed, so that it never ends up in the log.
//
// Another thread may hold it hidden (the crash reporter, while it writes a report on the same
// terminal): it is wiped then and stays away until it is let back.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>

#include "conversion/progress_percentage.h"

namespace userdb::cli {

class TerminalProgress {
 public:
  // How long Hide waits for a line being written at that moment.
  static constexpr std::chrono::milliseconds kHideLimit{200};

  explicit TerminalProgress(std::FILE* stream,
                            std::chrono::milliseconds quiet_time = std::chrono::milliseconds(500));

  void SetTotalParts(int32_t total_parts);
  void SetPartsComplete(int32_t parts_complete);
  // Removes the progress line, if one is shown.
  void Wipe();

  // Removes the progress line and keeps it away until Release; any thread.
  void Hide();
  void Release();

 private:
  void Show();
  void WipeLocked();  // with the mutex held

  std::FILE* stream_;
  bool enabled_;
  std::timed_mutex mutex_;  // around shown_, held_ and the writes
  bool shown_ = false;
  bool held_ = false;
  std::chrono::steady_clock::time_point show_from_;
  conversion::ProgressPercentage percentage_;
};

}  // namespace userdb::cli
