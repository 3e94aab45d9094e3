// The log pane as a log: what a run appends comes into view, whatever the window's size.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTextCursor>
#include <string>

#include "tests/app/gui_test_support.h"

namespace userdb::app {

namespace {

using gui_test::WaitUntil;
using gui_test::WindowTest;
using test_support::WriteFile;
using ::testing::IsEmpty;

// True when the last line of the log lies wholly inside the pane's visible part.
bool LastLineInView(const QPlainTextEdit& log) {
  QTextCursor end(log.document());
  end.movePosition(QTextCursor::End);
  const QRect line = log.cursorRect(end);
  return line.top() >= 0 && line.bottom() <= log.viewport()->height();
}

class LogPaneTest : public WindowTest {
 protected:
  void SetUp() override {
    WriteFile(input_, "1234567,Q1ABC,Anna Maria Muster,Neustadt,Bayern,,Germany\r\n");
    Start();
    Choose(input_, 0);
  }
  // Runs Transform and waits until the window has settled.
  void RunTransform() {
    ASSERT_THAT(Transform(), IsEmpty());
    ASSERT_EQ(LogLines().back(), "=====> Done <======");
    QTest::qWait(50);
  }

  const std::string input_ = folder_ / "UserDb.bin";
};

TEST_F(LogPaneTest, EveryRunEndsInView) {
  for (int run = 0; run < 4; ++run) {
    RunTransform();
    EXPECT_TRUE(LastLineInView(*Log())) << "after run " << run + 1;
  }
}

TEST_F(LogPaneTest, ALongFirstRunEndsInView) {
  std::string lines;  // each line without a nickname: four lines of a data mismatch
  for (int i = 0; i < 40; ++i) lines += std::to_string(1000000 + i) + ",Q1ABC,Anna,Ort,Bayern\r\n";
  WriteFile(input_, lines);
  RunTransform();
  EXPECT_GT(LogLines().size(), 160u);
  EXPECT_TRUE(LastLineInView(*Log()));
}

TEST_F(LogPaneTest, RunsEndInViewAfterTheWindowWasMaximizedAndRestored) {
  RunTransform();
  RunTransform();
  window_->showMaximized();
  ASSERT_TRUE(WaitUntil([&] { return window_->isMaximized(); }));
  QTest::qWait(100);
  for (int run = 0; run < 6; ++run) RunTransform();
  EXPECT_TRUE(LastLineInView(*Log())) << "maximized";

  window_->showNormal();
  ASSERT_TRUE(WaitUntil([&] { return !window_->isMaximized(); }));
  QTest::qWait(100);
  EXPECT_TRUE(LastLineInView(*Log())) << "restored";
  RunTransform();
  EXPECT_TRUE(LastLineInView(*Log())) << "restored, after a run";
}

TEST_F(LogPaneTest, RunsEndInViewAfterTheWindowWasResized) {
  RunTransform();
  RunTransform();
  window_->resize(window_->width() + 100, window_->height() + 150);
  QTest::qWait(100);
  RunTransform();
  EXPECT_TRUE(LastLineInView(*Log())) << "enlarged";
  window_->resize(window_->width() - 100, window_->height() - 150);
  QTest::qWait(100);
  EXPECT_TRUE(LastLineInView(*Log())) << "made smaller";
  RunTransform();
  EXPECT_TRUE(LastLineInView(*Log())) << "made smaller, after a run";
}

}  // namespace

}  // namespace userdb::app
