// The crash helper: every window of a program's crash reporter, drawn in a process of its
// own while the crashed program waits. Started by the crash reporter with the protocol on
// standard input and output; not meant to be started by hand.
#include <unistd.h>

#include <QApplication>
#include <QStyleFactory>
#include <cstring>

#include "crash/helper/clipboard_keeper.h"
#include "crash/helper/helper_session.h"

int main(int argc, char** argv) {
  if (isatty(STDIN_FILENO) == 1) {
    fputs("userdb-crash-helper: started by the crash reporter of userdb-transform only\n", stderr);
    return 2;
  }
  if (argc == 2 && std::strcmp(argv[1], userdb::crash::kKeepClipboardArgument) == 0) {
    QGuiApplication application(argc, argv);
    return userdb::crash::KeepClipboard();
  }
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setQuitOnLastWindowClosed(false);
  userdb::crash::HelperSession session(STDIN_FILENO, STDOUT_FILENO,
                                       qEnvironmentVariable("USERDB_CRASH_HELPER_DESCRIBE"),
                                       qEnvironmentVariable("USERDB_CRASH_ASSISTANT_DESCRIBE"));
  return QApplication::exec();
}
