#include "crash/capture/stack_snapshot_hook.h"

#include <pthread.h>

#include "crash/stack/readable_memory_map.h"

namespace userdb::crash {

StackRegions StackRegions::OfThisProcess() {
  return StackRegions(ReadableMappings());
}

uintptr_t StackRegions::TopOf(uintptr_t stack_pointer, uintptr_t thread_control_block) const {
  return StackTopIn(regions_, stack_pointer, thread_control_block);
}

uintptr_t StackTopIn(std::span<const AddressRange> regions, uintptr_t stack_pointer,
                     uintptr_t thread_control_block) {
  size_t low = 0, high = regions.size();
  while (low < high) {  // the first region starting above the stack pointer
    const size_t middle = low + (high - low) / 2;
    if (regions[middle].start <= stack_pointer) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low == 0 || stack_pointer >= regions[low - 1].end) return 0;
  uintptr_t top = regions[low - 1].end;
  if (stack_pointer < thread_control_block && thread_control_block < top) {
    top = thread_control_block;
  }
  if (top - stack_pointer > StackRegions::kMostStackBytes) {
    top = stack_pointer + StackRegions::kMostStackBytes;
  }
  return top;
}

ThreadSnapshot SnapshotThreadStack(const ucontext_t& context, const ExecutableRanges& code,
                                   const StackRegions& regions, SnapshotRoom room) {
  SnapshotRequest request;
  request.registers = RegistersOf(context);
  // pthread_self only reads the thread pointer register: it is safe here.
  const uintptr_t control_block = reinterpret_cast<uintptr_t>(pthread_self());
  request.top = regions.TopOf(request.registers.value[kDwarfRsp], control_block);
  if (request.top == 0) return {};
  return {SnapshotStack(request, code, room).items.size(), request.top};
}

}  // namespace userdb::crash
