// The flat buttons' colours, the fade and the flash rule, and where caption and picture go.
#include "crash/box/button_drawing.h"

#include <gtest/gtest.h>

namespace userdb::crash {

namespace {

using std::chrono::milliseconds;

TEST(ButtonDrawingTest, TheFaceIsLightenedOrDarkenedByAStepOnlyWithManyColours) {
  const Rgb grey{212, 208, 200};
  EXPECT_EQ(FlatFaceColour(grey, 24, true), (Rgb{228, 224, 216}));
  EXPECT_EQ(FlatFaceColour(grey, 24, false), (Rgb{220, 216, 208}));
  EXPECT_EQ(FlatFaceColour(grey, 15, true), (Rgb{228, 224, 216}));
  EXPECT_EQ(FlatFaceColour(grey, 14, true), grey);
  // A face too light to be lightened is darkened.
  EXPECT_EQ(FlatFaceColour({240, 240, 240}, 32, true), (Rgb{224, 224, 224}));
  EXPECT_EQ(FlatFaceColour({240, 240, 240}, 32, false), (Rgb{248, 248, 248}));
}

TEST(ButtonDrawingTest, AFadePassesInEightSteps) {
  const Rgb from{0, 0, 0};
  const Rgb to{80, 160, 240};
  EXPECT_EQ(FadeColour(from, to, 0), from);
  EXPECT_EQ(FadeColour(from, to, 4), (Rgb{40, 80, 120}));
  EXPECT_EQ(FadeColour(from, to, 8), to);
  EXPECT_EQ(FadeColour(from, to, 9), to);
  EXPECT_EQ(FadeColour(to, from, 2), (Rgb{60, 120, 180}));
  EXPECT_EQ(kFadeSteps * kFadeStepTime, milliseconds(80));
}

TEST(ButtonDrawingTest, AClickFlashesOnlyMoreThan200MillisecondsAfterTheLastFlash) {
  EXPECT_TRUE(ClickFlashes(ButtonKind::kSave, std::nullopt));
  EXPECT_FALSE(ClickFlashes(ButtonKind::kSave, milliseconds(150)));
  EXPECT_FALSE(ClickFlashes(ButtonKind::kContinue, milliseconds(200)));
  EXPECT_TRUE(ClickFlashes(ButtonKind::kContinue, milliseconds(201)));
  EXPECT_TRUE(ClickFlashes(ButtonKind::kShow, milliseconds(10)));
}

TEST(ButtonDrawingTest, TheCaptionIsCentredRightOfThePicture) {
  EXPECT_EQ(ButtonCaptionPosition(154, 115), (Point{29, 4}));
  EXPECT_EQ(ButtonCaptionPosition(139, 100), (Point{29, 4}));
  EXPECT_EQ(ButtonCaptionPosition(200, 115), (Point{52, 4}));
  EXPECT_EQ(kButtonPicturePosition, (Point{3, 3}));
}

}  // namespace

}  // namespace userdb::crash
