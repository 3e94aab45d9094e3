#include "tests/crash/stack/allocation_counter.h"

#include <cstdlib>
#include <new>

namespace {

thread_local size_t allocations_of_thread = 0;

}  // namespace

void* operator new(size_t size) {
  ++allocations_of_thread;
  if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, size_t) noexcept {
  std::free(memory);
}

namespace userdb::crash::test {

size_t AllocationsOfThread() {
  return allocations_of_thread;
}

}  // namespace userdb::crash::test
