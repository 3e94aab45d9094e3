#include "crash/capture/throw_record.h"

#include <dlfcn.h>
#include <pthread.h>
#include <ucontext.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>

namespace userdb::crash {

namespace {

using ThrowFunction = void (*)(void*, void*, void (*)(void*));

std::atomic<bool> recording{false};
std::atomic<ThrowFunction> real_throw{nullptr};

struct ThreadThrowState {
  const void* object = nullptr;
  const std::type_info* type = nullptr;
  uintptr_t raise_address = 0;
  ProcessorContext context;
  uintptr_t stack_bottom = 0;
  size_t stack_size = 0;
  std::array<std::byte, kThrowStackCapacity> stack;
};

// The top (highest address, excluded) of the calling thread's stack; 0 when not known.
uintptr_t StackTopOfThisThread() {
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return 0;
  void* lowest = nullptr;
  size_t size = 0;
  const int result = pthread_attr_getstack(&attributes, &lowest, &size);
  pthread_attr_destroy(&attributes);
  return result == 0 ? reinterpret_cast<uintptr_t>(lowest) + size : 0;
}

// Found at a thread's first throw: the main thread's costs a read of the memory map.
thread_local uintptr_t stack_top = 0;

// Made at a thread's first throw and kept for its life: a throw allocates nothing else.
thread_local std::unique_ptr<ThreadThrowState> thread_state;

// `frame`: the frame of the interposed __cxa_throw, which keeps a frame pointer: its first
// slot holds the raising code's frame pointer, its second the return address into it.
__attribute__((noinline)) void RecordThrow(const void* object, const std::type_info* type,
                                           uintptr_t const* frame) {
  if (!thread_state) thread_state = std::make_unique<ThreadThrowState>();
  ThreadThrowState& state = *thread_state;
  ucontext_t context;
  if (getcontext(&context) != 0) return;
  context.uc_mcontext.gregs[REG_RIP] = static_cast<greg_t>(frame[1]);
  context.uc_mcontext.gregs[REG_RSP] = static_cast<greg_t>(reinterpret_cast<uintptr_t>(frame + 2));
  context.uc_mcontext.gregs[REG_RBP] = static_cast<greg_t>(frame[0]);
  state.object = object;
  state.type = type;
  state.raise_address = frame[1];
  state.context = ProcessorContext::Of(context);
  if (stack_top == 0) stack_top = StackTopOfThisThread();
  const uintptr_t bottom = reinterpret_cast<uintptr_t>(frame + 2);
  state.stack_bottom = bottom;
  state.stack_size =
      bottom < stack_top ? std::min<size_t>(stack_top - bottom, kThrowStackCapacity) : 0;
  std::memcpy(state.stack.data(), frame + 2, state.stack_size);
}

ThrowFunction RealThrow() {
  ThrowFunction function = real_throw.load(std::memory_order_acquire);
  if (function == nullptr) {
    function = reinterpret_cast<ThrowFunction>(dlsym(RTLD_NEXT, "__cxa_throw"));
    real_throw.store(function, std::memory_order_release);
  }
  return function;
}

}  // namespace

ThrowRecording::ThrowRecording() {
  RealThrow();  // resolved now, so that the first throw takes no loader lock
  recording.store(true);
}

ThrowRecording::~ThrowRecording() {
  recording.store(false);
}

std::optional<ThrowRecord> LastThrowOfThisThread(const void* object) {
  if (!thread_state || object == nullptr || thread_state->object != object) return std::nullopt;
  const ThreadThrowState& state = *thread_state;
  ThrowRecord record;
  record.object = state.object;
  record.type = state.type;
  record.raise_address = state.raise_address;
  record.context = state.context;
  record.stack.bottom = state.stack_bottom;
  record.stack.bytes.assign(state.stack.begin(),
                            state.stack.begin() + static_cast<long>(state.stack_size));
  return record;
}

void ClearLastThrowOfThisThread() {
  if (thread_state) thread_state->object = nullptr;
}

}  // namespace userdb::crash

// The interposed throw; see the header. It keeps a frame pointer, which the record reads.
// (The compiler's own declaration takes the type as void*.)
extern "C" __attribute__((visibility("default"), noreturn, optimize("no-omit-frame-pointer"))) void
__cxa_throw(void* object, void* type, void (*destructor)(void*)) {
  if (userdb::crash::recording.load(std::memory_order_relaxed)) {
    userdb::crash::RecordThrow(object, static_cast<const std::type_info*>(type),
                               static_cast<uintptr_t const*>(__builtin_frame_address(0)));
  }
  userdb::crash::RealThrow()(object, type, destructor);
  __builtin_unreachable();
}
