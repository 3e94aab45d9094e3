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
  {
    std::lock_guard lock(mutex_);
    if (held_) return;
    std::fprintf(stream_, "\rConverting: %3d %%", static_cast<int>(percentage_.Percentage()));
    shown_ = true;
  }
  // Outside the lock: a terminal that takes its time holds up no one who hides the line.
  std::fflush(stream_);
}

void TerminalProgress::WipeLocked() {
  if (!shown_) return;
  std::fputs("\r\033[K", stream_);
  shown_ = false;
}

void TerminalProgress::Wipe() {
  bool wiped;
  {
    std::lock_guard lock(mutex_);
    wiped = shown_;
    WipeLocked();
  }
  if (wiped) std::fflush(stream_);
}

void TerminalProgress::Hide() {
  // A thread that failed while it wrote the line holds the lock for ever: the line may then
  // be shown, and what follows goes on a line of its own.
  std::unique_lock lock(mutex_, kHideLimit);
  if (!lock.owns_lock()) {
    if (enabled_) std::fputc('\n', stream_);
    return;
  }
  held_ = true;
  WipeLocked();
  std::fflush(stream_);
}

void TerminalProgress::Release() {
  std::lock_guard lock(mutex_);
  held_ = false;
}

}  // namespace userdb::cli
