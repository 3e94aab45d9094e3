#include "crash/capture/emergency_memory.h"

#include <sys/mman.h>

#include <cstring>

namespace userdb::crash {

void EmergencyMemory::Take() {
  std::lock_guard lock(mutex_);
  for (void*& range : reserved_) {
    if (range != nullptr) continue;
    void* memory =
        mmap(nullptr, kReservedSize, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    range = memory == MAP_FAILED ? nullptr : memory;
  }
  for (void*& block : committed_) {
    if (block != nullptr) continue;
    void* memory =
        mmap(nullptr, kCommittedSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) continue;
    // Committed by touching every page, then closed to any access.
    std::memset(memory, 0, kCommittedSize);
    mprotect(memory, kCommittedSize, PROT_NONE);
    block = memory;
  }
}

void EmergencyMemory::Release() {
  std::lock_guard lock(mutex_);
  for (void*& range : reserved_) {
    if (range != nullptr) munmap(range, kReservedSize);
    range = nullptr;
  }
  for (void*& block : committed_) {
    if (block != nullptr) munmap(block, kCommittedSize);
    block = nullptr;
  }
}

bool EmergencyMemory::Held() const {
  std::lock_guard lock(mutex_);
  for (void* block : committed_) {
    if (block == nullptr) return false;
  }
  return true;
}

}  // namespace userdb::crash
