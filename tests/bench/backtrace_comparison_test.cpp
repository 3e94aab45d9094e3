// The comparison of a report's call stacks with gdb's backtraces: what counts as one frame on
// either side, and which frames are found or not.
#include "bench/backtrace_comparison.h"

#include <gtest/gtest.h>

namespace userdb::bench {
namespace {

// Two threads as gdb prints them: inline frames share a pc, a signal frame has none.
constexpr char kGdb[] =
    "[New LWP 501]\n"
    "0x00007f00000a0010 in __poll () at poll.c:29\n"
    "\n"
    "Thread 2 (Thread 0x7f0000001000 (LWP 501) \"Thread (pooled)\"):\n"
    "#0  0x00007f00000b0016 in wait_common64 (op=137) at futex-internal.c:57\n"
    "#1  0x00007f00000b0016 in wait_common (expected=0) at futex-internal.c:87\n"
    "#2  0x00007f00000b007b in wait_cancelable64 () at futex-internal.c:139\n"
    "#3  0x00007f00000c08bc in pthread_cond_timedwait () at pthread_cond_wait.c:643\n"
    "#4  0x00007f00000d0953 in ?? () from /lib/libQt6Core.so.6\n"
    "#5  0x00007f00000e01f5 in start_thread (arg=<optimized out>) at pthread_create.c:442\n"
    "\n"
    "Thread 1 (Thread 0x7f0000002000 (LWP 500) \"userdb-transfor\"):\n"
    "#0  0x00007f00000a0010 in __poll () at poll.c:29\n"
    "#1  <signal handler called>\n"
    "#2  0x00007f00000f091e in ?? () from /lib/libglib-2.0.so.0\n"
    "#3  0x0000000000000000 in ?? ()\n"
    "Backtrace stopped: previous frame inner to this frame (corrupt stack?)\n";

// The same threads in a report: call instructions where gdb has the return addresses after
// them, the creating code's location below ">> created by".
constexpr char kReport[] =
    "header line              : value\r\n"
    "callstack crc            : $7cf59fa5, $e71f08ad, $5f77e6a3\r\n"
    "\r\n"
    "main thread ($1f4):\r\n"
    "00007f00000a0010 +04f libc.so.6 poll.c 29 +0 __poll\r\n"
    "00007f00000f0919 +123 libglib-2.0.so.0\r\n"
    "\r\n"
    "Thread (pooled) ($1f5):\r\n"
    "00007f00000b0016 +0c6 libc.so.6 futex-internal.c 87 +16 wait_common\r\n"
    "00007f00000c08b7 +217 libc.so.6 pthread_cond_wait.c 643 +11 pthread_cond_timedwait\r\n"
    "00007f0000990000 +000 libstale.so stale\r\n"
    "00007f00000e01ef +2ff libc.so.6 pthread_create.c 442 +106 start_thread\r\n"
    ">> created by main thread ($1f4) at:\r\n"
    "00007f00000e0100 +000 libQt6Gui.so.6\r\n"
    "\r\n"
    "modules:\r\n"
    "00007f0000000000 libc.so.6 6 /lib\r\n";

TEST(BacktraceComparison, GdbFramesCountEachPcOnceWithoutSignalAndNullFrames) {
  const auto threads = ParseGdbBacktraces(kGdb);
  ASSERT_EQ(threads.size(), 2u);
  EXPECT_EQ(threads.at(501).title, "Thread (pooled)");
  EXPECT_EQ(threads.at(501).pcs,
            (std::vector<uintptr_t>{0x7f00000b0016, 0x7f00000b007b, 0x7f00000c08bc, 0x7f00000d0953,
                                    0x7f00000e01f5}));
  EXPECT_EQ(threads.at(500).pcs, (std::vector<uintptr_t>{0x7f00000a0010, 0x7f00000f091e}));
}

TEST(BacktraceComparison, ReportStacksEndAtTheCreatingCodeAndSkipTheHeader) {
  const auto threads = ParseReportStacks(kReport);
  ASSERT_EQ(threads.size(), 2u);
  EXPECT_EQ(threads.at(0x1f4).pcs, (std::vector<uintptr_t>{0x7f00000a0010, 0x7f00000f0919}));
  EXPECT_EQ(threads.at(0x1f5).pcs.size(), 4u);
  EXPECT_EQ(threads.at(0x1f5).pcs.back(), 0x7f00000e01efu);
}

TEST(BacktraceComparison, CountsFoundMissingAndInventedFrames) {
  const auto gdb = ParseGdbBacktraces(kGdb);
  const auto report = ParseReportStacks(kReport);

  const ThreadScore main_thread = CompareThread(gdb.at(500), report.at(0x1f4));
  EXPECT_EQ(main_thread.gdb_frames, 2u);
  EXPECT_EQ(main_thread.found, 2u);
  EXPECT_EQ(main_thread.not_in_gdb, 0u);

  const ThreadScore pooled = CompareThread(gdb.at(501), report.at(0x1f5));
  EXPECT_EQ(pooled.gdb_frames, 5u);
  EXPECT_EQ(pooled.found, 3u);
  EXPECT_EQ(pooled.printed, 4u);
  EXPECT_EQ(pooled.not_in_gdb, 1u);
  ASSERT_EQ(pooled.missing.size(), 2u);
  EXPECT_NE(pooled.missing[0].find("wait_cancelable64"), std::string::npos);
  EXPECT_NE(pooled.missing[1].find("?? () from /lib/libQt6Core"), std::string::npos);
  ASSERT_EQ(pooled.invented.size(), 1u);
  EXPECT_NE(pooled.invented[0].find("libstale.so"), std::string::npos);
  EXPECT_TRUE(pooled.unnamed.empty());
}

TEST(BacktraceComparison, ComparesTheNamesOfTheFramesFound) {
  const auto gdb = ParseGdbBacktraces(kGdb);
  const auto report = ParseReportStacks(kReport);
  // The inline frames' names count for their pc; gdb's "??" is no name.
  EXPECT_EQ(gdb.at(501).names[0], (std::vector<std::string>{"wait_common64", "wait_common"}));
  EXPECT_TRUE(gdb.at(501).names[3].empty());
  EXPECT_EQ(report.at(0x1f5).names[0], (std::vector<std::string>{"wait_common"}));

  const ThreadScore pooled = CompareThread(gdb.at(501), report.at(0x1f5));
  EXPECT_EQ(pooled.named_by_gdb, 3u);
  EXPECT_EQ(pooled.names_matched, 3u);
  EXPECT_TRUE(pooled.misnamed.empty());
  const ThreadScore main_thread = CompareThread(gdb.at(500), report.at(0x1f4));
  EXPECT_EQ(main_thread.named_by_gdb, 1u);
  EXPECT_TRUE(main_thread.unnamed.empty());

  // gdb names the frame that the report shows by its module alone, or by another name.
  ThreadFrames named_by_gdb = gdb.at(500);
  named_by_gdb.names[1] = {"g_main_context_iterate"};
  EXPECT_EQ(CompareThread(named_by_gdb, report.at(0x1f4)).unnamed,
            (std::vector<std::string>{"00007f00000f0919 +123 libglib-2.0.so.0"}));
  named_by_gdb.names[0] = {"poll_wait"};
  const ThreadScore misnamed = CompareThread(named_by_gdb, report.at(0x1f4));
  EXPECT_EQ(misnamed.names_matched, 0u);
  ASSERT_EQ(misnamed.misnamed.size(), 1u);
  EXPECT_TRUE(misnamed.misnamed[0].starts_with("00007f00000a0010 +04f libc.so.6 poll.c"))
      << misnamed.misnamed[0];
  EXPECT_TRUE(misnamed.named_by_report_alone.empty());

  // The report names a frame that gdb shows as "??".
  ThreadFrames unnamed_by_gdb = gdb.at(501);
  unnamed_by_gdb.names[0].clear();
  EXPECT_EQ(CompareThread(unnamed_by_gdb, report.at(0x1f5)).named_by_report_alone,
            (std::vector<std::string>{
                "00007f00000b0016 +0c6 libc.so.6 futex-internal.c 87 +16 wait_common"}));
}

TEST(BacktraceComparison, RecursionCountsOnceAsTheReportShowsIt) {
  ThreadFrames gdb{"recursion", {0x1010, 0x2020, 0x3030, 0x2020, 0x3030, 0x4040}, {}, {}};
  gdb.text.assign(gdb.pcs.size(), "#");
  const ThreadFrames report{
      "recursion", {0x1010, 0x201b, 0x302b, 0x403b}, {"a", "b", "c", "d"}, {}};
  const ThreadScore score = CompareThread(gdb, report);
  EXPECT_EQ(score.gdb_frames, 4u);
  EXPECT_EQ(score.found, 4u);
  EXPECT_EQ(score.not_in_gdb, 0u);
}

}  // namespace
}  // namespace userdb::bench
