#include "app/unhandled_error_box.h"

#include "app/message_box.h"

namespace userdb::app {

void UnhandledErrorBox::Handle(std::exception_ptr failure) {
  ShowMessageBox(title_, FailureMessage(failure), QMessageBox::Critical);
}

}  // namespace userdb::app
