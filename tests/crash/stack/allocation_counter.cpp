#include "tests/crash/stack/allocation_counter.h"

#include <cstdlib>
#include <new>

// Every form of operator new and delete but the aligned ones is replaced, so that each
// allocation counted here is also released here.
namespace {

thread_local size_t allocations_of_thread = 0;

void* Allocate(size_t size) noexcept {
  ++allocations_of_thread;
  return std::malloc(size != 0 ? size : 1);
}

void* AllocateOrThrow(size_t size) {
  if (void* memory = Allocate(size)) return memory;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(size_t size) {
  return AllocateOrThrow(size);
}
void* operator new[](size_t size) {
  return AllocateOrThrow(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete[](void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, size_t) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, size_t) noexcept {
  std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}

namespace userdb::crash::test {

size_t AllocationsOfThread() {
  return allocations_of_thread;
}

}  // namespace userdb::crash::test
