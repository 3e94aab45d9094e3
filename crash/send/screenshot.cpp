#include "crash/send/screenshot.h"

#include <unistd.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "crash/send/cursor_overlay.h"
#include "crash/send/screen_region.h"
#include "crash/send/x_connection.h"
#include "crash/send/x_pixel_format.h"
#include "crash/send/x_top_windows.h"

namespace userdb::crash {

namespace {

// The rows of one GetImage request: a large screen is read in strips, so that no single
// answer of the server grows beyond a few megabytes.
constexpr size_t kStripBytes = 4 * 1024 * 1024;
// How long past the deadline the capture is given to notice it and give up.
constexpr std::chrono::milliseconds kDeadlineGrace(250);

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

// What the capture reads: the region, and for each part the drawable and its origin on
// the screen.
struct CapturePlan {
  CaptureRegion region;
  std::vector<XTopWindow> windows;  // those the parts name; empty when reading the root
};

std::optional<CapturePlan> PlanCapture(XConnection& connection, const ScreenshotOptions& options,
                                       bool each_window) {
  const xcb_screen_t& screen = connection.Screen();
  const ScreenRect whole{0, 0, screen.width_in_pixels, screen.height_in_pixels};
  if (!options.own_windows_only && !each_window) {
    return CapturePlan{{whole, {{whole, 0}}}, {}};
  }
  const pid_t process = options.process != 0 ? options.process : getpid();
  auto windows = VisibleTopWindows(connection, process, HostName());
  if (!windows) return std::nullopt;
  std::vector<StackedWindow> stacked;
  for (XTopWindow& window : *windows) {
    if (!options.own_windows_only) window.own = true;
    stacked.push_back({window.outer, window.own});
  }
  auto region = OwnWindowsRegion(stacked, whole);
  if (!region) {
    if (options.own_windows_only) return std::nullopt;
    region = CaptureRegion{};
  }
  if (!options.own_windows_only) region->bounds = whole;
  return CapturePlan{std::move(*region),
                     each_window ? std::move(*windows) : std::vector<XTopWindow>{}};
}

// Copies `rect` (on the screen) of `drawable`, whose pixel (0, 0) lies at `origin` on the
// screen, into `image`, whose top left shows `bounds`' corner. False when the server did
// not answer; a window that vanished meanwhile leaves its part white.
bool CopyRect(XConnection& connection, const XPixelFormat& format, xcb_drawable_t drawable,
              ScreenRect origin, const ScreenRect& rect, const ScreenRect& bounds,
              ScreenImage& image) {
  const int strip_rows =
      std::max<int>(1, static_cast<int>(kStripBytes / format.RowBytes(rect.width)));
  for (int top = rect.y; top < rect.Bottom(); top += strip_rows) {
    const int rows = std::min(strip_rows, rect.Bottom() - top);
    const auto cookie =
        xcb_get_image(connection.Get(), XCB_IMAGE_FORMAT_Z_PIXMAP, drawable,
                      static_cast<int16_t>(rect.x - origin.x), static_cast<int16_t>(top - origin.y),
                      static_cast<uint16_t>(rect.width), static_cast<uint16_t>(rows), ~0u);
    const auto reply = connection.Await<xcb_get_image_reply_t>(cookie.sequence);
    if (!reply) {
      if (!connection.Usable()) return false;
      continue;
    }
    CopyXImage(xcb_get_image_data(reply.get()),
               static_cast<size_t>(xcb_get_image_data_length(reply.get())), rect.width, rows,
               format, image, rect.x - bounds.x, top - bounds.y);
  }
  return true;
}

bool CopyParts(XConnection& connection, const XPixelFormat& format, const CapturePlan& plan,
               ScreenImage& image) {
  const ScreenRect& bounds = plan.region.bounds;
  for (const CapturedPart& part : plan.region.parts) {
    xcb_drawable_t drawable = connection.Screen().root;
    ScreenRect origin{0, 0, 0, 0};
    ScreenRect rect = part.rect;
    if (!plan.windows.empty()) {
      const XTopWindow& window = plan.windows[part.window];
      drawable = window.id;
      origin = window.inner;
      rect = Intersection(rect, window.inner);  // a window's border is not its own picture
      if (rect.IsEmpty()) continue;
    }
    if (!CopyRect(connection, format, drawable, origin, rect, bounds, image)) return false;
  }
  return true;
}

std::optional<CursorImage> Cursor(XConnection& connection) {
  const xcb_query_extension_reply_t* xfixes =
      xcb_get_extension_data(connection.Get(), &xcb_xfixes_id);
  if (xfixes == nullptr || !xfixes->present) return std::nullopt;
  // The extension answers only a client that told which version it speaks.
  const auto version = connection.Await<xcb_xfixes_query_version_reply_t>(
      xcb_xfixes_query_version(connection.Get(), 4, 0).sequence);
  if (!version) return std::nullopt;
  const auto reply = connection.Await<xcb_xfixes_get_cursor_image_reply_t>(
      xcb_xfixes_get_cursor_image(connection.Get()).sequence);
  if (!reply) return std::nullopt;
  CursorImage cursor{reply->x, reply->y, reply->xhot, reply->yhot, reply->width, reply->height, {}};
  const uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(reply.get());
  const int count = xcb_xfixes_get_cursor_image_cursor_image_length(reply.get());
  if (count < cursor.width * cursor.height) return std::nullopt;
  cursor.argb.assign(pixels, pixels + count);
  return cursor;
}

std::optional<ScreenImage> Capture(const ScreenshotOptions& options,
                                   XConnection::Clock::time_point deadline) {
  const auto connection = XConnection::Open(options.display, deadline);
  if (!connection) return std::nullopt;
  const std::optional<XPixelFormat> format = connection->PixelFormat();
  if (!format) return std::nullopt;
  const bool each_window =
      options.source == ScreenSource::kEachWindow ||
      (options.source == ScreenSource::kAutomatic && connection->HasExtension("XWAYLAND"));
  const std::optional<CapturePlan> plan = PlanCapture(*connection, options, each_window);
  if (!plan) return std::nullopt;
  const ScreenRect& bounds = plan->region.bounds;
  ScreenImage image(bounds.width, bounds.height, kWhitePixel);
  if (!CopyParts(*connection, *format, *plan, image)) return std::nullopt;
  if (const auto cursor = Cursor(*connection)) DrawCursor(image, bounds.x, bounds.y, *cursor);
  return image;
}

}  // namespace

std::optional<ScreenImage> TakeScreenshot(const ScreenshotOptions& options) {
  struct Outcome {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::optional<ScreenImage> image;
  };
  const auto deadline = XConnection::Clock::now() + options.time_limit;
  const auto outcome = std::make_shared<Outcome>();
  // Connecting to the server can wait without a limit; a thread of its own does it, and
  // is left to itself should the server never answer.
  try {
    std::thread([outcome, options, deadline] {
      std::optional<ScreenImage> image = Capture(options, deadline);
      const std::lock_guard lock(outcome->mutex);
      outcome->image = std::move(image);
      outcome->finished = true;
      outcome->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return Capture(options, deadline);
  }
  std::unique_lock lock(outcome->mutex);
  if (!outcome->done.wait_until(lock, deadline + kDeadlineGrace,
                                [&] { return outcome->finished; })) {
    return std::nullopt;
  }
  return std::move(outcome->image);
}

}  // namespace userdb::crash
