#include "cli/terminal_progress.h"

#include <unistd.h>

namespace userdb::cli {

TerminalProgress::TerminalProgress(std::FILE* stream, std::chrono::milliseconds quiet_time)
    : stream_(stream),
      enabled_(isatty(fileno(stream)) == 1),
      show_from_(std::chrono::steady_clock::now() + quiet_time) {}

void TerminalProgress::SetTotalParts(int32_t total_parts) {
  if (percentage_.SetTotalParts(total_parts)) Show();
}

void TerminalProgress::SetPartsComplete(int32_t parts_complete) {
  if (percentage_.SetPartsComplete(parts_complete)) Show();
}

void TerminalProgress::Show() {
  if (!enabled_ || std::chrono::steady_clock::now() < show_from_) return;
  std::fprintf(stream_, "\rConverting: %3d %%", static_cast<int>(percentage_.Percentage()));
  std::fflush(stream_);
  shown_ = true;
}

void TerminalProgress::Wipe() {
  if (!shown_) return;
  std::fputs("\r\033[K", stream_);
  std::fflush(stream_);
  shown_ = false;
}

}  // namespace userdb::cli
