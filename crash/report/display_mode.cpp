// The display mode of the X screen, through a connection of the report's own.
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

#include "crash/report/header_sources.h"

namespace userdb::crash {

std::string DisplayModeText() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') return {};
  int screen_number = 0;
  std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(
      xcb_connect(display, &screen_number), &xcb_disconnect);
  if (!connection || xcb_connection_has_error(connection.get()) != 0) return {};
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
  for (int i = 0; i < screen_number && screens.rem > 0; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0) return {};
  const xcb_screen_t& screen = *screens.data;
  return std::to_string(screen.width_in_pixels) + "x" + std::to_string(screen.height_in_pixels) +
         ", " + std::to_string(screen.root_depth) + " bit";
}

}  // namespace userdb::crash
