// The window program's connection to its crash reporter: the crash reporter takes over the
// application's handling of unhandled errors, and may ask the main thread to run a call or
// to go on processing events while a failure of its own is handled.
#pragma once

#include <QApplication>

#include "app/application.h"
#include "app/message_box.h"
#include "app/unhandled_error_handler.h"
#include "crash/crash_reporter.h"

namespace userdb::app {

// Hands unhandled errors to the crash reporter; while it is not installed, to the
// application's own box.
class CrashReporterErrorHandler : public UnhandledErrorHandler {
 public:
  CrashReporterErrorHandler(crash::CrashReporter& crash_reporter, UnhandledErrorHandler& fallback)
      : crash_reporter_(crash_reporter), fallback_(fallback) {}

  void Handle(std::exception_ptr failure) override;
  void HandleEscaped(std::exception_ptr failure, const void* receiver) override;

 private:
  crash::CrashReporter& crash_reporter_;
  UnhandledErrorHandler& fallback_;
};

// While it lives, the application's failures go to the crash reporter and the crash
// reporter reaches the application's main thread, where it shows the program's own message
// box when its box cannot be shown; `application` must outlive it.
class CrashReporterConnection {
 public:
  CrashReporterConnection(crash::CrashReporter& crash_reporter, Application& application);
  ~CrashReporterConnection();
  CrashReporterConnection(const CrashReporterConnection&) = delete;
  CrashReporterConnection& operator=(const CrashReporterConnection&) = delete;

 private:
  crash::CrashReporter& crash_reporter_;
  Application& application_;
  UnhandledErrorHandler& previous_handler_;
  CrashReporterErrorHandler handler_;
  WindowMessageBox message_box_;
};

// Waits until `fd` is readable, processing the main thread's events meanwhile.
void WaitProcessingEvents(int fd);

}  // namespace userdb::app
