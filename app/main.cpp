// userdb-transform: the desktop program. The application object comes first, then the
// current user's settings store and the window; both live until the window is closed.
#include <iostream>

#include "app/application.h"
#include "app/main_window.h"
#include "platform/registry/registry_file_location.h"
#include "platform/registry/registry_store.h"

int main(int argc, char** argv) {
  Application application(argc, argv);
  RegistryStore store(DefaultRegistryFilePath(), std::cerr);
  TfrmUserDb window(store, application.ErrorHandler(), application.Title());
  window.show();
  return application.exec();
}
