// A connection of the crash reporter's own to the X server (libxcb), for the screenshot.
// Every wait for an answer of the server ends at the connection's deadline, so that a
// server that stopped answering cannot hold the crash reporter.
#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "crash/send/x_pixel_format.h"

namespace userdb::crash {

struct FreeWithFree {
  void operator()(void* reply) const { free(reply); }
};
template <typename Reply>
using XReply = std::unique_ptr<Reply, FreeWithFree>;

class XConnection {
 public:
  using Clock = std::chrono::steady_clock;

  // Connects to `display` (DISPLAY when empty); none when no server takes the connection.
  // Connecting itself waits without a limit (libxcb offers none): TakeScreenshot runs it
  // on a thread of its own for that reason.
  static std::unique_ptr<XConnection> Open(const std::string& display, Clock::time_point deadline);
  ~XConnection();
  XConnection(const XConnection&) = delete;
  XConnection& operator=(const XConnection&) = delete;

  xcb_connection_t* Get() const { return connection_; }
  const xcb_screen_t& Screen() const { return *screen_; }
  // False once the connection broke or the deadline passed: the answers then are missing.
  bool Usable() const {
    return xcb_connection_has_error(connection_) == 0 && Clock::now() < deadline_;
  }

  // The reply to the request numbered `sequence`; null when the server answered with an
  // error, the connection broke, or the deadline passed.
  template <typename Reply>
  XReply<Reply> Await(unsigned int sequence) {
    return XReply<Reply>(static_cast<Reply*>(AwaitReply(sequence)));
  }

  // The atom of `name` when the server knows it already (none is created); 0 otherwise.
  uint32_t ExistingAtom(const char* name);

  bool HasExtension(const char* name);

  // The layout of the screen's pixels; none when no format of its depth is known.
  std::optional<XPixelFormat> PixelFormat() const;

 private:
  XConnection(xcb_connection_t* connection, const xcb_screen_t* screen, Clock::time_point deadline);
  void* AwaitReply(unsigned int sequence);

  xcb_connection_t* const connection_;
  const xcb_screen_t* const screen_;
  const Clock::time_point deadline_;
};

}  // namespace userdb::crash
