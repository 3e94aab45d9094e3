// The memory regions of this process, as the kernel lists them in /proc/self/maps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace userdb::platform {

struct MemoryRegion {
  uintptr_t start = 0;
  uintptr_t end = 0;  // excluded
  bool readable = false;
  std::string name;  // the mapped file, "[stack]", ...; empty for anonymous memory
};

// The region holding `address`; none when no region does or the list cannot be read.
std::optional<MemoryRegion> MemoryRegionHolding(uintptr_t address);

// The region holding `address`, or else the lowest one above it; none when there is none or
// the list cannot be read.
std::optional<MemoryRegion> MemoryRegionAtOrAbove(uintptr_t address);

// Copies up to `length` bytes of this process's memory from `address` through the kernel, so
// that memory that is not readable (or guarded by a sanitizer) fails the read instead of the
// program; tells how many bytes were copied, up to the first that could not be read.
size_t ReadOwnMemory(uintptr_t address, void* buffer, size_t length);

}  // namespace userdb::platform
