// What the exception box needs to know of the caught exception.
#pragma once

#include <string>

namespace userdb::crash {

struct BoxException {
  std::string message;  // the formatted exception message (FormattedExceptionMessage)
  bool frozen = false;  // a freeze: the box says "FrozenMsg" instead of "ExceptMsg"
  bool can_continue = true;
};

}  // namespace userdb::crash
