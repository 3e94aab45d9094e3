// What a send shows of its own in a window program, each in a real crash helper of its own:
// the box of the attachments being prepared, which stands at the bottom right without
// taking the focus during a send in the background, and the message that nothing took the
// mail, which holds the send until the user closed it.
#include "crash/capture/helper_notices.h"

#include <cstdlib>
#include <future>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/crash/capture/failing_program.h"

namespace userdb::crash {

namespace {

using test_support::Command;
using test_support::Keys;
using test_support::WaitForWindow;
using test_support::WindowGone;

constexpr char kTitle[] = "Sende Fehlerbericht per E-Mail";
constexpr char kFailure[] =
    "Sorry, das Senden des Fehlerberichts per E-Mail hat nicht funktioniert!";

struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

// The window's place on the screen and its size.
Geometry GeometryOf(const std::string& window) {
  std::istringstream shell(Command("xdotool getwindowgeometry --shell " + window));
  Geometry geometry;
  for (std::string line; std::getline(shell, line);) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string name = line.substr(0, equals);
    const int value = std::atoi(line.c_str() + equals + 1);
    if (name == "X") geometry.x = value;
    if (name == "Y") geometry.y = value;
    if (name == "WIDTH") geometry.width = value;
    if (name == "HEIGHT") geometry.height = value;
  }
  return geometry;
}

TEST(HelperNotices, ThePreparingBoxOfABackgroundSendStandsAtTheBottomRightWithoutTheFocus) {
  // The window the user works in while the send goes on: a message of another helper.
  HelperNotices working(USERDB_CRASH_HELPER);
  std::future<void> worked = std::async(std::launch::async, [&] {
    working.Show("Arbeit", "in Arbeit", platform::MessageKind::kNotice);
  });
  const std::string work = WaitForWindow("--name '^Arbeit$'");
  ASSERT_FALSE(work.empty());
  Command("xdotool windowactivate --sync " + work);

  HelperNotices notices(USERDB_CRASH_HELPER);
  notices.ShowPreparing(kTitle, "Anlage werden zusammengestellt...", true);
  const std::string window = WaitForWindow(std::string("--name '^") + kTitle + "$'");
  ASSERT_FALSE(window.empty());
  const Geometry box = GeometryOf(window);
  std::istringstream screen(Command("xdotool getdisplaygeometry"));
  int screen_width = 0, screen_height = 0;
  screen >> screen_width >> screen_height;
  // Its frame's lower right corner near the screen's (the work area may leave a panel).
  EXPECT_GT(box.x + box.width, screen_width - 40) << box.x << "," << box.y;
  EXPECT_GT(box.y + box.height, screen_height - 80) << box.x << "," << box.y;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(Command("xdotool getactivewindow 2>/dev/null"), work);
  notices.Close();
  EXPECT_TRUE(WindowGone(window, std::chrono::seconds(5)));
  Keys(work, "Return");
  EXPECT_EQ(worked.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

TEST(HelperNotices, TheFailureMessageHoldsTheSendUntilTheUserClosedIt) {
  HelperNotices notices(USERDB_CRASH_HELPER);
  std::future<void> shown = std::async(
      std::launch::async, [&] { notices.Show("Fehler", kFailure, platform::MessageKind::kError); });
  const std::string window = WaitForWindow("--name '^Fehler$'");
  ASSERT_FALSE(window.empty());
  EXPECT_EQ(shown.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  Keys(window, "Return");
  EXPECT_EQ(shown.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(WindowGone(window, std::chrono::seconds(5)));
}

TEST(HelperNotices, WithoutItsHelperTheMessageGoesToStandardError) {
  HelperNotices notices("/nonexistent/userdb-crash-helper");
  ::testing::internal::CaptureStderr();
  notices.Show("Fehler", kFailure, platform::MessageKind::kError);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), std::string("Fehler: ") + kFailure + "\n");
}

}  // namespace

}  // namespace userdb::crash
