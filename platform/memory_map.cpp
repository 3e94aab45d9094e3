#include "platform/memory_map.h"

#include <sys/uio.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>

namespace userdb::platform {

namespace {

// The first region of the list that ends above `address`: the one holding it, or else the
// lowest one above it (the kernel lists regions in ascending order).
std::optional<MemoryRegion> FirstRegionEndingAbove(uintptr_t address) {
  std::unique_ptr<FILE, decltype(&std::fclose)> maps(std::fopen("/proc/self/maps", "re"),
                                                     &std::fclose);
  if (!maps) return std::nullopt;
  char line[4096 + 128];
  while (std::fgets(line, sizeof line, maps.get()) != nullptr) {
    uintptr_t start = 0, end = 0;
    char permissions[8] = {};
    int name_at = 0;
    if (std::sscanf(line, "%" SCNxPTR "-%" SCNxPTR " %7s %*s %*s %*s %n", &start, &end, permissions,
                    &name_at) < 3) {
      continue;
    }
    if (address >= end) continue;
    MemoryRegion region;
    region.start = start;
    region.end = end;
    region.readable = permissions[0] == 'r';
    region.name = line + name_at;
    while (!region.name.empty() && (region.name.back() == '\n' || region.name.back() == ' ')) {
      region.name.pop_back();
    }
    return region;
  }
  return std::nullopt;
}

}  // namespace

std::optional<MemoryRegion> MemoryRegionHolding(uintptr_t address) {
  std::optional<MemoryRegion> region = FirstRegionEndingAbove(address);
  if (region && region->start > address) return std::nullopt;
  return region;
}

std::optional<MemoryRegion> MemoryRegionAtOrAbove(uintptr_t address) {
  return FirstRegionEndingAbove(address);
}

size_t ReadOwnMemory(uintptr_t address, void* buffer, size_t length) {
  iovec local{buffer, length};
  iovec remote{reinterpret_cast<void*>(address), length};
  const ssize_t copied = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
  return copied > 0 ? static_cast<size_t>(copied) : 0;
}

}  // namespace userdb::platform
