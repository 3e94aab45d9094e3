#include "crash/stack/stack_snapshot.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>

#include "crash/stack/memory_reader.h"
#include "crash/stack/stack_trace.h"
#include "tests/crash/stack/allocation_counter.h"
#include "tests/crash/stack/traced_code.h"

namespace userdb::crash {
namespace {

constexpr int kSnapshotSignalOffset = 5;

// What the blocked thread's signal handler fills: room reserved beforehand, as the crash
// reporter reserves it.
struct HandlerRoom {
  const ExecutableRanges* code = nullptr;
  uintptr_t top = 0;
  std::array<TPreStackItem, 4096> items;
  std::array<uintptr_t, 1024> frame_slots;
  size_t count = 0;
  size_t allocations = 0;
  UnwindRegisters registers;
  std::array<std::byte, 64 * 1024> saved;  // the stack's bytes, from the stack pointer up
  size_t saved_size = 0;
  std::atomic<bool> done{false};
};

HandlerRoom* room = nullptr;  // the signal handler's way to its room

void TakeSnapshot(int, siginfo_t*, void* context) {
  const size_t before = test::AllocationsOfThread();
  SnapshotRequest request;
  request.registers = RegistersOf(*static_cast<ucontext_t*>(context));
  request.top = room->top;
  const TDAPreStackItem snapshot =
      SnapshotStack(request, *room->code, {room->items, room->frame_slots});
  room->count = snapshot.items.size();
  room->registers = request.registers;
  const uintptr_t bottom = request.registers.value[kDwarfRsp];
  if (room->top - bottom <= room->saved.size()) {
    room->saved_size = room->top - bottom;
    CopyKnownReadable(room->saved.data(), bottom, room->saved_size);
  }
  room->allocations = test::AllocationsOfThread() - before;
  room->done = true;
}

uintptr_t OwnStackTop() {
  pthread_attr_t attributes;
  void* low = nullptr;
  size_t size = 0;
  pthread_getattr_np(pthread_self(), &attributes);
  pthread_attr_getstack(&attributes, &low, &size);
  pthread_attr_destroy(&attributes);
  return reinterpret_cast<uintptr_t>(low) + size;
}

class StackSnapshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    code_.Refresh();
    handler_room_.code = &code_;
    room = &handler_room_;
    struct sigaction action {};
    action.sa_sigaction = TakeSnapshot;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(SIGRTMIN + kSnapshotSignalOffset, &action, &previous_), 0);
  }
  void TearDown() override {
    sigaction(SIGRTMIN + kSnapshotSignalOffset, &previous_, nullptr);
    room = nullptr;
  }

  // A thread blocked in its chain until release_, whose signal handler has taken its snapshot
  // into handler_room_.
  std::thread SnapshotOfABlockedThread() {
    std::atomic<uintptr_t> top{0};
    std::thread blocked([&] {
      top = OwnStackTop();
      stacktest::BlockingOuter(waiting_, release_);
    });
    while (!waiting_) std::this_thread::yield();
    handler_room_.top = top;
    pthread_kill(blocked.native_handle(), SIGRTMIN + kSnapshotSignalOffset);
    while (!handler_room_.done) std::this_thread::yield();
    return blocked;
  }

  ExecutableRanges code_;
  HandlerRoom handler_room_;
  std::atomic<bool> waiting_{false}, release_{false};
  struct sigaction previous_ {};
};

// A thread stopped in its chain records every return address of the chain, the frames of
// frame-pointer code marked, without allocating; the trace of the snapshot then names them.
TEST_F(StackSnapshotTest, AStoppedThreadRecordsItsChainInItsSignalHandler) {
  std::thread blocked = SnapshotOfABlockedThread();

  SymbolLookup symbols;
  FunctionList functions;
  const RuntimeRoutines routines = RuntimeRoutines::OfThisProcess(symbols);
  const TDAPreStackItem snapshot{std::span(handler_room_.items.data(), handler_room_.count)};
  TraceRequest request;
  request.current_address = handler_room_.registers.value[kDwarfReturnAddress];
  request.top = handler_room_.top;
  request.bottom = handler_room_.registers.value[kDwarfRsp];
  request.frame_pointer = handler_room_.registers.value[kDwarfRbp];
  request.snapshot = &snapshot;
  const TraceResult result = TraceStack(request, {symbols, functions, routines});
  release_ = true;
  blocked.join();

  EXPECT_EQ(handler_room_.allocations, 0u);
  // The chain's own return addresses, the newest values, come from frame slots; older values
  // may be stale ones left by the thread's start.
  ASSERT_GE(handler_room_.count, 3u);
  const auto newest = handler_room_.items.begin() + static_cast<ptrdiff_t>(handler_room_.count);
  EXPECT_TRUE(
      std::all_of(newest - 3, newest, [](const TPreStackItem& item) { return item.frame; }));
  std::string names;
  for (const TraceItem& item : result.items) names += item.function_name + "\n";
  const size_t leaf = names.find("BlockInLeaf"), middle = names.find("BlockingMiddle"),
               outer = names.find("BlockingOuter");
  ASSERT_NE(leaf, std::string::npos) << result.text;
  ASSERT_NE(middle, std::string::npos) << result.text;
  ASSERT_NE(outer, std::string::npos) << result.text;
  EXPECT_LT(leaf, middle);
  EXPECT_LT(middle, outer);
}

// A copy of the stack made at a moment gives that moment's snapshot after the thread has gone
// on and ended: the values come from the copy, not from the memory the stack occupied.
TEST_F(StackSnapshotTest, ASavedStackGivesTheSnapshotOfTheMomentItWasSaved) {
  std::thread blocked = SnapshotOfABlockedThread();
  release_ = true;
  blocked.join();
  ASSERT_GT(handler_room_.saved_size, 0u);

  SnapshotRequest request;
  request.registers = handler_room_.registers;
  request.top = handler_room_.registers.value[kDwarfRsp] + handler_room_.saved_size;
  request.saved = handler_room_.saved.data();
  std::array<TPreStackItem, 4096> items;
  std::array<uintptr_t, 1024> frame_slots;
  const TDAPreStackItem from_copy = SnapshotStack(request, code_, {items, frame_slots});
  ASSERT_EQ(from_copy.items.size(), handler_room_.count);
  for (size_t i = 0; i < handler_room_.count; ++i) {
    EXPECT_EQ(from_copy.items[i].value, handler_room_.items[i].value) << i;
    EXPECT_EQ(from_copy.items[i].frame, handler_room_.items[i].frame) << i;
  }
}

TEST_F(StackSnapshotTest, IsEmptyWhenTheStackIsNotReadableAsAWhole) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  void* pages = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(pages, MAP_FAILED);
  ASSERT_EQ(mprotect(pages, page, PROT_NONE), 0);
  SnapshotRequest request;
  request.registers.Set(kDwarfReturnAddress, reinterpret_cast<uintptr_t>(&stacktest::Inner));
  request.registers.Set(kDwarfRsp, reinterpret_cast<uintptr_t>(pages));
  request.top = reinterpret_cast<uintptr_t>(pages) + 2 * page;
  EXPECT_TRUE(SnapshotStack(request, code_, {handler_room_.items, handler_room_.frame_slots})
                  .items.empty());
  request.top = 0;
  request.registers.Set(kDwarfRsp, reinterpret_cast<uintptr_t>(pages) + page);
  EXPECT_TRUE(SnapshotStack(request, code_, {handler_room_.items, handler_room_.frame_slots})
                  .items.empty());
  munmap(pages, 2 * page);
}

// For an exception, the scan ends at the slot that holds the exception's address: what lies
// below it belongs to the code that handles the exception.
TEST_F(StackSnapshotTest, AnExceptionEndsTheScanAtItsAddress) {
  stacktest::Outer();
  const auto& recorded = stacktest::recorded;
  std::array<uintptr_t, 8> stack = {recorded.in_middle, 0, recorded.in_outer,  0,
                                    recorded.in_middle, 0, recorded.in_caller, 0};
  SnapshotRequest request;
  request.registers.Set(kDwarfReturnAddress, recorded.in_outer);
  request.registers.Set(kDwarfRsp, reinterpret_cast<uintptr_t>(stack.data()));
  request.top = reinterpret_cast<uintptr_t>(stack.data() + stack.size());
  request.is_exception = true;
  const auto items =
      SnapshotStack(request, code_, {handler_room_.items, handler_room_.frame_slots}).items;
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].value, recorded.in_caller);
  EXPECT_EQ(items[1].value, recorded.in_middle);
}

}  // namespace
}  // namespace userdb::crash
