// A colour as the crash reporter's windows draw it.
#pragma once

#include <cstdint>

namespace userdb::crash {

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

}  // namespace userdb::crash
