#include "app/unhandled_error_handler.h"

#include "platform/exception.h"

namespace userdb::app {

std::string FailureMessage(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const Exception& exception) {
    return exception.Message();
  } catch (const std::exception& exception) {
    return exception.what();
  } catch (...) {
    return "Unknown failure";
  }
}

}  // namespace userdb::app
