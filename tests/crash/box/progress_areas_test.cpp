// The progress box's areas and the position of its bar.
#include "crash/box/progress_areas.h"

#include <gtest/gtest.h>

namespace userdb::crash {

namespace {

TEST(ProgressAreasTest, TheBarFollowsTheWeightedAreas) {
  ProgressAreas areas;
  areas.Add("Anlage werden zusammengestellt...", 100);
  areas.Add("", 300);
  areas.Add("Sende E-Mail...", 600);
  EXPECT_EQ(areas.BarPosition(), 0);
  EXPECT_EQ(areas.CurrentText(), "Anlage werden zusammengestellt...");
  areas.SetPosition(500);
  EXPECT_EQ(areas.BarPosition(), 50);
  areas.SetCurrent(1);
  EXPECT_EQ(areas.Position(), 0);
  EXPECT_EQ(areas.CurrentText(), "Anlage werden zusammengestellt...");  // the previous text
  areas.SetPosition(500);
  EXPECT_EQ(areas.BarPosition(), 250);
  areas.AreaDone();
  EXPECT_EQ(areas.Current(), 2u);
  EXPECT_EQ(areas.CurrentText(), "Sende E-Mail...");
  EXPECT_EQ(areas.BarPosition(), 400);
  areas.SetPosition(2000);
  EXPECT_EQ(areas.Position(), 1000);
  EXPECT_EQ(areas.BarPosition(), 1000);
}

TEST(ProgressAreasTest, MovingPastTheLastAreaFillsTheBar) {
  ProgressAreas areas;
  areas.Add("a", 1);
  areas.Add("b", 3);
  areas.SetCurrent(2);
  EXPECT_EQ(areas.Current(), 1u);
  EXPECT_EQ(areas.Position(), 1000);
  EXPECT_EQ(areas.BarPosition(), 1000);
  areas.SetCurrent(7);
  EXPECT_EQ(areas.BarPosition(), 1000);
  areas.SetCurrent(0);
  areas.AreaDone();
  areas.AreaDone();
  EXPECT_EQ(areas.BarPosition(), 1000);
}

TEST(ProgressAreasTest, WithoutAreasTheBoxSaysPleaseWait) {
  ProgressAreas areas;
  EXPECT_EQ(areas.CurrentText(), "");
  EXPECT_EQ(areas.BarPosition(), 0);
  areas.AddDefaultAreaWhenEmpty();
  ASSERT_EQ(areas.Count(), 1u);
  EXPECT_EQ(areas.CurrentText(), "Please wait...");
  areas.SetPosition(300);
  EXPECT_EQ(areas.BarPosition(), 300);
  areas.AddDefaultAreaWhenEmpty();
  EXPECT_EQ(areas.Count(), 1u);
  areas.Clear();
  EXPECT_EQ(areas.Count(), 0u);
  EXPECT_EQ(areas.Position(), 0);
}

TEST(ProgressAreasTest, LargeAndZeroWeightsKeepTheBarInRange) {
  ProgressAreas areas;
  areas.Add("a", uint64_t{1} << 62);
  areas.Add("b", uint64_t{1} << 62);
  areas.SetCurrent(1);
  areas.SetPosition(500);
  EXPECT_EQ(areas.BarPosition(), 750);

  ProgressAreas empty_weights;
  empty_weights.Add("a", 0);
  empty_weights.SetPosition(500);
  EXPECT_EQ(empty_weights.BarPosition(), 0);
}

TEST(ProgressAreasTest, ThePleaseWaitBoxWeighsEachThreadByItsStack) {
  ProgressAreas areas = PleaseWaitAreas("Einen Moment bitte...", {8 << 20, 132 << 10, 132 << 10});
  ASSERT_EQ(areas.Count(), 3u);
  EXPECT_EQ(areas.CurrentText(), "Einen Moment bitte...");
  areas.AreaDone();
  EXPECT_EQ(areas.BarPosition(), 8 * 1024 * 1000 / (8 * 1024 + 264));
  areas.AreaDone();
  areas.AreaDone();
  EXPECT_EQ(areas.BarPosition(), 1000);
}

}  // namespace

}  // namespace userdb::crash
