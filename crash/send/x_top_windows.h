// The top-level windows on the X server's screen that a screenshot has to know: the
// visible ones, in their stacking order, and which of them belong to a given process.
#pragma once

#include <sys/types.h>
#include <xcb/xcb.h>

#include <optional>
#include <string>
#include <vector>

#include "crash/send/screen_region.h"
#include "crash/send/x_connection.h"

namespace userdb::crash {

struct XTopWindow {
  xcb_window_t id = 0;
  ScreenRect outer;  // with its border, on the screen
  ScreenRect inner;  // inside its border: where its own pixels lie
  bool own = false;
};

// The root window's children that show on the screen, bottom to top: mapped and viewable,
// not minimized (neither in the iconic state nor hidden by the window manager), able to
// draw. A window counts as `process`'s when its client window (itself, or the one a
// window manager's frame holds) carries _NET_WM_PID with that id and no other host in
// WM_CLIENT_MACHINE than `host`. None when the server stops answering.
std::optional<std::vector<XTopWindow>> VisibleTopWindows(XConnection& connection, pid_t process,
                                                         const std::string& host);

// Whether the window was created by the X server itself rather than by a client: under a
// compositing manager that is the composite overlay window, which lies over the whole
// screen and through which the composited screen shows; it hides no window.
bool IsServerWindow(xcb_window_t window, const xcb_setup_t& setup);

}  // namespace userdb::crash
