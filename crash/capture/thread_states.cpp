#include "crash/capture/thread_states.h"

#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "crash/capture/fatal_signals.h"
#include "crash/capture/thread_registry.h"
#include "platform/memory_map.h"
#include "platform/signal_action.h"

namespace userdb::crash {

namespace {

// A request carries its slot's index in the low bits and the slot's ticket above, so that a
// signal that is not ours (or comes after its request was given up) finds no slot waiting.
constexpr unsigned kIndexBits = 16;
static_assert(ThreadStateCollector::kMaxThreads <= (1u << kIndexBits));

// Slot states: a ticket shifted left by 2, with one of these in the low bits.
constexpr uint64_t kAsked = 1, kWriting = 2, kDone = 3;

// The collector whose handler is installed, and the handlers running at this moment: the
// collector's end waits for them.
std::atomic<ThreadStateCollector*> installed_collector{nullptr};
std::atomic<int> handlers_running{0};

int ThreadStateSignal() {
  return SIGRTMIN + kThreadStateSignalOffset;
}

void OnThreadStateSignal(int /*signal*/, siginfo_t* info, void* context) {
  const int saved_errno = errno;
  handlers_running.fetch_add(1);
  ThreadStateCollector* const collector = installed_collector.load();
  if (collector != nullptr && platform::QueuedByThisProcess(*info)) {
    collector->Answer(reinterpret_cast<uintptr_t>(info->si_value.sival_ptr),
                      *static_cast<const ucontext_t*>(context));
  }
  handlers_running.fetch_sub(1);
  errno = saved_errno;
}

// A thread that the signal stopped in a system call which the kernel restarts after the
// handler (SA_RESTART) has its instruction pointer set back onto the syscall instruction, so
// that the call is made again. It waits in the call: its place is after that instruction,
// where the call returns to.
void PlaceAfterRestartedSystemCall(ProcessorContext& context) {
  constexpr uint8_t kSyscall[] = {0x0f, 0x05};
  uint8_t code[sizeof kSyscall];
  const uintptr_t at = context.InstructionPointer();
  if (platform::ReadOwnMemory(at, code, sizeof code) == sizeof code &&
      std::memcmp(code, kSyscall, sizeof code) == 0) {
    context.registers[REG_RIP] = static_cast<greg_t>(at + sizeof kSyscall);
  }
}

bool SendRequest(pid_t thread, uintptr_t request) {
  return platform::QueueSignalToThread(thread, ThreadStateSignal(), request);
}

}  // namespace

struct ThreadStateCollector::Slot {
  std::atomic<uint64_t> state{0};
  bool retired = false;
  bool faulted = false;
  ProcessorContext context;
  // The room of its snapshots, made before its first request and kept.
  std::unique_ptr<TPreStackItem[]> items;
  std::unique_ptr<uintptr_t[]> frame_slots;
  const StackRegions* regions = nullptr;  // null: no snapshot for this request
  ThreadSnapshot snapshot;
};

ThreadStateCollector::ThreadStateCollector(ExecutableRanges* code)
    : code_(code), slots_(new Slot[kMaxThreads]) {
  installed_collector.store(this);
  platform::InstallSignalHandler(ThreadStateSignal(), &OnThreadStateSignal);
}

ThreadStateCollector::~ThreadStateCollector() {
  platform::IgnoreSignal(ThreadStateSignal());
  installed_collector.store(nullptr);
  const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
  while (handlers_running.load() != 0 && std::chrono::steady_clock::now() < limit) {
    std::this_thread::yield();
  }
}

namespace {

// A handler that has begun to write finishes in microseconds, unless its thread was stopped.
template <typename SlotType>
bool AwaitWriting(const SlotType& slot, uint64_t done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (slot.state.load(std::memory_order_acquire) != done) {
    if (std::chrono::steady_clock::now() >= limit) return false;
    std::this_thread::yield();
  }
  return true;
}

}  // namespace

void ThreadStateCollector::AnswerForSelf(ThreadState& state) const {
  ucontext_t context;
  if (getcontext(&context) != 0) return;
  state.answered = true;
  state.context = ProcessorContext::Of(context);
  if (code_ == nullptr) return;
  std::vector<TPreStackItem> items(kSnapshotItems);
  std::vector<uintptr_t> frame_slots(kSnapshotFrameSlots);
  const ThreadSnapshot snapshot =
      SnapshotThreadStack(context, *code_, *regions_, {items, frame_slots});
  items.resize(snapshot.count);
  state.stack_snapshot = std::move(items);
  state.stack_top = snapshot.top;
}

void ThreadStateCollector::Answer(uintptr_t request, const ucontext_t& context) {
  const size_t index = request & ((1u << kIndexBits) - 1);
  const uint64_t ticket = request >> kIndexBits;
  if (index >= kMaxThreads) return;
  Slot& slot = slots_[index];
  uint64_t expected = ticket << 2 | kAsked;
  if (!slot.state.compare_exchange_strong(expected, ticket << 2 | kWriting)) return;
  // A thread waiting in its fault's handling (on its alternate stack) left its own stack as it
  // was at the fault.
  const ucontext_t* const fault = FaultContextOfThisThread();
  const ucontext_t& where = fault != nullptr ? *fault : context;
  slot.faulted = fault != nullptr;
  slot.context = ProcessorContext::Of(where);
  slot.snapshot = {};
  if (slot.regions != nullptr) {
    slot.snapshot = SnapshotThreadStack(where, *code_, *slot.regions,
                                        {std::span(slot.items.get(), kSnapshotItems),
                                         std::span(slot.frame_slots.get(), kSnapshotFrameSlots)});
  }
  slot.state.store(ticket << 2 | kDone, std::memory_order_release);
}

std::vector<ThreadState> ThreadStateCollector::Collect(std::span<const pid_t> threads,
                                                       std::chrono::milliseconds limit) {
  std::lock_guard lock(collect_mutex_);
  if (code_ != nullptr) {
    // What the handlers read is made now: they may not allocate, nor take the loader's lock.
    code_->Refresh();
    regions_ = std::make_shared<const StackRegions>(StackRegions::OfThisProcess());
  }
  const pid_t self = CurrentThreadId();
  std::vector<ThreadState> states(threads.size());
  std::vector<uint64_t> tickets(threads.size(), 0);
  std::vector<size_t> slot_of(threads.size(), 0);
  size_t next_slot = 0;
  for (size_t i = 0; i < threads.size(); ++i) {
    states[i].id = threads[i];
    if (threads[i] == self) {
      AnswerForSelf(states[i]);
      continue;
    }
    while (next_slot < kMaxThreads && slots_[next_slot].retired) ++next_slot;
    if (next_slot >= kMaxThreads) continue;
    slot_of[i] = next_slot++;
    const uint64_t ticket = next_ticket_++;
    Slot& slot = slots_[slot_of[i]];
    slot.regions = regions_.get();
    if (slot.regions != nullptr && !slot.items) {
      slot.items.reset(new TPreStackItem[kSnapshotItems]);
      slot.frame_slots.reset(new uintptr_t[kSnapshotFrameSlots]);
    }
    slot.state.store(ticket << 2 | kAsked, std::memory_order_release);
    if (SendRequest(threads[i], slot_of[i] | ticket << kIndexBits)) {
      tickets[i] = ticket;
    } else {
      slot.state.store(0);
    }
  }

  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (size_t i = 0; i < threads.size(); ++i) {
    if (tickets[i] == 0) continue;
    Slot& slot = slots_[slot_of[i]];
    const uint64_t done = tickets[i] << 2 | kDone;
    while (slot.state.load(std::memory_order_acquire) != done &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    // Given up on: a handler that starts later finds its ticket gone. One that is writing
    // already is waited for, as it writes into the slot.
    uint64_t asked = tickets[i] << 2 | kAsked;
    if (slot.state.compare_exchange_strong(asked, 0)) continue;
    if (!AwaitWriting(slot, done)) {
      // Stopped in the middle of its answer: its slot is never used again, and the regions
      // it reads stay alive for it.
      slot.retired = true;
      if (regions_) new std::shared_ptr<const StackRegions>(regions_);
      continue;
    }
    states[i].answered = true;
    states[i].faulted = slot.faulted;
    states[i].context = slot.context;
    PlaceAfterRestartedSystemCall(states[i].context);
    states[i].stack_snapshot.assign(slot.items.get(), slot.items.get() + slot.snapshot.count);
    states[i].stack_top = slot.snapshot.top;
    slot.state.store(0);
  }
  return states;
}

}  // namespace userdb::crash
