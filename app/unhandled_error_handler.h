// Where a failure goes that no code of the program handles: one that escapes an event
// handler of the window, or its creation. The application shows it in a message box;
// the crash reporter takes that place when it is installed.
#pragma once

#include <exception>
#include <string>

namespace userdb::app {

class UnhandledErrorHandler {
 public:
  virtual ~UnhandledErrorHandler() = default;
  // Runs on the user interface thread; the program goes on afterwards.
  virtual void Handle(std::exception_ptr failure) = 0;
  // A failure that escaped the handling of an event sent to `receiver`.
  virtual void HandleEscaped(std::exception_ptr failure, const void* /*receiver*/) {
    Handle(failure);
  }
};

// The failure's message in the program's 8-bit text: an Exception's own message, the
// description of any other standard exception.
std::string FailureMessage(std::exception_ptr failure);

}  // namespace userdb::app
