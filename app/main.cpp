// userdb-transform: the desktop program. The crash reporter comes first and ends last; then
// the application object (whose clipboard takes the reports of trace requests, and whose
// unhandled errors go to the crash reporter), the current user's settings store and the
// window, which live until the window is closed. The store's notices go to standard error
// and into the window's log pane.
#include <iostream>

#include "app/application.h"
#include "app/crash_reporter_connection.h"
#include "app/main_window.h"
#include "app/notice_stream.h"
#include "app/report_clipboard.h"
#include "crash/crash_reporter.h"
#include "platform/registry/registry_file_location.h"
#include "platform/registry/registry_store.h"

namespace userdb::app {

int RunWindow(crash::CrashReporter& crash_reporter, int argc, char** argv) {
  Application application(argc, argv);
  ReportClipboard report_clipboard(crash_reporter, application);
  CrashReporterConnection connection(crash_reporter, application);
  NoticeStream notices(std::cerr);
  registry::RegistryStore store(registry::DefaultRegistryFilePath(), notices);
  TfrmUserDb window(store, notices, application.ErrorHandler(), application.Title());
  window.show();
  return application.exec();
}

}  // namespace userdb::app

int main(int argc, char** argv) {
  userdb::crash::CrashReporter crash_reporter(userdb::crash::ProgramForm::kWindow);
  return crash_reporter.RunMain([&] { return userdb::app::RunWindow(crash_reporter, argc, argv); });
}
