#include "app/unhandled_error_box.h"

namespace userdb::app {

void UnhandledErrorBox::Handle(std::exception_ptr failure) {
  box_.Show(title_, FailureMessage(failure), platform::MessageKind::kError);
}

}  // namespace userdb::app
