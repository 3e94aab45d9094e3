#include "crash/stack/memory_reader.h"

#include <sys/uio.h>
#include <unistd.h>

#include <cstring>

namespace userdb::crash {

bool KernelMemoryReader::Read(uintptr_t address, void* out, size_t count) const {
  if (address == 0) return false;
  if (count == 0) return true;
  if (address + count < address) return false;
  iovec local{out, count};
  iovec remote{reinterpret_cast<void*>(address), count};
  return process_vm_readv(getpid(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(count);
}

__attribute__((no_sanitize("address", "hwaddress"))) void CopyKnownReadable(void* out,
                                                                            uintptr_t address,
                                                                            size_t count) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_HWADDRESS__)
  std::memcpy(out, reinterpret_cast<const void*>(address), count);
#else
  // Through volatile, without memcpy, which the sanitizers intercept; whole words where both
  // sides are aligned, as stack slots are.
  constexpr size_t kWord = sizeof(uintptr_t);
  size_t i = 0;
  if (((address | reinterpret_cast<uintptr_t>(out)) % kWord) == 0) {
    auto* to = static_cast<volatile uintptr_t*>(out);
    const auto* from = reinterpret_cast<const volatile uintptr_t*>(address);
    for (; i + kWord <= count; i += kWord) to[i / kWord] = from[i / kWord];
  }
  auto* to = static_cast<volatile unsigned char*>(out);
  const auto* from = reinterpret_cast<const volatile unsigned char*>(address);
  for (; i < count; ++i) to[i] = from[i];
#endif
}

}  // namespace userdb::crash
