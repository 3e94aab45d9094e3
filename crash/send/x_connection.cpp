#include "crash/send/x_connection.h"

#include <poll.h>
#include <xcb/xcbext.h>

#include <cstring>

namespace userdb::crash {

namespace {

const xcb_screen_t* ScreenNumber(xcb_connection_t* connection, int number) {
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; screens.rem > 0; ++i, xcb_screen_next(&screens)) {
    if (i == number) return screens.data;
  }
  return nullptr;
}

std::optional<xcb_visualtype_t> VisualOf(const xcb_screen_t& screen, xcb_visualid_t visual) {
  for (auto depths = xcb_screen_allowed_depths_iterator(&screen); depths.rem > 0;
       xcb_depth_next(&depths)) {
    for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
         xcb_visualtype_next(&visuals)) {
      if (visuals.data->visual_id == visual) return *visuals.data;
    }
  }
  return std::nullopt;
}

}  // namespace

std::unique_ptr<XConnection> XConnection::Open(const std::string& display,
                                               Clock::time_point deadline) {
  int screen_number = 0;
  xcb_connection_t* connection =
      xcb_connect(display.empty() ? nullptr : display.c_str(), &screen_number);
  const xcb_screen_t* screen =
      xcb_connection_has_error(connection) ? nullptr : ScreenNumber(connection, screen_number);
  if (screen == nullptr) {
    xcb_disconnect(connection);
    return nullptr;
  }
  return std::unique_ptr<XConnection>(new XConnection(connection, screen, deadline));
}

XConnection::XConnection(xcb_connection_t* connection, const xcb_screen_t* screen,
                         Clock::time_point deadline)
    : connection_(connection), screen_(screen), deadline_(deadline) {}

XConnection::~XConnection() {
  xcb_disconnect(connection_);
}

void* XConnection::AwaitReply(unsigned int sequence) {
  xcb_flush(connection_);
  const int fd = xcb_get_file_descriptor(connection_);
  for (;;) {
    void* reply = nullptr;
    xcb_generic_error_t* error = nullptr;
    // Reads what the server has sent without blocking; true once the answer (or an error,
    // or a broken connection) is there.
    if (xcb_poll_for_reply(connection_, sequence, &reply, &error) != 0) {
      free(error);
      return reply;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now());
    if (left.count() <= 0) return nullptr;
    pollfd readable{fd, POLLIN, 0};
    poll(&readable, 1, static_cast<int>(left.count()));
  }
}

uint32_t XConnection::ExistingAtom(const char* name) {
  const auto cookie = xcb_intern_atom(connection_, 1, static_cast<uint16_t>(strlen(name)), name);
  const auto reply = Await<xcb_intern_atom_reply_t>(cookie.sequence);
  return reply ? reply->atom : 0;
}

bool XConnection::HasExtension(const char* name) {
  const auto cookie = xcb_query_extension(connection_, static_cast<uint16_t>(strlen(name)), name);
  const auto reply = Await<xcb_query_extension_reply_t>(cookie.sequence);
  return reply && reply->present;
}

std::optional<XPixelFormat> XConnection::PixelFormat() const {
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  const std::optional<xcb_visualtype_t> visual = VisualOf(*screen_, screen_->root_visual);
  if (!visual) return std::nullopt;
  for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem > 0;
       xcb_format_next(&formats)) {
    if (formats.data->depth != screen_->root_depth) continue;
    XPixelFormat format;
    format.bits_per_pixel = formats.data->bits_per_pixel;
    format.scanline_pad = formats.data->scanline_pad;
    format.most_significant_first = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    format.red_mask = visual->red_mask;
    format.green_mask = visual->green_mask;
    format.blue_mask = visual->blue_mask;
    if (format.IsSupported()) return format;
  }
  return std::nullopt;
}

}  // namespace userdb::crash
