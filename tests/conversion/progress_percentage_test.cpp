// The progress display rule: totals, the unsigned cut, rounding half to even.
#include "conversion/progress_percentage.h"

#include <gtest/gtest.h>

namespace userdb::conversion {

namespace {

int16_t PercentageFor(int32_t total, int32_t parts) {
  ProgressPercentage progress;
  progress.SetTotalParts(total);
  progress.SetPartsComplete(parts);
  return progress.Percentage();
}

TEST(ProgressPercentageTest, RoundsHalvesToEven) {
  EXPECT_EQ(PercentageFor(999, 500), 50);
  EXPECT_EQ(PercentageFor(800, 100), 12);  // 12.5
  EXPECT_EQ(PercentageFor(200, 27), 14);   // 13.5
  EXPECT_EQ(PercentageFor(3, 2), 67);
  EXPECT_EQ(PercentageFor(999, 999), 100);
}

TEST(ProgressPercentageTest, EmptyFileEndsAtAHundred) {
  ProgressPercentage progress;
  progress.SetTotalParts(-1);
  progress.SetPartsComplete(0);
  EXPECT_EQ(progress.Percentage(), 0);
  EXPECT_TRUE(progress.SetPartsComplete(-1));
  EXPECT_EQ(progress.Percentage(), 100);
}

TEST(ProgressPercentageTest, ZeroTotalKeepsThePercentage) {
  ProgressPercentage progress;
  progress.SetTotalParts(0);
  EXPECT_FALSE(progress.SetPartsComplete(0));
  EXPECT_FALSE(progress.SetPartsComplete(5));  // cut to the total, 0
  EXPECT_EQ(progress.PartsComplete(), 0);
  EXPECT_EQ(progress.Percentage(), 0);
}

TEST(ProgressPercentageTest, PartsBeyondTheTotalAreCutAsUnsignedNumbers) {
  ProgressPercentage progress;
  progress.SetTotalParts(10);
  progress.SetPartsComplete(20);
  EXPECT_EQ(progress.PartsComplete(), 10);
  EXPECT_EQ(progress.Percentage(), 100);
  progress.SetPartsComplete(-5);  // 0xFFFFFFFB unsigned: above the total
  EXPECT_EQ(progress.PartsComplete(), 10);
}

TEST(ProgressPercentageTest, ANewTotalResetsAndTheSameTotalDoesNothing) {
  ProgressPercentage progress;
  progress.SetTotalParts(100);
  progress.SetPartsComplete(50);
  EXPECT_FALSE(progress.SetTotalParts(100));
  EXPECT_EQ(progress.Percentage(), 50);
  EXPECT_TRUE(progress.SetTotalParts(200));
  EXPECT_EQ(progress.PartsComplete(), 0);
  EXPECT_EQ(progress.Percentage(), 0);
}

TEST(ProgressPercentageTest, ReportsOnlyChangesOfThePercentage) {
  ProgressPercentage progress;
  progress.SetTotalParts(1000);
  EXPECT_FALSE(progress.SetPartsComplete(1));   // 0.1 rounds to 0
  EXPECT_TRUE(progress.SetPartsComplete(100));  // 10
  EXPECT_FALSE(progress.SetPartsComplete(100));
  EXPECT_FALSE(progress.SetPartsComplete(101));  // still 10
}

}  // namespace

}  // namespace userdb::conversion
