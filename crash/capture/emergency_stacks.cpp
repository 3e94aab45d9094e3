#include "crash/capture/emergency_stacks.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>

#include "crash/capture/fatal_signals.h"
#include "crash/capture/stack_snapshot_hook.h"
#include "crash/stack/memory_reader.h"
#include "crash/stack/readable_memory_map.h"
#include "crash/stack/stack_snapshot.h"
#include "platform/signal_action.h"

namespace userdb::crash {

namespace {

constexpr unsigned kIndexBits = 16;
static_assert(EmergencyStacks::kMaxThreads <= (1u << kIndexBits));
constexpr uint64_t kAsked = 1, kWriting = 2, kDone = 3;  // below the ticket, shifted by 2
constexpr size_t kFrameRoom = sizeof(EmergencyThread::frames) / sizeof(uintptr_t);

std::atomic<EmergencyStacks*> installed_stacks{nullptr};

int EmergencySignal() {
  return SIGRTMIN + kEmergencyStackSignalOffset;
}

void OnEmergencySignal(int, siginfo_t* info, void* context) {
  const int saved_errno = errno;
  EmergencyStacks* const stacks = installed_stacks.load();
  if (stacks != nullptr && platform::QueuedByThisProcess(*info)) {
    stacks->Answer(reinterpret_cast<uintptr_t>(info->si_value.sival_ptr),
                   *static_cast<const ucontext_t*>(context));
  }
  errno = saved_errno;
}

std::atomic_ref<uint64_t> StateOf(EmergencyThread& thread) {
  return std::atomic_ref<uint64_t>(thread.state);
}

int64_t MonotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void SleepAMillisecond() {
  const timespec pause{0, 1000000};
  nanosleep(&pause, nullptr);
}

// The threads of the process as the kernel lists them, one call of `visit` each.
template <typename Visit>
void ForEachThread(Visit visit) {
  const int fd = open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  alignas(8) char entries[4096];
  for (;;) {
    const long got = syscall(SYS_getdents64, fd, entries, sizeof entries);
    if (got <= 0) break;
    for (long at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
      at += entry->d_reclen;
      pid_t id = 0;
      const char* digit = entry->d_name;
      for (; *digit >= '0' && *digit <= '9'; ++digit) id = id * 10 + (*digit - '0');
      if (*digit == '\0' && id > 0) visit(id);
    }
  }
  close(fd);
}

}  // namespace

EmergencyStacks::EmergencyStacks() {
  // Reserved only: no page is used before an emergency.
  const size_t size = kMaxThreads * sizeof(EmergencyThread) + kMaxRegions * sizeof(AddressRange);
  void* room = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (room == MAP_FAILED) return;
  threads_ = static_cast<EmergencyThread*>(room);
  regions_ = reinterpret_cast<AddressRange*>(static_cast<char*>(room) +
                                             kMaxThreads * sizeof(EmergencyThread));
  installed_stacks.store(this);
  platform::InstallSignalHandler(EmergencySignal(), &OnEmergencySignal);
}

EmergencyStacks::~EmergencyStacks() {
  if (threads_ == nullptr) return;
  platform::IgnoreSignal(EmergencySignal());
  installed_stacks.store(nullptr);
  munmap(threads_, kMaxThreads * sizeof(EmergencyThread) + kMaxRegions * sizeof(AddressRange));
}

void EmergencyStacks::ReadStackRegions() {
  region_count_ = 0;
  const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  char text[8192];
  size_t kept = 0;  // the start of a line that the last read did not end
  for (;;) {
    const ssize_t got = read(fd, text + kept, sizeof text - kept);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    const size_t size = kept + static_cast<size_t>(got);
    size_t start = 0;
    for (size_t end = 0; end < size; ++end) {
      if (text[end] != '\n') continue;
      uintptr_t low = 0, high = 0;
      bool readable = false;
      if (ParseMapsLine(std::string_view(text + start, end - start), low, high, readable) &&
          readable && region_count_ < kMaxRegions) {
        regions_[region_count_++] = {low, high};
      }
      start = end + 1;
    }
    // A line longer than the room (a long path) is passed over up to its end.
    kept = start == 0 && size == sizeof text ? 0 : size - start;
    std::memmove(text, text + start, kept);
  }
  close(fd);
}

void EmergencyStacks::Walk(const ucontext_t& context, EmergencyThread& thread) const {
  thread.context = ProcessorContext::Of(context);
  const UnwindRegisters registers = RegistersOf(context);
  const uintptr_t bottom = registers.value[kDwarfRsp];
  // pthread_self only reads the thread pointer register: it is safe here.
  const uintptr_t top = StackTopIn(std::span(regions_, region_count_), bottom,
                                   reinterpret_cast<uintptr_t>(pthread_self()));
  thread.frame_count = 0;
  if (top == 0) return;
  const KernelMemoryReader stack;
  const size_t slots =
      CollectFrameSlots(registers, bottom, top, stack, std::span(thread.frames, kFrameRoom));
  for (size_t i = 0; i < slots; ++i) {
    uintptr_t value = 0;
    if (stack.ReadValue(thread.frames[i], value)) thread.frames[thread.frame_count++] = value;
  }
}

void EmergencyStacks::Answer(uintptr_t request, const ucontext_t& context) {
  const size_t index = request & ((1u << kIndexBits) - 1);
  const uint64_t ticket = request >> kIndexBits;
  if (threads_ == nullptr || index >= kMaxThreads) return;
  EmergencyThread& thread = threads_[index];
  uint64_t expected = ticket << 2 | kAsked;
  if (!StateOf(thread).compare_exchange_strong(expected, ticket << 2 | kWriting)) return;
  // A thread waiting in the handling of its own fault answers from there.
  const ucontext_t* const fault = FaultContextOfThisThread();
  thread.faulted = fault != nullptr;
  Walk(fault != nullptr ? *fault : context, thread);
  thread.answered = true;
  StateOf(thread).store(ticket << 2 | kDone, std::memory_order_release);
}

std::span<EmergencyThread> EmergencyStacks::Collect(const ucontext_t& own) {
  if (threads_ == nullptr) return {};
  ReadStackRegions();
  const uint64_t ticket = ++ticket_;
  const auto self = static_cast<pid_t>(syscall(SYS_gettid));
  const auto reset = [this](size_t index, pid_t id) -> EmergencyThread& {
    EmergencyThread& thread = threads_[index];
    StateOf(thread).store(0);
    thread.id = id;
    thread.answered = false;
    thread.faulted = false;
    thread.frame_count = 0;
    return thread;
  };
  EmergencyThread& first = reset(0, self);
  first.faulted = true;
  Walk(own, first);
  first.answered = true;
  size_t count = 1;
  ForEachThread([&](pid_t id) {
    if (id == self || count >= kMaxThreads) return;
    EmergencyThread& thread = reset(count, id);
    StateOf(thread).store(ticket << 2 | kAsked);
    if (!platform::QueueSignalToThread(id, EmergencySignal(), count | ticket << kIndexBits)) {
      StateOf(thread).store(0);
    }
    ++count;
  });

  const int64_t end = MonotonicMilliseconds() + kAnswerLimit.count();
  for (size_t i = 1; i < count; ++i) {
    EmergencyThread& thread = threads_[i];
    while (StateOf(thread).load(std::memory_order_acquire) == (ticket << 2 | kAsked) &&
           MonotonicMilliseconds() < end) {
      SleepAMillisecond();
    }
    // Given up on: a handler that starts later finds its ticket gone. One that writes already
    // finishes in microseconds, unless its thread was stopped.
    uint64_t asked = ticket << 2 | kAsked;
    if (StateOf(thread).compare_exchange_strong(asked, 0)) continue;
    const int64_t writing_end = MonotonicMilliseconds() + 100;
    while (StateOf(thread).load(std::memory_order_acquire) != (ticket << 2 | kDone) &&
           MonotonicMilliseconds() < writing_end) {
      SleepAMillisecond();
    }
    if (StateOf(thread).load(std::memory_order_acquire) != (ticket << 2 | kDone)) {
      thread.answered = false;
    }
  }
  return {threads_, count};
}

}  // namespace userdb::crash
