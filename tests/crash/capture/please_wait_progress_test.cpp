#include "crash/capture/please_wait_progress.h"

#include <gtest/gtest.h>
#include <ucontext.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "crash/crash_reporter.h"
#include "crash/report/compose_bug_report.h"

namespace userdb::crash {
namespace {

// Holds 256 KB of its stack in use until released.
__attribute__((noinline)) void HoldDeepStack(std::atomic<bool>& holding,
                                             const std::atomic<bool>& release) {
  volatile char deep[256 * 1024];
  std::memset(const_cast<char*>(deep), 1, sizeof deep);
  holding = true;
  while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  asm volatile("" ::: "memory");
}

ExceptionFacts FactsHere() {
  ExceptionFacts facts;
  facts.object = ExceptionObject{{"FileOpenError", "Exception"}, "Datei nicht gefunden"};
  ucontext_t context;
  getcontext(&context);
  facts.context = ProcessorContext::Of(context);
  facts.address = facts.context->InstructionPointer();
  facts.stack_pointer = facts.context->StackPointer();
  return facts;
}

// One area per thread of the report, the thread with a deep stack weighing as much as it uses.
TEST(PleaseWaitProgress, WeighsEachThreadByTheStackItUses) {
  CrashReporter reporter;
  std::atomic<bool> holding{false}, release{false};
  std::thread deep([&] { HoldDeepStack(holding, release); });
  while (!holding) std::this_thread::yield();
  const auto exception = reporter.NewCaughtException(FactsHere(), nullptr);
  ASSERT_TRUE(exception);
  exception->Settings().WriteBoolean("ListThreads", true);
  ComposeBugReport(*exception, true);
  const ProgressRequest progress = PleaseWaitProgress(*exception);
  release = true;
  deep.join();

  size_t thread_sections = 0;
  for (const ReportEntry& section : exception->Report().SectionEntries())
    if (section.name.find('$') != std::string::npos) ++thread_sections;
  ASSERT_EQ(progress.areas.size(), thread_sections);
  EXPECT_EQ(progress.current_area, thread_sections) << "all traced";
  const auto heaviest =
      std::max_element(progress.areas.begin(), progress.areas.end(),
                       [](const auto& a, const auto& b) { return a.weight < b.weight; });
  const auto lightest =
      std::min_element(progress.areas.begin(), progress.areas.end(),
                       [](const auto& a, const auto& b) { return a.weight < b.weight; });
  EXPECT_GE(heaviest->weight, 256u * 1024);
  EXPECT_LT(lightest->weight, 128u * 1024);
  EXPECT_EQ(progress.title, exception->Settings().ReadText("PlWaitTitle"));
}

}  // namespace
}  // namespace userdb::crash
