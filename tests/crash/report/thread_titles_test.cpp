#include "crash/report/thread_titles.h"

#include <gtest/gtest.h>
#include <sched.h>

namespace userdb::crash {

namespace {

struct TitleCase {
  ThreadTitleFacts facts;
  const char* title;
};

TEST(ThreadTitles, FollowTheirRules) {
  const TitleCase cases[] = {
      {{0x5ac, true, "main thread", "", false, 0}, "main thread ($5ac):"},
      {{0xa4c, true, "", "TWorker", false, -1}, "thread $a4c (TWorker): <priority:-1>"},
      {{0xa4c, true, "", "", false, 0}, "thread $a4c:"},
      {{0xa4c, true, "-", "", false, 0}, "thread $a4c:"},
      {{0xa4c, true, "transform", "", true, 2}, "transform ($a4c): <suspended> <priority:2>"},
      {{0xa4c, false, "transform", "TWorker", true, 0}, "thread $a4c: <suspended>"},
  };
  for (const TitleCase& c : cases) EXPECT_EQ(ThreadTitle(c.facts), c.title);
  EXPECT_EQ(ThreadTitleBase({0xa4c, true, "", "TWorker", true, 3}), "thread $a4c (TWorker)");
}

TEST(ThreadTitles, PriorityIsHigherForHigherScheduling) {
  platform::ProcStat stat;
  EXPECT_EQ(ThreadPriority(stat), 0);
  stat.nice = 5;
  EXPECT_EQ(ThreadPriority(stat), -5);
  stat.nice = -3;
  EXPECT_EQ(ThreadPriority(stat), 3);
  stat.policy = SCHED_IDLE;
  EXPECT_EQ(ThreadPriority(stat), -15);
  stat.policy = SCHED_FIFO;
  stat.rt_priority = 50;
  EXPECT_EQ(ThreadPriority(stat), 50);
}

TEST(ThreadTitles, TheOrderStartsWithTheFirstThenTheMainThread) {
  EXPECT_EQ(ReportThreadOrder(7, 1, {1, 5, 7, 9}, true), (std::vector<pid_t>{7, 1, 5, 9}));
  EXPECT_EQ(ReportThreadOrder(1, 1, {1, 5, 7}, true), (std::vector<pid_t>{1, 5, 7}));
  EXPECT_EQ(ReportThreadOrder(7, 1, {1, 5, 7}, false), (std::vector<pid_t>{7, 1}));
}

TEST(ThreadTitles, ThreadsOfThisProcessStartWithTheMainThread) {
  const std::vector<pid_t> threads = ProcessThreads();
  ASSERT_FALSE(threads.empty());
  EXPECT_EQ(threads.front(), getpid());
}

}  // namespace

}  // namespace userdb::crash
