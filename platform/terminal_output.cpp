#include "platform/terminal_output.h"

#include <termios.h>

namespace userdb::platform {

bool TerminalAddsCarriageReturns(int fd) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return false;
  return (settings.c_oflag & OPOST) != 0 && (settings.c_oflag & ONLCR) != 0;
}

}  // namespace userdb::platform
