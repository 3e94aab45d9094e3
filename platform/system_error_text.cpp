#include "platform/system_error_text.h"

#include <string.h>

namespace userdb::platform {

std::string SystemErrorText(int error_number) {
  char buffer[256];
  // The GNU strerror_r may return a static string instead of filling the buffer.
  std::string text = strerror_r(error_number, buffer, sizeof buffer);
  while (!text.empty()) {
    const char last = text.back();
    if (last != ' ' && last != '\r' && last != '\n' && last != '.') break;
    text.pop_back();
  }
  return text;
}

}  // namespace userdb::platform
