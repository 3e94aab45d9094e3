// The memory regions of this process, as the kernel lists them in /proc/self/maps.
#pragma once

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

}  // namespace userdb::platform
