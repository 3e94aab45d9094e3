// The threads that are handling a fatal signal of their own, with their registers at the
// fault. Such a thread never goes on: a report shows it where it faulted (its stack stays as
// it was while it waits on its alternate signal stack), whether or not it answers a request
// for its state in time.
//
// Record is async-signal-safe; ContextOf is not needed there.
#pragma once

#include <sys/types.h>

#include <array>
#include <atomic>
#include <optional>

#include "crash/capture/processor_context.h"

namespace userdb::crash {

class FaultRegistry {
 public:
  static constexpr size_t kCapacity = 32;  // faults beyond it are shown as their threads answer

  void Record(pid_t thread, const ProcessorContext& context);
  std::optional<ProcessorContext> ContextOf(pid_t thread) const;

 private:
  struct Entry {
    std::atomic<pid_t> thread{0};
    std::atomic<bool> written{false};
    ProcessorContext context;
  };
  std::array<Entry, kCapacity> entries_;
};

}  // namespace userdb::crash
