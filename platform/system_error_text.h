#pragma once

#include <string>

namespace userdb::platform {

// The system's text for an errno value, as a sentence fragment that can end a message:
// trailing blanks, line ends and full stops removed.
std::string SystemErrorText(int error_number);

}  // namespace userdb::platform
