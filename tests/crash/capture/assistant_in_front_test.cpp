// The send and save assistants of the real box, end to end: their pages are owned by the
// exception box and stand in front of it, the box stops being topmost while they ask and is
// topmost again afterwards. Checked by what the screen shows: the page's fields are not
// covered by any other window.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QScreen>
#include <regex>
#include <string>

#include "tests/crash/capture/box_driving.h"
#include "tests/crash/capture/failing_program.h"

namespace userdb::test_support {

namespace {

constexpr char kWindowProgram[] = USERDB_TRANSFORM_PATH;

// The window's client area on the screen, as the X server has it.
QRect ScreenRect(const std::string& window) {
  const std::string info = Command("xwininfo -id " + window);
  std::smatch x, y, width, height;
  const std::regex x_line("Absolute upper-left X: +(-?\\d+)"),
      y_line("Absolute upper-left Y: +(-?\\d+)"), width_line("Width: +(\\d+)"),
      height_line("Height: +(\\d+)");
  if (!std::regex_search(info, x, x_line) || !std::regex_search(info, y, y_line) ||
      !std::regex_search(info, width, width_line) || !std::regex_search(info, height, height_line))
    return {};
  return QRect(std::stoi(x[1]), std::stoi(y[1]), std::stoi(width[1]), std::stoi(height[1]));
}

// The window that `window` is transient for, as a number.
long TransientFor(const std::string& window) {
  const std::string line = Command("xprop -id " + window + " WM_TRANSIENT_FOR");
  const size_t at = line.find("# 0x");
  return at == std::string::npos ? 0 : std::stol(line.substr(at + 2), nullptr, 16);
}

// Where the page's item `name` lies in its window, from the page's description.
QRect ItemPlace(const std::string& description, const std::string& name) {
  std::smatch found;
  const std::regex place("place " + name + " (-?\\d+),(-?\\d+),(\\d+),(\\d+)\n");
  if (!std::regex_search(description, found, place)) return {};
  return QRect(std::stoi(found[1]), std::stoi(found[2]), std::stoi(found[3]), std::stoi(found[4]));
}

// The share of the screen's pixels inside `area` (less a margin for the frame) that show the
// empty edit's white.
double WhiteShare(const QRect& area) {
  const QRect inside = area.adjusted(4, 4, -4, -4);
  const QImage shown = QGuiApplication::primaryScreen()
                           ->grabWindow(0, inside.x(), inside.y(), inside.width(), inside.height())
                           .toImage();
  if (shown.isNull() || shown.width() == 0 || shown.height() == 0) return 0;
  int white = 0;
  for (int y = 0; y < shown.height(); ++y) {
    for (int x = 0; x < shown.width(); ++x) white += (shown.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
  }
  return static_cast<double>(white) / (shown.width() * shown.height());
}

struct AssistantCase {
  const char* name;
  const char* keys;   // on the box, from its focused button (save)
  const char* title;  // the assistant's window title
};

class AssistantInFront : public ::testing::TestWithParam<AssistantCase> {};

TEST_P(AssistantInFront, ItsPageStandsInFrontOfTheBoxThatOwnsIt) {
  const AssistantCase& c = GetParam();
  FailingProgram program(kWindowProgram);
  program.Start();
  program.Transform(program.FailingInput("throw"));
  const ShownWindow box = FindBox();
  ASSERT_TRUE(box.Found());
  program.BoxDescription();
  EXPECT_TRUE(Topmost(box.id));

  Keys(box.id, c.keys);
  const std::string description =
      program.AssistantPage({"page 1 of", "ContactForm", "place NameEdit", "place EmailEdit"});
  ASSERT_FALSE(description.empty());
  const std::string page = WaitForWindow("--name '^" + std::string(c.title) + "$'");
  ASSERT_FALSE(page.empty());
  // The window manager has placed and stacked the page.
  std::this_thread::sleep_for(std::chrono::milliseconds(700));

  EXPECT_EQ(TransientFor(page), std::stol(box.id)) << "the box owns the page";
  EXPECT_FALSE(Topmost(box.id)) << "the box is not topmost while its assistant runs";
  const QRect page_area = ScreenRect(page);
  const QRect box_area = ScreenRect(box.id);
  for (const char* field : {"NameEdit", "EmailEdit"}) {
    SCOPED_TRACE(field);
    const QRect place = ItemPlace(description, field);
    ASSERT_FALSE(place.isEmpty()) << description;
    const QRect on_screen = place.translated(page_area.topLeft());
    // The box lies over the field's place, so that only the stacking decides what is seen.
    EXPECT_TRUE(box_area.intersects(on_screen));
    EXPECT_GT(WhiteShare(on_screen), 0.9) << "the field is covered";
  }

  // Cancelled: the page goes, the box is topmost again and still asks.
  Keys(page, "Escape");
  EXPECT_TRUE(WindowGone(page, std::chrono::seconds(10)));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!Topmost(box.id) && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(Topmost(box.id));
  EXPECT_FALSE(box.Gone(std::chrono::milliseconds(200)));
  EXPECT_TRUE(LeaveBox(box));
  EXPECT_TRUE(program.Running());
}

INSTANTIATE_TEST_SUITE_P(Assistants, AssistantInFront,
                         ::testing::Values(AssistantCase{"Send", "shift+Tab space",
                                                         "Send Assistant"},
                                           AssistantCase{"Save", "Return", "Save Assistant"}),
                         [](const auto& test_case) { return std::string(test_case.param.name); });

}  // namespace

}  // namespace userdb::test_support
