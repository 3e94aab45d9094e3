// The progress bar on the screen: it repaints at once exactly when its percentage changes,
// and fills that share of its length.
#include "app/gradient_progress_bar.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

namespace userdb::app {

namespace {

class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

class BarTest : public ::testing::Test {
 protected:
  BarTest() {
    window_.resize(400, 30);
    bar_ = new GradientProgressBar(&window_);
    bar_->setGeometry(5, 10, 385, 9);
    window_.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window_));
    QTest::qWait(20);
    bar_->installEventFilter(&counter_);
  }

  QWidget window_;
  GradientProgressBar* bar_;
  PaintCounter counter_;
};

// One setting of the bar, the percentage it leaves, and whether it repainted the bar.
struct Step {
  char set;  // 'T' TotalParts, 'P' PartsComplete
  int32_t value;
  int percentage;
  bool repainted;
};

struct BarCase {
  const char* name;
  std::vector<Step> steps;
};

void PrintTo(const BarCase& c, std::ostream* out) {
  *out << c.name;
}

class BarRuleTest : public BarTest, public ::testing::WithParamInterface<BarCase> {};

TEST_P(BarRuleTest, RepaintsAtOnceExactlyWhenThePercentageChanges) {
  for (const Step& step : GetParam().steps) {
    const int before = counter_.paints;
    if (step.set == 'T') {
      bar_->SetTotalParts(step.value);
    } else {
      bar_->SetPartsComplete(step.value);
    }
    const int during = counter_.paints - before;
    QCoreApplication::processEvents();
    const std::string what = std::string(1, step.set) + " " + std::to_string(step.value);
    EXPECT_EQ(bar_->Percentage(), step.percentage) << what;
    EXPECT_EQ(during, step.repainted ? 1 : 0) << what;
    EXPECT_EQ(counter_.paints - before, during) << what << ": painted later";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BarRuleTest,
    ::testing::Values(
        BarCase{"HalfOf999", {{'T', 999, 0, false}, {'P', 500, 50, true}}},
        BarCase{"HalfRoundsToEven", {{'T', 800, 0, false}, {'P', 100, 12, true}}},
        BarCase{"EmptyFile", {{'T', -1, 0, false}, {'P', 0, 0, false}, {'P', -1, 100, true}}},
        BarCase{"OneLineFile", {{'T', 0, 0, false}, {'P', 0, 0, false}, {'P', 0, 0, false}}},
        BarCase{
            "SameValuesAgain",
            {{'T', 10, 0, false}, {'P', 5, 50, true}, {'P', 5, 50, false}, {'T', 10, 50, false}}},
        BarCase{"NewTotalStartsAgain",
                {{'T', 10, 0, false}, {'P', 5, 50, true}, {'T', 20, 0, true}, {'P', 5, 25, true}}},
        BarCase{"BeyondTheTotal", {{'T', 10, 0, false}, {'P', 50, 100, true}}},
        BarCase{"SamePercentageForMoreParts",
                {{'T', 1000, 0, false}, {'P', 500, 50, true}, {'P', 501, 50, false}}}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

// Whether the pixel in the middle row of the bar at `x` is filled: not the track's colour.
bool FilledAt(const QImage& bar, int x) {
  return bar.pixelColor(x, bar.height() / 2) != bar.pixelColor(bar.width() - 1, bar.height() / 2);
}

TEST_F(BarTest, FillsItsPercentageOfTheLengthRounded) {
  bar_->SetTotalParts(1000);
  bar_->SetPartsComplete(500);  // 192.5 pixels of 385
  EXPECT_EQ(bar_->FilledWidth(), 193);
  const QImage half = bar_->grab().toImage();
  EXPECT_TRUE(FilledAt(half, 0));
  EXPECT_TRUE(FilledAt(half, 192));
  EXPECT_FALSE(FilledAt(half, 193));

  bar_->SetPartsComplete(0);
  EXPECT_EQ(bar_->FilledWidth(), 0);
  EXPECT_FALSE(FilledAt(bar_->grab().toImage(), 0));

  bar_->SetPartsComplete(1000);
  EXPECT_EQ(bar_->FilledWidth(), 385);
  const QImage full = bar_->grab().toImage();
  EXPECT_NE(full.pixelColor(0, 4), full.pixelColor(384, 4));  // a gradient, filled to the end
  EXPECT_NE(full.pixelColor(384, 4), QColor(0xE6, 0xE6, 0xE6));
}

}  // namespace

}  // namespace userdb::app
