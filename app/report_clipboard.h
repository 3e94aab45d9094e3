// The clipboard that a trace request with a maximum length below 1 puts its report on: the
// window's, reached through the application's main thread.
#pragma once

#include <QObject>
#include <string>

#include "crash/crash_reporter.h"

namespace userdb::app {

// While it lives, the crash reporter's clipboard is the application's; `application` must
// outlive it.
class ReportClipboard {
 public:
  ReportClipboard(crash::CrashReporter& crash_reporter, QObject& application);
  ~ReportClipboard();
  ReportClipboard(const ReportClipboard&) = delete;
  ReportClipboard& operator=(const ReportClipboard&) = delete;

 private:
  crash::CrashReporter& crash_reporter_;
};

}  // namespace userdb::app
