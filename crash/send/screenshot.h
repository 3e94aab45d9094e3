// The screenshot of a crash report, taken through the X server on a connection of the
// crash reporter's own.
//
// Of the program's own windows (the setting "ScrShotAppOnly"): the bounding rectangle of
// its visible, not minimized top-level windows, clipped to the screen; inside it, each own
// window less every window stacked above it is copied, everything else is white. Without
// own windows, or when all of them are covered, there is no screenshot. Otherwise the whole
// screen (all monitors: the root window). The mouse cursor is drawn in where it is, its
// hot spot on the pointer (the XFixes extension; left out where the server lacks it).
//
// Without an X server (no DISPLAY, or none that answers) there is no screenshot. Under a
// Wayland session the program's windows live on XWayland, whose screen holds no picture
// of its own: only what each X window draws. There the own windows are copied one by one
// from their own pictures, at the places XWayland gives them, less the X windows above
// them; windows of native Wayland programs are unknown to X, so one that covers the
// program's window is not cut out, and the arrangement may differ from what the user sees
// when the compositor places windows elsewhere. The whole screen there is every visible X
// window, one by one, on white.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

#include "crash/send/screen_image.h"

namespace userdb::crash {

// Where the pixels are read.
enum class ScreenSource {
  kAutomatic,   // window by window under XWayland, from the screen otherwise
  kScreen,      // from the root window: what the screen shows
  kEachWindow,  // from each window's own picture
};

struct ScreenshotOptions {
  bool own_windows_only = true;  // "ScrShotAppOnly"
  pid_t process = 0;             // whose windows are own; 0 for this process
  ScreenSource source = ScreenSource::kAutomatic;
  std::string display;  // the X display; empty for DISPLAY
  // The longest the screenshot may take; a server that has not answered by then gives none.
  std::chrono::milliseconds time_limit{5000};
};

std::optional<ScreenImage> TakeScreenshot(const ScreenshotOptions& options);

}  // namespace userdb::crash
