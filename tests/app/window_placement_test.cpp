// The window's placement on a desktop with a window manager: restored when the window is
// shown, saved when it is closed, maximized, moved off a monitor that is gone, and the
// failures of reading and writing it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <cstdio>
#include <string>

#include "platform/display_text.h"
#include "platform/registry/registry_errors.h"
#include "tests/app/gui_test_support.h"

namespace userdb::app {

namespace {

using gui_test::App;
using gui_test::Dword;
using gui_test::MessageBoxAnswerer;
using gui_test::ShownBox;
using gui_test::String;
using gui_test::WaitUntil;
using gui_test::WindowTest;
using ::testing::IsEmpty;

constexpr char kSection[] = "Software\\ZID\\FormPosAndSize";

std::string Placement(int left, int top, int right, int bottom, const char* maximized) {
  char lines[256];
  std::snprintf(lines, sizeof lines,
                "[HKEY_CURRENT_USER\\Software\\ZID\\FormPosAndSize]\n"
                "\"Maximized\"=\"%s\"\n\"Left\"=dword:%08x\n\"Top\"=dword:%08x\n"
                "\"Right\"=dword:%08x\n\"Bottom\"=dword:%08x\n\"Saved\"=\"1\"\n",
                maximized, static_cast<unsigned>(left), static_cast<unsigned>(top),
                static_cast<unsigned>(right), static_cast<unsigned>(bottom));
  return lines;
}

class PlacementTest : public WindowTest {
 protected:
  // Gives the window this outer rectangle, as the user would by dragging it.
  void PlaceWindow(const QRect& outer) {
    const QMargins frame = window_->windowHandle()->frameMargins();
    window_->move(outer.topLeft());
    window_->resize(outer.size().shrunkBy(frame));
    ASSERT_TRUE(WaitUntil([&] { return window_->frameGeometry() == outer; }))
        << "at " << window_->frameGeometry().x() << ", " << window_->frameGeometry().y();
  }

  void ExpectStoredPlacement(const QRect& normal, const char* maximized) {
    EXPECT_EQ(StoredValue(kSection, "Maximized"), String("Maximized", maximized));
    EXPECT_EQ(StoredValue(kSection, "Left"), Dword("Left", normal.left()));
    EXPECT_EQ(StoredValue(kSection, "Top"), Dword("Top", normal.top()));
    EXPECT_EQ(StoredValue(kSection, "Right"), Dword("Right", normal.left() + normal.width()));
    EXPECT_EQ(StoredValue(kSection, "Bottom"), Dword("Bottom", normal.top() + normal.height()));
    EXPECT_EQ(StoredValue(kSection, "Saved"), String("Saved", "1"));
  }
};

TEST_F(PlacementTest, SavedWhenClosedAndRestoredAtTheNextStart) {
  Start();
  const QRect moved(100, 150, 600, 420);
  PlaceWindow(moved);

  Close();
  ExpectStoredPlacement(moved, "0");

  Start();
  EXPECT_EQ(window_->frameGeometry(), moved);
  EXPECT_FALSE(window_->isMaximized());
}

TEST_F(PlacementTest, ClosingWhileMaximizedKeepsTheNormalRectangle) {
  Start();
  const QRect normal(120, 90, 560, 400);
  PlaceWindow(normal);
  window_->showMaximized();
  ASSERT_TRUE(WaitUntil([&] { return window_->isMaximized(); }));

  Close();
  ExpectStoredPlacement(normal, "1");
}

TEST_F(PlacementTest, OpensMaximizedAndRestoresToTheStoredRectangle) {
  WriteHive(Placement(100, 150, 700, 570, "1"));
  Start();
  ASSERT_TRUE(WaitUntil([&] { return window_->isMaximized(); }));
  const QRect screen = window_->screen()->availableGeometry();
  // The window's inside, as its frame is told late: the frame of a maximized window differs.
  EXPECT_TRUE(WaitUntil([&] { return window_->geometry().width() == screen.width(); }));

  window_->showNormal();
  EXPECT_TRUE(WaitUntil([&] { return window_->frameGeometry() == QRect(100, 150, 600, 420); }))
      << window_->frameGeometry().width() << " x " << window_->frameGeometry().height();
}

// A stored rectangle and where the window opens.
struct RestoreCase {
  const char* name;
  QRect stored;
  QRect opened;
};

void PrintTo(const RestoreCase& c, std::ostream* out) {
  *out << c.name;
}

class RestoreTest : public PlacementTest, public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(RestoreTest, OpensWhereStored) {
  const QRect& stored = GetParam().stored;
  WriteHive(Placement(stored.left(), stored.top(), stored.left() + stored.width(),
                      stored.top() + stored.height(), "0"));
  Start();
  EXPECT_TRUE(WaitUntil([&] { return window_->frameGeometry() == GetParam().opened; }))
      << window_->frameGeometry().x() << ", " << window_->frameGeometry().y() << ", "
      << window_->frameGeometry().width() << " x " << window_->frameGeometry().height();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RestoreTest,
    ::testing::Values(
        RestoreCase{"OnTheScreen", QRect(40, 30, 700, 500), QRect(40, 30, 700, 500)},
        // A monitor that is gone: the stored size at the top-left corner.
        RestoreCase{"CornerOnNoMonitor", QRect(3000, 2000, 600, 400), QRect(0, 0, 600, 400)},
        RestoreCase{"CornerLeftOfTheScreen", QRect(-700, 100, 650, 380), QRect(0, 0, 650, 380)},
        // The window's minimum size still holds.
        RestoreCase{"SmallerThanTheMinimum", QRect(50, 60, 120, 90), QRect(50, 60, 400, 310)}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

// Placement values that cannot be read: reported, and the window opens as drawn.
struct UnreadableCase {
  const char* name;
  std::string left_line;
  std::string message;
};

void PrintTo(const UnreadableCase& c, std::ostream* out) {
  *out << c.name;
}

class UnreadablePlacementTest : public PlacementTest,
                                public ::testing::WithParamInterface<UnreadableCase> {};

TEST_P(UnreadablePlacementTest, IsReportedAndTheWindowOpensAsDrawn) {
  WriteHive("[HKEY_CURRENT_USER\\Software\\ZID\\FormPosAndSize]\n" + GetParam().left_line +
            "\n\"Top\"=dword:00000010\n\"Saved\"=\"1\"\n");
  MessageBoxAnswerer answerer;
  Start();

  ASSERT_EQ(answerer.Boxes().size(), 1u);
  const ShownBox& box = answerer.Boxes()[0];
  EXPECT_EQ(box.title, App().Title().toStdString());
  EXPECT_EQ(box.text, platform::DisplayUtf8(GetParam().message));
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(window_->frameGeometry(), QRect(286, 242, 520, 378));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnreadablePlacementTest,
    ::testing::Values(UnreadableCase{"ShortBinary", "\"Left\"=hex:01,02",
                                     registry::RegistryDataTypeError("Left").Message()},
                      UnreadableCase{"LongBinary", "\"Left\"=hex:01,02,03,04,05",
                                     registry::RegistryDataReadError("Left").Message()}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST_F(PlacementTest, SettingsThatCannotBeWrittenAreShownAndTheWindowCloses) {
  MakeSettingsUnwritable();
  Start();
  std::vector<ShownBox> boxes;
  {
    MessageBoxAnswerer answerer;
    window_->close();
    boxes = answerer.Boxes();
  }
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Fehler");
  EXPECT_EQ(boxes[0].text,
            platform::DisplayUtf8(registry::RegistryKeyCreateError("FormPosAndSize").Message()));
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_FALSE(window_->isVisible());
}

}  // namespace

}  // namespace userdb::app
