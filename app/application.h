// The application object: one for the process, created first in main and kept until main
// returns. It carries the application's title and hands every failure that escapes an
// event handler to the application's handling of unhandled errors.
#pragma once

#include <QApplication>
#include <QString>

#include "app/unhandled_error_box.h"
#include "app/unhandled_error_handler.h"

namespace userdb::app {

class Application : public QApplication {
 public:
  Application(int& argc, char** argv);

  // The program file's name as the caption of message boxes ("userdb-transform").
  const QString& Title() const { return title_; }

  // The handling of unhandled errors: a message box unless another handler was set.
  UnhandledErrorHandler& ErrorHandler() { return *error_handler_; }
  // `handler` must outlive the application object.
  void SetErrorHandler(UnhandledErrorHandler& handler) { error_handler_ = &handler; }

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  QString title_;
  UnhandledErrorBox error_box_;
  UnhandledErrorHandler* error_handler_;
};

}  // namespace userdb::app
