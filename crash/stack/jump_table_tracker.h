// Following the few instructions of one code area that lead to a jump table or to a call
// through a register whose value the code itself sets: what is known of the registers, and
// the bound of the last compare before a conditional jump.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "crash/stack/instruction_decoder.h"

namespace userdb::crash::detail {

struct JumpTable {
  uintptr_t address = 0;
  size_t entries = 0;
  bool relative = false;  // 4-byte offsets from the table's address, else 8-byte addresses

  size_t EntrySize() const { return relative ? 4 : 8; }
};

class JumpTableTracker {
 public:
  // Takes in the instruction, which follows the one observed before it in the area.
  void Observe(const Instruction& instruction, const MemoryReader& memory);

  // The table an indirect jump goes through, when the code before it shows one and its bound.
  std::optional<JumpTable> TableOf(const Instruction& jump) const;
  // The target of "call reg" or "jmp reg" when the area set the register to a known address.
  std::optional<uintptr_t> KnownTarget(const Instruction& jump) const;

 private:
  enum class FactKind : uint8_t { kAddress, kTableEntry, kTableTarget };
  struct Fact {
    uint16_t reg = 0;
    FactKind kind = FactKind::kAddress;
    uintptr_t value = 0;  // the address, or the table's address
  };

  const Fact* FactOf(uint16_t reg) const;
  void Set(uint16_t reg, FactKind kind, uintptr_t value);
  void Forget(uint16_t reg);

  std::vector<Fact> facts_;
  std::optional<int64_t> pending_compare_;  // the immediate of the compare just observed
  std::optional<size_t> bound_;             // entries of the table the last bound check allows
};

}  // namespace userdb::crash::detail
