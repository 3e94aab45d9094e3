#include "app/crash_reporter_connection.h"

#include <poll.h>

#include <QEventLoop>
#include <QMetaObject>
#include <QSocketNotifier>

namespace userdb::app {

void CrashReporterErrorHandler::Handle(std::exception_ptr failure) {
  if (!crash_reporter_.ShowException(failure)) fallback_.Handle(failure);
}

void CrashReporterErrorHandler::HandleEscaped(std::exception_ptr failure, const void* receiver) {
  if (!crash_reporter_.HandleEscapedException(failure, receiver)) {
    fallback_.HandleEscaped(failure, receiver);
  }
}

void WaitProcessingEvents(int fd) {
  pollfd ready{fd, POLLIN, 0};
  if (poll(&ready, 1, 0) > 0) return;
  // A nested loop: the window goes on painting and answering while the crash reporter
  // handles, and a failure in one of its handlers queues behind the first.
  QEventLoop loop;
  QSocketNotifier notifier(fd, QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&loop] { loop.quit(); });
  loop.exec();
}

CrashReporterConnection::CrashReporterConnection(crash::CrashReporter& crash_reporter,
                                                 Application& application)
    : crash_reporter_(crash_reporter),
      application_(application),
      previous_handler_(application.ErrorHandler()),
      handler_(crash_reporter, application.ErrorHandler()) {
  application_.SetErrorHandler(handler_);
  crash::MainThreadCalls calls;
  calls.post = [&application](std::function<void()> call) {
    QMetaObject::invokeMethod(&application, std::move(call), Qt::QueuedConnection);
  };
  calls.wait_processing_events = &WaitProcessingEvents;
  calls.message_box = &message_box_;
  crash_reporter_.SetMainThreadCalls(std::move(calls));
}

CrashReporterConnection::~CrashReporterConnection() {
  crash_reporter_.SetMainThreadCalls({});
  application_.SetErrorHandler(previous_handler_);
}

}  // namespace userdb::app
