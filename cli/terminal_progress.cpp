#include "cli/terminal_progress.h"

#include <unistd.h>

#include "platform/stream_descriptor_write.h"

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
  // The crash reporter hides the line, and the failed thread may hold the line's lock or the
  // stream's for ever: neither is waited for without a limit.
  std::unique_lock lock(mutex_, kHideLimit);
  if (!lock.owns_lock()) {
    if (enabled_) platform::WriteToStreamDescriptor(stream_, "\n");
    return;
  }
  held_ = true;
  if (!shown_) return;
  platform::WriteToStreamDescriptor(stream_, "\r\033[K");
  shown_ = false;
}

void TerminalProgress::Release() {
  std::lock_guard lock(mutex_);
  held_ = false;
}

}  // namespace userdb::cli
