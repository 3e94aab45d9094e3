#include "crash/helper/clipboard_keeper.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QTimer>
#include <cerrno>
#include <string>

namespace userdb::crash {

namespace {

// How long the helper waits for the keeper to take the clipboard over.
constexpr int kHandOverMilliseconds = 700;
// How long the keeper serves the clipboard at most.
constexpr int kKeepMilliseconds = 12 * 60 * 60 * 1000;

void WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    done += static_cast<size_t>(written);
  }
}

// Starts the keeper as a grandchild in a session of its own, so that neither this helper's
// end nor the crashed program's takes it along; its standard input is the returned pipe.
int StartKeeper(const std::string& path) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return -1;
  const int nothing = open("/dev/null", O_RDWR | O_CLOEXEC);
  const pid_t child = fork();
  if (child == 0) {
    setsid();
    if (fork() != 0) _exit(0);
    dup2(ends[0], STDIN_FILENO);
    if (nothing >= 0) dup2(nothing, STDOUT_FILENO);
    execl(path.c_str(), path.c_str(), kKeepClipboardArgument, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ends[0]);
  if (nothing >= 0) close(nothing);
  if (child < 0) {
    close(ends[1]);
    return -1;
  }
  waitpid(child, nullptr, 0);
  return ends[1];
}

}  // namespace

void HandClipboardToKeeper(const QString& helper_path) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard->ownsClipboard()) return;
  const int input = StartKeeper(helper_path.toStdString());
  if (input < 0) return;
  WriteAll(input, clipboard->text().toStdString());
  close(input);
  const QDeadlineTimer limit(kHandOverMilliseconds);
  while (clipboard->ownsClipboard() && !limit.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    usleep(10000);
  }
}

int KeepClipboard() {
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setText(QString::fromStdString(text));
  QObject::connect(clipboard, &QClipboard::dataChanged, [clipboard] {
    if (!clipboard->ownsClipboard()) QCoreApplication::quit();
  });
  QTimer::singleShot(kKeepMilliseconds, [] { QCoreApplication::quit(); });
  return QGuiApplication::exec();
}

}  // namespace userdb::crash
