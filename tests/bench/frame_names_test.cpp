// The names of gdb's frames and of a report's stack lines, brought to one form.
#include "bench/frame_names.h"

#include <gtest/gtest.h>

namespace userdb::bench {
namespace {

TEST(FrameNames, GdbLines) {
  const struct {
    const char* line;
    const char* name;
  } cases[] = {
      {"#0  0x00007f258b1a26f in __GI___poll (fds=0x55, nfds=1, timeout=473) at poll.c:29",
       "__GI___poll"},
      {"#3  0x00007f259507f7c in Dispatcher::processEvents(QFlags<Loop::Flag>) () from /lib/x.so",
       "Dispatcher.processEvents"},
      {"#9  0x0000555d614521a9 in ns::crash::(anonymous namespace)::StartThread (argument=0x5) at "
       "t.cpp:132",
       "ns.crash.(anonymous namespace).StartThread"},
      {"#7  0x0000555d613b971b in std::function<int ()>::operator()() const (this=0x7) at f.h:591",
       "std.function.operator()"},
      {"#8  0x0000555d613b971b in ns::Reporter::RunMain(std::function<int ()> const&) (body=...)",
       "ns.Reporter.RunMain"},
      {"#11 0x00007fa258b278ec in clone3 () at clone3.S:81", "clone3"},
      {"#1  0x00007fa25831c91e in ?? () from /lib/x86_64-linux-gnu/libglib-2.0.so.0", ""},
      {"#1  <signal handler called>", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(GdbFrameName(c.line), c.name) << c.line;
}

TEST(FrameNames, ReportLines) {
  const struct {
    const char* line;
    const char* name;
  } cases[] = {
      {"00007fa258b1a26f +04f libc.so.6        poll.c     29   +0 __poll", "__poll"},
      {"00007fa258b162ea +04a libc.so.6        read.c     24 __read", "__read"},
      {"0000555d614521a4 +294 userdb-transform capture.cpp 132  +23 ns.crash.(anonymous "
       "namespace).StartThread",
       "ns.crash.(anonymous namespace).StartThread"},
      {"00007fa25932d575 +2a5 libQt6Core.so.6                     QEventLoop.exec",
       "QEventLoop.exec"},
      {"00007fa25831c91b +17b libglib-2.0.so.0", ""},
      {"00007fa25831c91b +17b libglib-2.0.so.0 gmain.c 4010 +2", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ReportFrameName(c.line), c.name) << c.line;
}

TEST(FrameNames, TheCLibrarysOtherNamesOfAFunction) {
  const struct {
    const char* one;
    const char* other;
    bool same;
  } cases[] = {
      {"__poll", "__GI___poll", true},
      {"__read", "__GI___libc_read", true},
      {"pthread_cond_timedwait", "___pthread_cond_timedwait64", true},
      {"__GI___clone3", "clone3", true},
      {"__libc_start_main", "__libc_start_main_impl", true},
      {"__poll", "__ppoll", false},
      {"read", "readv", false},
      {"__", "___", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SameCLibraryFunction(c.one, c.other), c.same) << c.one << " " << c.other;
  }
}

}  // namespace
}  // namespace userdb::bench
