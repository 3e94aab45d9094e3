#include "crash/capture/fault_registry.h"

namespace userdb::crash {

void FaultRegistry::Record(pid_t thread, const ProcessorContext& context) {
  for (Entry& entry : entries_) {
    pid_t free = 0;
    if (!entry.thread.compare_exchange_strong(free, thread)) continue;
    entry.context = context;
    entry.written.store(true, std::memory_order_release);
    return;
  }
}

std::optional<ProcessorContext> FaultRegistry::ContextOf(pid_t thread) const {
  for (const Entry& entry : entries_) {
    if (entry.thread.load() == thread && entry.written.load(std::memory_order_acquire)) {
      return entry.context;
    }
  }
  return std::nullopt;
}

}  // namespace userdb::crash
