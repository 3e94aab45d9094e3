// The application's own handling of unhandled failures: their message in a box.
#pragma once

#include <QString>
#include <utility>

#include "app/unhandled_error_handler.h"

namespace userdb::app {

class UnhandledErrorBox : public UnhandledErrorHandler {
 public:
  // `title`: the application's title, the box's caption.
  explicit UnhandledErrorBox(QString title) : title_(std::move(title)) {}

  // Shows the failure's message with an error icon and one "OK" button, modally.
  void Handle(std::exception_ptr failure) override;

 private:
  QString title_;
};

}  // namespace userdb::app
