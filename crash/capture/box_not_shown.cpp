#include "crash/capture/box_not_shown.h"

#include <unistd.h>

#include <cerrno>

#include "platform/display_text.h"

namespace userdb::crash {

std::string BoxNotShownNotice(std::string_view why, std::string_view saved_path) {
  std::string notice = "the error box could not be shown: " + std::string(why);
  if (saved_path.empty()) {
    notice += "; no bug report was saved";
  } else {
    notice += "; the bug report was saved to " + std::string(saved_path);
  }
  return notice;
}

void WriteNoticeToStandardError(std::string_view caption, std::string_view notice) {
  const std::string line =
      platform::DisplayUtf8(caption) + ": " + platform::DisplayUtf8(notice) + "\n";
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t written = write(STDERR_FILENO, line.data() + done, line.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    done += static_cast<size_t>(written);
  }
}

}  // namespace userdb::crash
