#include "crash/capture/thread_states.h"

#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "crash/capture/stack_snapshot_hook.h"
#include "crash/capture/thread_registry.h"
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
  if (collector != nullptr && info->si_code == SI_QUEUE && info->si_pid == getpid()) {
    collector->Answer(reinterpret_cast<uintptr_t>(info->si_value.sival_ptr),
                      *static_cast<const ucontext_t*>(context));
  }
  handlers_running.fetch_sub(1);
  errno = saved_errno;
}

bool SendRequest(pid_t thread, uintptr_t request) {
  siginfo_t info;
  std::memset(&info, 0, sizeof info);
  info.si_signo = ThreadStateSignal();
  info.si_code = SI_QUEUE;
  info.si_pid = getpid();
  info.si_uid = getuid();
  info.si_value.sival_ptr = reinterpret_cast<void*>(request);
  return syscall(SYS_rt_tgsigqueueinfo, getpid(), thread, ThreadStateSignal(), &info) == 0;
}

}  // namespace

struct ThreadStateCollector::Slot {
  std::atomic<uint64_t> state{0};
  bool retired = false;
  ProcessorContext context;
  std::byte* snapshot = nullptr;
  size_t snapshot_capacity = 0;
  size_t snapshot_size = 0;
};

ThreadStateCollector::ThreadStateCollector() : slots_(new Slot[kMaxThreads]) {
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

void ThreadStateCollector::AnswerForSelf(ThreadState& state) {
  ucontext_t context;
  if (getcontext(&context) != 0) return;
  state.answered = true;
  state.context = ProcessorContext::Of(context);
  state.stack_snapshot.resize(
      SnapshotStack(context, state.stack_snapshot.data(), state.stack_snapshot.size()));
}

void ThreadStateCollector::Answer(uintptr_t request, const ucontext_t& context) {
  const size_t index = request & ((1u << kIndexBits) - 1);
  const uint64_t ticket = request >> kIndexBits;
  if (index >= kMaxThreads) return;
  Slot& slot = slots_[index];
  uint64_t expected = ticket << 2 | kAsked;
  if (!slot.state.compare_exchange_strong(expected, ticket << 2 | kWriting)) return;
  slot.context = ProcessorContext::Of(context);
  slot.snapshot_size =
      slot.snapshot != nullptr ? SnapshotStack(context, slot.snapshot, slot.snapshot_capacity) : 0;
  slot.state.store(ticket << 2 | kDone, std::memory_order_release);
}

std::vector<ThreadState> ThreadStateCollector::Collect(std::span<const pid_t> threads,
                                                       std::chrono::milliseconds limit,
                                                       size_t snapshot_capacity) {
  std::lock_guard lock(collect_mutex_);
  const pid_t self = CurrentThreadId();
  std::vector<ThreadState> states(threads.size());
  std::vector<uint64_t> tickets(threads.size(), 0);
  std::vector<size_t> slot_of(threads.size(), 0);
  size_t next_slot = 0;
  for (size_t i = 0; i < threads.size(); ++i) {
    states[i].id = threads[i];
    states[i].stack_snapshot.resize(snapshot_capacity);
    if (threads[i] == self) {
      AnswerForSelf(states[i]);
      continue;
    }
    while (next_slot < kMaxThreads && slots_[next_slot].retired) ++next_slot;
    if (next_slot >= kMaxThreads) continue;
    slot_of[i] = next_slot++;
    const uint64_t ticket = next_ticket_++;
    Slot& slot = slots_[slot_of[i]];
    slot.snapshot = snapshot_capacity != 0 ? states[i].stack_snapshot.data() : nullptr;
    slot.snapshot_capacity = snapshot_capacity;
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
    // already is waited for, as it writes into this call's buffers.
    uint64_t asked = tickets[i] << 2 | kAsked;
    if (slot.state.compare_exchange_strong(asked, 0)) continue;
    if (!AwaitWriting(slot, done)) {
      // Stopped in the middle of its answer: its buffer stays alive for it, and its slot is
      // never used again.
      slot.retired = true;
      new std::vector<std::byte>(std::move(states[i].stack_snapshot));
      continue;
    }
    states[i].answered = true;
    states[i].context = slot.context;
    states[i].stack_snapshot.resize(slot.snapshot_size);
    slot.state.store(0);
  }
  for (ThreadState& state : states) {
    if (!state.answered) state.stack_snapshot.clear();
  }
  return states;
}

}  // namespace userdb::crash
