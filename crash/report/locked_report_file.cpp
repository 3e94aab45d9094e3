#include "crash/report/locked_report_file.h"

#include <fcntl.h>

#include <utility>

#include "platform/whole_file.h"

LockedReportFile LockedReportFile::Open(const std::string& path,
                                        std::chrono::milliseconds lock_wait) {
  return LockedReportFile(LockedFile::Open(path, {.access = O_RDWR}, LockWait::For(lock_wait)));
}

std::optional<std::string_view> LockedReportFile::Contents() {
  if (!contents_) {
    contents_ = file_.ReadAll(kMaxWholeFileSize);
    if (!contents_) return std::nullopt;
  }
  return std::string_view(*contents_);
}
