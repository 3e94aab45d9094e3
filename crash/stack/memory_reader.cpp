#include "crash/stack/memory_reader.h"

#include <sys/uio.h>
#include <unistd.h>

namespace userdb::crash {

bool KernelMemoryReader::Read(uintptr_t address, void* out, size_t count) const {
  if (address == 0) return false;
  if (count == 0) return true;
  if (address + count < address) return false;
  iovec local{out, count};
  iovec remote{reinterpret_cast<void*>(address), count};
  return process_vm_readv(getpid(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(count);
}

}  // namespace userdb::crash
