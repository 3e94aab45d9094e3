// Reading the process's own memory without ever faulting: a read of memory that is not
// mapped, or not readable, reports failure instead.
#pragma once

#include <cstddef>
#include <cstdint>

namespace userdb::crash {

class MemoryReader {
 public:
  // Copies `count` bytes from `address` to `out`; true only when every byte was copied. A
  // null address always fails.
  virtual bool Read(uintptr_t address, void* out, size_t count) const = 0;

  template <typename T>
  bool ReadValue(uintptr_t address, T& value) const {
    return Read(address, &value, sizeof value);
  }

 protected:
  ~MemoryReader() = default;
};

// Reads through the kernel (process_vm_readv on the own process), which checks every page.
// Safe inside a signal handler: one system call, no allocation, no lock.
class KernelMemoryReader final : public MemoryReader {
 public:
  bool Read(uintptr_t address, void* out, size_t count) const override;
};

// Copies memory that is known to be readable, in place, without the sanitizers' checks: a
// stack is read whole, red zones of other frames included. As fast as memcpy where no
// sanitizer watches (a throw pays for it). Safe inside a signal handler.
void CopyKnownReadable(void* out, uintptr_t address, size_t count);

}  // namespace userdb::crash
