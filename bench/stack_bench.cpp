// Costs of the stack snapshot, which runs inside a signal handler: SnapshotStack of a real
// 64 KB stack (frames of a recursion holding return addresses, pointers and numbers), and the
// call test of one value. The trace's own times come from bench/run-stack-bench, which runs
// programs to a crash.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <ucontext.h>

#include <array>
#include <cstdint>
#include <functional>

#include "crash/stack/readable_memory_map.h"
#include "crash/stack/stack_snapshot.h"

namespace {

using namespace userdb::crash;

constexpr size_t kFrameBytes = 128;
constexpr size_t kStackBytes = 64 * 1024;

uintptr_t OwnStackTop() {
  pthread_attr_t attributes;
  void* low = nullptr;
  size_t size = 0;
  pthread_getattr_np(pthread_self(), &attributes);
  pthread_attr_getstack(&attributes, &low, &size);
  pthread_attr_destroy(&attributes);
  return reinterpret_cast<uintptr_t>(low) + size;
}

// Recurses until the frames fill `bytes` of stack below `top`, each frame holding a mix of
// values as real frames do, and runs `work` at the bottom.
__attribute__((noinline)) void FillStack(uintptr_t top, size_t bytes,
                                         const std::function<void()>& work, int depth = 0) {
  volatile uintptr_t values[kFrameBytes / sizeof(uintptr_t) - 4];
  for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i) {
    switch (i % 4) {
      case 0:
        values[i] = reinterpret_cast<uintptr_t>(&values[i]);
        break;  // into the stack
      case 1:
        values[i] = reinterpret_cast<uintptr_t>(&FillStack) + i;
        break;  // into code
      case 2:
        values[i] = reinterpret_cast<uintptr_t>(&work);
        break;
      default:
        values[i] = static_cast<uintptr_t>(depth) * i;
        break;  // a number
    }
  }
  if (top - reinterpret_cast<uintptr_t>(&values[0]) < bytes) {
    FillStack(top, bytes, work, depth + 1);
  } else {
    work();
  }
  benchmark::DoNotOptimize(values[0]);
}

void BM_SnapshotStack64K(benchmark::State& state) {
  ExecutableRanges code;
  code.Refresh();
  static std::array<TPreStackItem, 8192> items;
  static std::array<uintptr_t, 2048> frame_slots;
  const uintptr_t top = OwnStackTop();
  size_t kept = 0, scanned = 0;
  FillStack(top, kStackBytes, [&] {
    ucontext_t context;
    getcontext(&context);
    SnapshotRequest request;
    request.registers = RegistersOf(context);
    request.registers.rip_is_return_address = true;
    request.top = top;
    scanned = top - request.registers.value[kDwarfRsp];
    for (auto _ : state) {
      kept = SnapshotStack(request, code, {items, frame_slots}).items.size();
      benchmark::DoNotOptimize(kept);
    }
  });
  state.counters["stack_kib"] = static_cast<double>(scanned) / 1024;
  state.counters["kept"] = static_cast<double>(kept);
}
BENCHMARK(BM_SnapshotStack64K)->Unit(benchmark::kMicrosecond);

void BM_IsAfterCall(benchmark::State& state) {
  const ReadableMemoryMap memory = ReadableMemoryMap::Take();
  const auto value = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
  for (auto _ : state) benchmark::DoNotOptimize(IsAfterCall(memory, value));
}
BENCHMARK(BM_IsAfterCall);

}  // namespace

BENCHMARK_MAIN();
