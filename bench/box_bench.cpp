// The exception box's speed: how long after the failure the box is on the screen (the crash
// helper's start included: the helper is started, told the box and answers "shown"), and how
// long switching tabs takes on a report of 10,000 lines per tab. Figures only; needs a display
// (run through tests/run-with-display).
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QStyleFactory>
#include <chrono>
#include <cstdio>
#include <string>

#include "crash/helper/box_request.h"
#include "crash/helper/exception_box_window.h"
#include "crash/helper/report_viewer.h"

namespace {

using userdb::crash::BoxRequest;
using userdb::crash::HelperMessage;
using userdb::crash::HelperMessageReader;

BoxRequest ProgramLikeRequest() {
  BoxRequest request;
  userdb::crash::BoxSettings& settings = request.settings;
  settings.title_bar = "userdb-transform";
  settings.except_msg = "In der Anwendung trat ein Fehler auf";
  settings.captions = {"Sende einen Fehlerbericht",
                       "Fehlerbericht speichern",
                       "Fehlerbericht ausdrucken",
                       "Fehlerbericht anzeigen",
                       "Anwendung fortsetzen",
                       "Anwendung neu starten",
                       "Anwendung schlie\xDF"
                       "en"};
  settings.visible = {true, true, false, true, true, true, true};
  settings.program_name = "userdb-transform";
  request.exception = {"Testfehler", false, true};
  return request;
}

// Milliseconds from the helper's start to its "shown".
double BoxOnScreen(const std::string& helper) {
  int ends[2];
  socketpair(AF_UNIX, SOCK_STREAM, 0, ends);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    dup2(ends[1], STDIN_FILENO);
    dup2(ends[1], STDOUT_FILENO);
    close(ends[0]);
    execl(helper.c_str(), helper.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ends[1]);
  const std::string bytes = EncodeHelperMessage(EncodeBoxRequest(ProgramLikeRequest()));
  if (write(ends[0], bytes.data(), bytes.size()) < 0) return -1;
  HelperMessageReader reader;
  double took = -1;
  char buffer[4096];
  for (ssize_t got; took < 0 && (got = read(ends[0], buffer, sizeof buffer)) > 0;) {
    reader.Feed(std::string_view(buffer, static_cast<size_t>(got)));
    while (const auto message = reader.Next()) {
      if (message->verb == userdb::crash::helper::kShown) {
        took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                   .count();
      }
    }
  }
  close(ends[0]);  // the helper ends with its input
  waitpid(child, nullptr, 0);
  return took;
}

userdb::crash::ReportContents LongReport(int lines) {
  userdb::crash::ReportContents report;
  report.header = {{"date/time", "2024-01-01, 12:00:00, 000ms"},
                   {"exception class", "TestFailure"}};
  std::string stack = ">> main thread ($1a2b)";
  std::string modules;
  for (int i = 0; i < lines; ++i) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "\r\n%016x +%03x libexample%d.so  unit%d.c  %5d +%d  Function%d",
                  0x401000 + i * 16, i % 4096, i % 7, i % 13, i % 900, i % 9, i);
    stack += line;
    std::snprintf(line, sizeof line, "%s%016lx  libexample%d.so  1.0.%d  /usr/lib/libexample%d.so",
                  i == 0 ? "" : "\r\n", 0x7f0000000000 + i * 4096, i, i % 10, i);
    modules += line;
  }
  report.sections = {{"main thread ($1a2b)", stack}, {"modules", modules}};
  report.text = stack + modules;
  report.complete = true;
  return report;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  const std::string helper = HELPER_PATH;
  for (int run = 0; run < 3; ++run)
    std::printf("box on screen after the failure (helper start included): %.1f ms\n",
                BoxOnScreen(helper));

  userdb::crash::ExceptionBoxWindow box(ProgramLikeRequest(), true, false,
                                        userdb::crash::ChooseBoxFonts());
  box.UpdateReport(LongReport(10000));
  box.show();
  QApplication::processEvents();
  userdb::crash::ReportViewer& viewer = *box.Viewer();
  for (int run = 0; run < 6; ++run) {
    const int next = 1 + (run % (viewer.count() - 1));
    QElapsedTimer clock;
    clock.start();
    viewer.setCurrentIndex(next);
    QApplication::processEvents();
    std::printf("tab switch to \"%s\" on a 10,000-line report: %lld ms\n",
                viewer.tabText(next).toUtf8().constData(), clock.elapsed());
  }
  return 0;
}
