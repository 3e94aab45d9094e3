#include "crash/capture/alternate_signal_stack.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

namespace userdb::crash {

AlternateSignalStack::AlternateSignalStack() {
  stack_t current;
  if (sigaltstack(nullptr, &current) != 0 || !(current.ss_flags & SS_DISABLE)) return;
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  // A guard page below it: an overflow of the handler itself faults instead of writing on.
  const size_t mapped = kSize + page;
  void* memory =
      mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (memory == MAP_FAILED) return;
  mprotect(memory, page, PROT_NONE);
  stack_t stack{};
  stack.ss_sp = static_cast<char*>(memory) + page;
  stack.ss_size = kSize;
  if (sigaltstack(&stack, nullptr) != 0) {
    munmap(memory, mapped);
    return;
  }
  memory_ = memory;
  mapped_ = mapped;
}

AlternateSignalStack::~AlternateSignalStack() {
  if (memory_ == nullptr) return;
  stack_t off{};
  off.ss_flags = SS_DISABLE;
  sigaltstack(&off, nullptr);
  munmap(memory_, mapped_);
}

}  // namespace userdb::crash
