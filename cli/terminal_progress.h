// A progress line on a terminal for a run that takes a while: shown only when the
// stream is a terminal and only once the run has lasted half a second, and wiped before
// any other line is printed, so that it never ends up in the log.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "conversion/progress_percentage.h"

namespace userdb::cli {

class TerminalProgress {
 public:
  explicit TerminalProgress(std::FILE* stream,
                            std::chrono::milliseconds quiet_time = std::chrono::milliseconds(500));

  void SetTotalParts(int32_t total_parts);
  void SetPartsComplete(int32_t parts_complete);
  // Removes the progress line, if one is shown.
  void Wipe();

 private:
  void Show();

  std::FILE* stream_;
  bool enabled_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point show_from_;
  conversion::ProgressPercentage percentage_;
};

}  // namespace userdb::cli
