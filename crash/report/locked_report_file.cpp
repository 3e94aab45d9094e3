#include "crash/report/locked_report_file.h"

#include <fcntl.h>

#include <utility>

#include "platform/whole_file.h"

namespace userdb::crash {

LockedReportFile LockedReportFile::Open(const std::string& path,
                                        std::chrono::milliseconds lock_wait) {
  return LockedReportFile(
      platform::LockedFile::Open(path, {.access = O_RDWR}, platform::LockWait::For(lock_wait)));
}

std::optional<std::string_view> LockedReportFile::Contents() {
  if (!contents_) {
    contents_ = file_.ReadAll(platform::kMaxWholeFileSize);
    if (!contents_) return std::nullopt;
  }
  return std::string_view(*contents_);
}

}  // namespace userdb::crash
