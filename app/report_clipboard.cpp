#include "app/report_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMetaObject>

#include "platform/qt/screen_text.h"

namespace userdb::app {

ReportClipboard::ReportClipboard(crash::CrashReporter& crash_reporter, QObject& application)
    : crash_reporter_(crash_reporter) {
  // The clipboard belongs to the main thread; the request is answered on another one.
  crash_reporter_.SetClipboard([&application](const std::string& text) {
    QMetaObject::invokeMethod(
        &application, [text] { QGuiApplication::clipboard()->setText(platform::ScreenText(text)); },
        Qt::QueuedConnection);
  });
}

ReportClipboard::~ReportClipboard() {
  crash_reporter_.SetClipboard(nullptr);
}

}  // namespace userdb::app
