// The geometry of the full box, the simple box and the progress box for known caption
// widths and text sizes.
#include "crash/box/box_layout.h"

#include <gtest/gtest.h>

#include "crash/box/progress_box_layout.h"
#include "crash/box/simple_box_layout.h"

namespace userdb::crash {

namespace {

using enum ButtonKind;

const Rect kScreen{0, 0, 1280, 1024};
constexpr int kTitleBar = 20;

// Caption widths of the program's captions as an 11-pixel sans font measures them.
constexpr std::array<int, 7> kCaptionWidths = {130, 115, 120, 110, 105, 115, 100};

BoxButtons Shown(std::vector<ButtonKind> kinds) {
  BoxButtons buttons;
  buttons.shown = std::move(kinds);
  return buttons;
}

// A text of `size` that remembers the width it was wrapped to.
struct FixedText {
  Size size;
  int* wrapped_to;
  Size operator()(int wrap_width) const {
    *wrapped_to = wrap_width;
    return size;
  }
};

class FullBoxLayoutTest : public ::testing::Test {
 protected:
  FullBoxLayout LayOut(Size text) { return LayOutFullBox(input_, FixedText{text, &wrapped_to_}); }
  Rect Place(const FullBoxLayout& layout, ButtonKind kind) {
    for (const PlacedButton& button : layout.buttons) {
      if (button.kind == kind) return button.rect;
    }
    ADD_FAILURE() << "no button " << static_cast<int>(kind);
    return {};
  }

  FullBoxInput input_ = [] {
    FullBoxInput input;
    input.buttons = Shown({kSend, kSave, kShow, kContinue, kRestart, kClose});
    input.caption_widths = kCaptionWidths;
    input.screen = kScreen;
    input.title_bar_height = kTitleBar;
    return input;
  }();
  int wrapped_to_ = 0;
};

TEST_F(FullBoxLayoutTest, ButtonsAreTheCaptionAnd39PixelsWide) {
  EXPECT_EQ(FullBoxButtonWidth(115), 154);
  EXPECT_EQ(FullBoxButtonHeight(false), 22);
  EXPECT_EQ(FullBoxButtonHeight(true), 26);
}

TEST_F(FullBoxLayoutTest, TheOrdinaryBoxHasAColumnRightAndARowAtTheBottom) {
  const FullBoxLayout layout = LayOut({190, 13});
  EXPECT_TRUE(layout.two_groups);
  // R = 154 (restart); B = 169 + 154 + 149 + R + 14 = 640; Q = R + 40 = 194.
  EXPECT_EQ(wrapped_to_, 664 - 194);
  EXPECT_EQ(layout.wrap_width, 470);
  EXPECT_EQ(layout.text, (Rect{11, 12, 190, 13}));
  // The row needs 6 + 472 + 3 gaps + R + 6 = 650, more than B.
  EXPECT_EQ(layout.frame, (Rect{315, 467, 650, 89}));
  EXPECT_EQ(Place(layout, kSend), (Rect{6, 59, 169, 22}));
  EXPECT_EQ(Place(layout, kSave), (Rect{179, 59, 154, 22}));
  EXPECT_EQ(Place(layout, kShow), (Rect{337, 59, 149, 22}));
  // The column rises beside the text, its top 7 pixels down; all three R wide.
  EXPECT_EQ(Place(layout, kContinue), (Rect{490, 7, 154, 22}));
  EXPECT_EQ(Place(layout, kRestart), (Rect{490, 33, 154, 22}));
  EXPECT_EQ(Place(layout, kClose), (Rect{490, 59, 154, 22}));
  EXPECT_EQ(layout.picture, std::nullopt);
  EXPECT_EQ(layout.tabs, std::nullopt);
  EXPECT_EQ(layout.minimum, (Size{650, 89}));
}

TEST_F(FullBoxLayoutTest, ALongMessagePushesTheRowDownAndTheColumnRisesBesideIt) {
  const FullBoxLayout layout = LayOut({470, 65});
  EXPECT_EQ(layout.frame.width, 664);  // the text and Q
  EXPECT_EQ(layout.frame.height, 116);
  EXPECT_EQ(Place(layout, kContinue), (Rect{504, 34, 154, 22}));
  EXPECT_EQ(Place(layout, kClose), (Rect{504, 86, 154, 22}));
  EXPECT_EQ(Place(layout, kSend), (Rect{6, 86, 169, 22}));
  EXPECT_LT(layout.text.Bottom(), Place(layout, kSend).y);
  EXPECT_LT(layout.text.Right(), Place(layout, kContinue).x);
}

TEST_F(FullBoxLayoutTest, TheBigPictureMovesTheTextAndCentresAShortOneAgainstIt) {
  input_.big_picture = true;
  FullBoxLayout layout = LayOut({190, 13});
  EXPECT_EQ(layout.wrap_width, 664 - 234);
  EXPECT_EQ(layout.picture, (Rect{9, 10, 32, 32}));
  EXPECT_EQ(layout.text, (Rect{51, 19, 190, 13}));
  EXPECT_EQ(layout.frame.height, 89);

  layout = LayOut({300, 39});
  EXPECT_EQ(layout.text, (Rect{51, 12, 300, 39}));
  EXPECT_EQ(layout.frame.width, 650);
}

TEST_F(FullBoxLayoutTest, UglyButtonsAreHigher) {
  input_.ugly_buttons = true;
  const FullBoxLayout layout = LayOut({190, 13});
  EXPECT_EQ(Place(layout, kContinue), (Rect{490, 7, 154, 26}));
  EXPECT_EQ(Place(layout, kRestart), (Rect{490, 37, 154, 26}));
  EXPECT_EQ(Place(layout, kClose), (Rect{490, 67, 154, 26}));
  EXPECT_EQ(layout.frame.height, 101);
}

TEST_F(FullBoxLayoutTest, WithTheReportTheBoxIsWiderAndHoldsTheTabs) {
  input_.report_shown = true;
  input_.buttons.shown = {kSend, kSave, kContinue, kRestart, kClose};
  const FullBoxLayout layout = LayOut({190, 13});
  EXPECT_EQ(layout.frame, (Rect{308, 230, 664, 563}));
  EXPECT_EQ(layout.tabs, (Rect{5, 89, 649, 466}));
  EXPECT_EQ(Place(layout, kContinue), (Rect{504, 7, 154, 22}));
  EXPECT_EQ(layout.minimum, (Size{664, 563}));

  const FullBoxLayout wider = ResizedFullBox(layout, {900, 700});
  EXPECT_EQ(wider.frame, (Rect{308, 230, 900, 700}));
  EXPECT_EQ(Place(wider, kContinue), (Rect{740, 7, 154, 22}));
  EXPECT_EQ(Place(wider, kClose), (Rect{740, 59, 154, 22}));
  EXPECT_EQ(Place(wider, kSend), (Rect{6, 59, 169, 22}));
  EXPECT_EQ(wider.tabs, (Rect{5, 89, 885, 603}));

  const FullBoxLayout smaller = ResizedFullBox(wider, {500, 300});
  EXPECT_EQ(smaller.frame.width, 664);
  EXPECT_EQ(smaller.frame.height, 563);
  EXPECT_EQ(smaller.tabs, layout.tabs);
  EXPECT_EQ(Place(smaller, kContinue), Place(layout, kContinue));
}

TEST_F(FullBoxLayoutTest, ASmallScreenLimitsTheBox) {
  input_.report_shown = true;
  input_.screen = {0, 0, 640, 480};
  const FullBoxLayout layout = LayOut({190, 13});
  EXPECT_EQ(layout.frame.width, 650);  // the buttons need it; 640 - 100 is less than 664
  EXPECT_EQ(layout.frame.height, 480 - 100);
  EXPECT_EQ(layout.tabs, (Rect{5, 89, 635, 283}));
}

TEST_F(FullBoxLayoutTest, TheReportWidthIsAtMostTheScreenLessFiveTitleBars) {
  input_.report_shown = true;
  input_.buttons.shown = {kContinue};
  input_.screen = {0, 0, 600, 480};
  EXPECT_EQ(LayOut({100, 13}).frame.width, 500);
}

TEST_F(FullBoxLayoutTest, WithoutTheTwoGroupsAllButtonsStandInOneRow) {
  input_.buttons.shown = {kContinue, kClose};
  FullBoxLayout layout = LayOut({190, 13});
  EXPECT_FALSE(layout.two_groups);
  EXPECT_EQ(layout.wrap_width, 664 - 26);
  EXPECT_EQ(layout.frame.width, 299);
  EXPECT_EQ(layout.frame.height, 64);
  EXPECT_EQ(Place(layout, kContinue), (Rect{6, 34, 144, 22}));
  EXPECT_EQ(Place(layout, kClose), (Rect{154, 34, 139, 22}));

  input_.buttons.shown = {kSend, kSave, kClose};
  layout = LayOut({190, 13});
  EXPECT_FALSE(layout.two_groups);
  EXPECT_EQ(Place(layout, kClose), (Rect{337, 34, 139, 22}));
  EXPECT_EQ(layout.frame.width, 482);
}

TEST_F(FullBoxLayoutTest, ARowWiderThan663WrapsTheTextToTheRow) {
  input_.buttons.shown = {kSend, kSave, kPrint, kShow, kClose};
  const FullBoxLayout layout = LayOut({190, 13});
  // B = 169 + 154 + 159 + 149 + 139 + 14 = 784.
  EXPECT_EQ(layout.wrap_width, 784 - 26);
  EXPECT_EQ(layout.frame.width, 6 + 770 + 4 * 4 + 6);
}

TEST_F(FullBoxLayoutTest, ABoxWithoutButtonsHoldsItsText) {
  input_.buttons = Shown({});
  const FullBoxLayout layout = LayOut({190, 13});
  EXPECT_TRUE(layout.buttons.empty());
  EXPECT_EQ(layout.frame.height, 12 + 13 + 5 + 8);
  EXPECT_EQ(layout.frame.width, 216);
}

TEST(SimpleBoxLayoutTest, NarrowCaptionsGet79PixelsAndTheRowIsCentred) {
  EXPECT_EQ(SimpleBoxButtonWidth(15), 79);
  EXPECT_EQ(SimpleBoxButtonWidth(74), 79);
  EXPECT_EQ(SimpleBoxButtonWidth(75), 79);
  EXPECT_EQ(SimpleBoxButtonWidth(100), 104);

  int wrapped_to = 0;
  SimpleBoxInput input;
  input.buttons = Shown({kContinue, kShow});
  input.caption_widths = {0, 0, 0, 35, 15, 0, 0};
  input.title_width = 100;
  input.screen = kScreen;
  input.title_bar_height = kTitleBar;
  SimpleBoxLayout layout = LayOutSimpleBox(input, FixedText{{300, 26}, &wrapped_to});
  EXPECT_EQ(wrapped_to, 638);
  EXPECT_EQ(layout.text, (Rect{11, 12, 300, 26}));
  EXPECT_EQ(layout.frame, (Rect{479, 469, 322, 85}));
  ASSERT_EQ(layout.buttons.size(), 2u);
  EXPECT_EQ(layout.buttons[0], (PlacedButton{kContinue, {81, 50, 79, 23}}));
  EXPECT_EQ(layout.buttons[1], (PlacedButton{kShow, {162, 50, 79, 23}}));

  input.buttons.shown = {kContinue};
  layout = LayOutSimpleBox(input, FixedText{{300, 26}, &wrapped_to});
  EXPECT_EQ(layout.buttons[0], (PlacedButton{kContinue, {121, 50, 79, 23}}));

  // A short message: the title still fits.
  layout = LayOutSimpleBox(input, FixedText{{8, 13}, &wrapped_to});
  EXPECT_EQ(layout.frame.width, 160);
}

TEST(ProgressBoxLayoutTest, TheBarLiesBelowTheTextAndTheBoxInTheMiddleOrBottomRight) {
  int wrapped_to = 0;
  ProgressBoxInput input;
  input.scroll_bar_height = 17;
  input.screen = kScreen;
  input.work_area = {0, 0, 1280, 984};
  ProgressBoxLayout layout = LayOutProgressBox(input, FixedText{{150, 13}, &wrapped_to});
  EXPECT_EQ(wrapped_to, 420);
  EXPECT_EQ(layout.text, (Rect{11, 12, 220, 13}));
  EXPECT_EQ(layout.bar, (Rect{11, 36, 220, 17}));
  EXPECT_EQ(layout.frame, (Rect{519, 480, 242, 64}));

  input.activate = false;
  layout = LayOutProgressBox(input, FixedText{{150, 13}, &wrapped_to});
  EXPECT_EQ(layout.frame, (Rect{1038, 920, 242, 64}));

  input.picture = true;
  layout = LayOutProgressBox(input, FixedText{{380, 26}, &wrapped_to});
  EXPECT_EQ(layout.picture, (Rect{9, 9, 32, 32}));
  EXPECT_EQ(layout.text, (Rect{51, 12, 380, 26}));
  EXPECT_EQ(layout.bar, (Rect{51, 49, 380, 17}));
  EXPECT_EQ(layout.frame, (Rect{1280 - 442, 984 - 77, 442, 77}));
}

}  // namespace

}  // namespace userdb::crash
