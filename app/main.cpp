// userdb-transform: the desktop program. The crash reporter comes first and ends last; then
// the application object, the current user's settings store and the window, which live until
// the window is closed.
#include <iostream>

#include "app/application.h"
#include "app/main_window.h"
#include "crash/crash_reporter.h"
#include "platform/registry/registry_file_location.h"
#include "platform/registry/registry_store.h"

int main(int argc, char** argv) {
  CrashReporter crash_reporter;
  Application application(argc, argv);
  RegistryStore store(DefaultRegistryFilePath(), std::cerr);
  TfrmUserDb window(store, application.ErrorHandler(), application.Title());
  window.show();
  return application.exec();
}
