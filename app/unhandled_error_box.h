// The application's own handling of unhandled failures: their message in a box.
#pragma once

#include <QString>
#include <string>

#include "app/message_box.h"
#include "app/unhandled_error_handler.h"

namespace userdb::app {

class UnhandledErrorBox : public UnhandledErrorHandler {
 public:
  // `title`: the application's title, the box's caption.
  explicit UnhandledErrorBox(const QString& title) : title_(title.toStdString()) {}

  // Shows the failure's message with an error icon and one "OK" button, modally.
  void Handle(std::exception_ptr failure) override;

 private:
  std::string title_;  // UTF-8
  WindowMessageBox box_;
};

}  // namespace userdb::app
