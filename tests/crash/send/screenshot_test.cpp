// The screenshot on a real X server: windows of a known arrangement, made by this test
// (the test is the "own" process), some covered by windows of another process; frames,
// minimized and unmapped windows; both ways of reading the pixels; the cursor; no server.
#include "crash/send/screenshot.h"

#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>
#include <cstring>
#include <optional>

#include <gtest/gtest.h>

#include "crash/send/screen_region.h"
#include "crash/send/x_top_windows.h"

namespace userdb::crash {

namespace {

constexpr uint32_t kRed = 0x00C00000;
constexpr uint32_t kGreen = 0x0000A000;
constexpr uint32_t kBlue = 0x000000B0;
constexpr uint32_t kGrey = 0x00606060;
constexpr uint32_t kForeignPid = 1;  // never this test

// Windows of the test on a connection of its own.
class TestWindows {
 public:
  TestWindows() : connection_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(connection_) == 0) {
      screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    }
  }
  ~TestWindows() {
    for (const xcb_window_t window : windows_) xcb_destroy_window(connection_, window);
    Sync();
    xcb_disconnect(connection_);
  }

  bool Usable() const { return screen_ != nullptr; }
  const xcb_screen_t& Screen() const { return *screen_; }
  xcb_connection_t* Connection() const { return connection_; }

  // An override-redirect window: no window manager moves or frames it. Mapped unless said.
  xcb_window_t Window(const ScreenRect& rect, uint32_t colour, std::optional<uint32_t> pid,
                      xcb_window_t parent = 0, bool map = true) {
    const xcb_window_t window = xcb_generate_id(connection_);
    const uint32_t values[] = {colour, 1};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, parent ? parent : screen_->root,
                      static_cast<int16_t>(rect.x), static_cast<int16_t>(rect.y),
                      static_cast<uint16_t>(rect.width), static_cast<uint16_t>(rect.height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    if (pid) SetCardinals(window, "_NET_WM_PID", {*pid});
    if (map) xcb_map_window(connection_, window);
    if (!parent) windows_.push_back(window);
    Sync();
    return window;
  }

  void SetCardinals(xcb_window_t window, const char* name, std::vector<uint32_t> values,
                    const char* type = nullptr) {
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, Atom(name),
                        type ? Atom(type) : xcb_atom_t{XCB_ATOM_CARDINAL}, 32,
                        static_cast<uint32_t>(values.size()), values.data());
  }

  void SetText(xcb_window_t window, xcb_atom_t property, const std::string& text) {
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, property, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(text.size()), text.data());
  }

  void MovePointer(int x, int y) {
    xcb_warp_pointer(connection_, XCB_NONE, screen_->root, 0, 0, 0, 0, static_cast<int16_t>(x),
                     static_cast<int16_t>(y));
    Sync();
  }

  xcb_atom_t Atom(const char* name) {
    const auto cookie = xcb_intern_atom(connection_, 0, static_cast<uint16_t>(strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection_, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
    free(reply);
    return atom;
  }

  void Sync() {
    free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  }

 private:
  xcb_connection_t* connection_;
  const xcb_screen_t* screen_ = nullptr;
  std::vector<xcb_window_t> windows_;
};

class ScreenshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Run through tests/run-with-display, which starts an X server when there is none: a
    // screenshot test that could not run must not pass.
    ASSERT_TRUE(windows_.Usable()) << "no X server";
    windows_.MovePointer(0, 0);  // away from the windows below
  }

  static ScreenshotOptions Options(ScreenSource source = ScreenSource::kScreen) {
    ScreenshotOptions options;
    options.source = source;
    return options;
  }

  TestWindows windows_;
};

TEST_F(ScreenshotTest, ShowsTheOwnWindowsLessWhatCoversThemOnWhite) {
  // Own A, a foreign window over A's middle, own B over A's lower right corner.
  windows_.Window({100, 100, 200, 150}, kRed, getpid());
  windows_.Window({150, 120, 80, 60}, kBlue, kForeignPid);
  windows_.Window({250, 200, 200, 150}, kGreen, getpid());

  for (const ScreenSource source : {ScreenSource::kScreen, ScreenSource::kEachWindow}) {
    SCOPED_TRACE(source == ScreenSource::kScreen ? "from the screen" : "window by window");
    const auto shot = TakeScreenshot(Options(source));
    ASSERT_TRUE(shot);
    ASSERT_EQ(shot->width, 350);   // from x 100 to 450
    ASSERT_EQ(shot->height, 250);  // from y 100 to 350
    const auto at = [&](int x, int y) { return shot->At(x - 100, y - 100); };
    EXPECT_EQ(at(110, 110), kRed);
    EXPECT_EQ(at(299, 199), kRed);
    EXPECT_EQ(at(160, 130), kWhitePixel);  // under the foreign window
    EXPECT_EQ(at(229, 179), kWhitePixel);
    EXPECT_EQ(at(230, 180), kRed);
    EXPECT_EQ(at(260, 210), kGreen);  // B above A
    EXPECT_EQ(at(449, 349), kGreen);
    EXPECT_EQ(at(110, 300), kWhitePixel);  // in the bounds, no own window
    EXPECT_EQ(at(400, 120), kWhitePixel);
  }
}

TEST_F(ScreenshotTest, FindsTheOwnClientWindowInsideAFrame) {
  const xcb_window_t frame = windows_.Window({300, 300, 120, 100}, kGrey, std::nullopt);
  windows_.Window({10, 20, 100, 70}, kRed, getpid(), frame);
  for (const ScreenSource source : {ScreenSource::kScreen, ScreenSource::kEachWindow}) {
    const auto shot = TakeScreenshot(Options(source));
    ASSERT_TRUE(shot);
    ASSERT_EQ(shot->width, 120);
    ASSERT_EQ(shot->height, 100);
    EXPECT_EQ(shot->At(5, 5), kGrey);  // the frame's own pixels belong to the window
    EXPECT_EQ(shot->At(15, 25), kRed);
  }
}

TEST_F(ScreenshotTest, LeavesOutMinimizedUnmappedAndForeignHostsWindows) {
  const xcb_window_t iconic = windows_.Window({100, 100, 50, 50}, kRed, getpid());
  windows_.SetCardinals(iconic, "WM_STATE", {3, 0}, "WM_STATE");
  const xcb_window_t hidden = windows_.Window({200, 100, 50, 50}, kRed, getpid());
  windows_.SetCardinals(hidden, "_NET_WM_STATE", {windows_.Atom("_NET_WM_STATE_HIDDEN")}, "ATOM");
  windows_.Window({300, 100, 50, 50}, kRed, getpid(), 0, false);
  const xcb_window_t remote = windows_.Window({400, 100, 50, 50}, kRed, getpid());
  windows_.SetText(remote, XCB_ATOM_WM_CLIENT_MACHINE, "another-host.invalid");
  windows_.Sync();
  EXPECT_FALSE(TakeScreenshot(Options()));

  char host[256] = {};
  gethostname(host, sizeof host - 1);
  windows_.SetText(remote, XCB_ATOM_WM_CLIENT_MACHINE, host);
  windows_.Sync();
  const auto shot = TakeScreenshot(Options());
  ASSERT_TRUE(shot);
  EXPECT_EQ(shot->width, 50);
}

TEST_F(ScreenshotTest, GivesNoneWithoutOwnWindowOrWhenTheyAreCovered) {
  EXPECT_FALSE(TakeScreenshot(Options()));
  windows_.Window({100, 100, 50, 50}, kRed, getpid());
  windows_.Window({90, 90, 70, 70}, kBlue, kForeignPid);
  EXPECT_FALSE(TakeScreenshot(Options()));
  EXPECT_FALSE(TakeScreenshot(Options(ScreenSource::kEachWindow)));
}

TEST_F(ScreenshotTest, TakesTheWholeScreenWhenNotOnlyTheOwnWindows) {
  windows_.Window({100, 100, 50, 50}, kRed, kForeignPid);
  ScreenshotOptions options = Options();
  options.own_windows_only = false;
  const auto shot = TakeScreenshot(options);
  ASSERT_TRUE(shot);
  EXPECT_EQ(shot->width, windows_.Screen().width_in_pixels);
  EXPECT_EQ(shot->height, windows_.Screen().height_in_pixels);
  EXPECT_EQ(shot->At(120, 120), kRed);
}

TEST_F(ScreenshotTest, DrawsTheCursorWithItsHotSpotOnThePointer) {
  windows_.Window({100, 100, 200, 200}, kRed, getpid());
  const auto without = TakeScreenshot(Options());
  windows_.MovePointer(180, 170);
  const auto with = TakeScreenshot(Options());
  ASSERT_TRUE(without && with);
  EXPECT_EQ(*without, ScreenImage(200, 200, kRed));

  xcb_connection_t* connection = windows_.Connection();
  free(xcb_xfixes_query_version_reply(connection, xcb_xfixes_query_version(connection, 4, 0),
                                      nullptr));
  xcb_xfixes_get_cursor_image_reply_t* cursor = xcb_xfixes_get_cursor_image_reply(
      connection, xcb_xfixes_get_cursor_image(connection), nullptr);
  ASSERT_NE(cursor, nullptr);
  const ScreenRect drawn{180 - cursor->xhot - 100, 170 - cursor->yhot - 100, cursor->width,
                         cursor->height};
  free(cursor);
  int changed = 0;
  for (int y = 0; y < with->height; ++y) {
    for (int x = 0; x < with->width; ++x) {
      if (with->At(x, y) == kRed) continue;
      ++changed;
      EXPECT_TRUE(x >= drawn.x && x < drawn.Right() && y >= drawn.y && y < drawn.Bottom())
          << x << "," << y;
    }
  }
  EXPECT_GT(changed, 0);
}

TEST_F(ScreenshotTest, ServerWindowsAreTheServersOwn) {
  const xcb_setup_t& setup = *xcb_get_setup(windows_.Connection());
  EXPECT_TRUE(IsServerWindow(windows_.Screen().root, setup));
  EXPECT_FALSE(IsServerWindow(windows_.Window({0, 0, 10, 10}, kRed, std::nullopt), setup));
}

TEST(ScreenshotWithoutServerTest, GivesNone) {
  ScreenshotOptions options;
  options.display = ":4242";
  EXPECT_FALSE(TakeScreenshot(options));
}

}  // namespace

}  // namespace userdb::crash
