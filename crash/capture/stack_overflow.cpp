#include "crash/capture/stack_overflow.h"

namespace userdb::crash {

std::optional<platform::MemoryRegion> StackAboveGuard(uintptr_t address) {
  const auto holding = platform::MemoryRegionHolding(address);
  if (holding && holding->readable) return std::nullopt;
  // The guard area is a region of its own that cannot be read, or no region at all.
  auto above = platform::MemoryRegionAtOrAbove(holding ? holding->end : address);
  if (!above || !above->readable || above->start - address > kStackGuardReach) return std::nullopt;
  return above;
}

bool IsStackOverflow(uintptr_t fault_address, uintptr_t stack_pointer) {
  if (fault_address == 0 || stack_pointer == 0) return false;
  if (fault_address + kOverflowFrameReach < stack_pointer ||
      fault_address > stack_pointer + kOverflowFrameReach) {
    return false;
  }
  const auto stack = StackAboveGuard(fault_address);
  return stack && stack_pointer < stack->end;
}

}  // namespace userdb::crash
