#include "crash/capture/thread_registry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "crash/capture/thread_creation_capture.h"
#include "platform/module_section.h"

namespace userdb::crash {

namespace {

TEST(ThreadRegistry, KnowsTheMainThreadByName) {
  ThreadRegistry registry(getpid());
  EXPECT_EQ(registry.MainThread(), getpid());
  const ThreadLookup lookup = registry.Find(getpid());
  ASSERT_TRUE(lookup.locked);
  ASSERT_TRUE(lookup.entry);
  EXPECT_EQ(lookup.entry->name, "main thread");
}

TEST(ThreadRegistry, NamesOwnThreadsAndDropsEndedOnes) {
  ThreadRegistry registry(getpid());
  pid_t ended = 0;
  std::thread([&] {
    ended = CurrentThreadId();
    registry.EnterOwnThread(ended, "HandleExceptionThread");
  }).join();
  const ThreadLookup own = registry.Find(ended);
  ASSERT_TRUE(own.entry) << "nothing has changed since it ended";
  EXPECT_EQ(own.entry->name, "-");
  EXPECT_EQ(own.entry->trace_name, "HandleExceptionThread");
  registry.SetName(CurrentThreadId(), "test thread");
  EXPECT_FALSE(registry.Find(ended).entry) << "a change drops the entries of ended threads";
  EXPECT_EQ(registry.Find(CurrentThreadId()).entry->name, "test thread");
}

// A class of the kind QThread is: polymorphic, in namespaces.
namespace outer::inner {
struct TransformWorker {
  virtual ~TransformWorker() = default;
};
template <typename T>
struct Holder {
  virtual ~Holder() = default;
};
}  // namespace outer::inner

TEST(ThreadCreationCapture, ClassNamesComeFromTheRunTimeTypeWithoutNamespaces) {
  const outer::inner::TransformWorker worker;
  EXPECT_EQ(PolymorphicClassName(&worker), "TransformWorker");
  const outer::inner::Holder<std::pair<int, outer::inner::TransformWorker>> holder;
  EXPECT_EQ(PolymorphicClassName(&holder),
            "Holder<std::pair<int, userdb::crash::(anonymous "
            "namespace)::outer::inner::TransformWorker> >");
  EXPECT_EQ(PolymorphicClassName(nullptr), "");
}

__attribute__((noinline)) std::thread StartThreadHere(std::atomic<bool>& entered, ThreadEntry& seen,
                                                      ThreadRegistry& registry) {
  return std::thread([&] {
    const ThreadLookup lookup = registry.Find(CurrentThreadId());
    if (lookup.entry) seen = *lookup.entry;
    entered = true;
  });
}

TEST(ThreadCreationCapture, EntersEveryNewThreadWithItsCreatorWhileInstalled) {
  ThreadRegistry registry(getpid());
  std::atomic<bool> entered{false};
  ThreadEntry seen;
  pid_t thread_id = 0;
  {
    ThreadCreationCapture capture(registry);
    std::thread thread = StartThreadHere(entered, seen, registry);
    thread.join();
    ASSERT_TRUE(entered);
    thread_id = seen.id;
  }
  EXPECT_NE(thread_id, 0);
  EXPECT_EQ(seen.creator_id, CurrentThreadId());
  EXPECT_EQ(seen.class_name, "");
  ASSERT_FALSE(seen.creation_frames.empty());
  const auto creator =
      platform::ModuleContaining(reinterpret_cast<const void*>(seen.creation_frames.front()));
  ASSERT_TRUE(creator);
  EXPECT_TRUE(creator->is_executable) << "the creating code, past the C++ run-time's own";
  // Within the function's first bytes: its code is larger under a sanitizer.
  const auto start = reinterpret_cast<uintptr_t>(&StartThreadHere);
  EXPECT_TRUE(
      std::any_of(seen.creation_frames.begin(), seen.creation_frames.end(),
                  [start](uintptr_t frame) { return frame > start && frame < start + 4096; }))
      << "one of the frames is the creating function's";
  EXPECT_FALSE(registry.Find(thread_id).entry) << "it left the registry when it ended";

  ThreadEntry after;
  std::atomic<bool> entered_after{false};
  StartThreadHere(entered_after, after, registry).join();
  EXPECT_TRUE(entered_after);
  EXPECT_EQ(after.id, 0) << "without a capture the thread is only created";
}

}  // namespace

}  // namespace userdb::crash
