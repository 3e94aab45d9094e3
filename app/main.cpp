// userdb-transform: the desktop program. The crash reporter comes first and ends last; then
// the application object, the current user's settings store and the window, which live until
// the window is closed. The store's notices go to standard error and into the window's log
// pane.
#include <iostream>

#include "app/application.h"
#include "app/main_window.h"
#include "app/notice_stream.h"
#include "crash/crash_reporter.h"
#include "platform/registry/registry_file_location.h"
#include "platform/registry/registry_store.h"

int main(int argc, char** argv) {
  CrashReporter crash_reporter;
  Application application(argc, argv);
  NoticeStream notices(std::cerr);
  RegistryStore store(DefaultRegistryFilePath(), notices);
  TfrmUserDb window(store, notices, application.ErrorHandler(), application.Title());
  window.show();
  return application.exec();
}
