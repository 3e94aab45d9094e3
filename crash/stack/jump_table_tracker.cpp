#include "crash/stack/jump_table_tracker.h"

#include <algorithm>

namespace userdb::crash::detail {
namespace {

constexpr size_t kLargestTable = 4096;

bool JumpsIfAbove(uint16_t opcode) {  // ja, jg: the table has n + 1 entries
  return opcode == 0x77 || opcode == 0x7F || opcode == 0x0F87 || opcode == 0x0F8F;
}

bool JumpsIfAboveOrEqual(uint16_t opcode) {  // jae, jge: n entries
  return opcode == 0x73 || opcode == 0x7D || opcode == 0x0F83 || opcode == 0x0F8D;
}

// "cmp reg, imm": 0x83 /7 with an 8-bit immediate, or 0x81 /7 with a 32-bit one (gcc's bound
// of a table of more than 128 entries).
bool ComparesRegisterWithImmediate(const Instruction& instruction) {
  return instruction.operation == Operation::kCompare && instruction.has_immediate &&
         !instruction.memory.present &&
         (instruction.opcode == 0x83 || instruction.opcode == 0x81) &&
         ((instruction.modrm >> 3) & 7) == 7;
}

}  // namespace

const JumpTableTracker::Fact* JumpTableTracker::FactOf(uint16_t reg) const {
  if (reg == 0) return nullptr;
  for (const Fact& fact : facts_) {
    if (fact.reg == reg) return &fact;
  }
  return nullptr;
}

void JumpTableTracker::Forget(uint16_t reg) {
  std::erase_if(facts_, [reg](const Fact& fact) { return fact.reg == reg; });
}

void JumpTableTracker::Set(uint16_t reg, FactKind kind, uintptr_t value) {
  Forget(reg);
  facts_.push_back({reg, kind, value});
}

void JumpTableTracker::Observe(const Instruction& instruction, const MemoryReader& memory) {
  if (pending_compare_ && instruction.flow == FlowKind::kConditionalJump) {
    const int64_t n = *pending_compare_;
    if (n >= 0 && static_cast<uint64_t>(n) < kLargestTable) {
      if (JumpsIfAbove(instruction.opcode)) bound_ = static_cast<size_t>(n) + 1;
      if (JumpsIfAboveOrEqual(instruction.opcode)) bound_ = static_cast<size_t>(n);
    }
  }
  pending_compare_.reset();
  if (ComparesRegisterWithImmediate(instruction)) pending_compare_ = instruction.immediate;

  if (instruction.flow == FlowKind::kCall) {
    facts_.clear();  // a call leaves the caller-saved registers undefined
    return;
  }
  const uint16_t written = instruction.written_register;
  if (written == 0) return;
  const MemoryOperand& m = instruction.memory;
  if (instruction.operation == Operation::kLoadAddress && m.present && m.rip_relative) {
    Set(written, FactKind::kAddress, m.address);
  } else if (instruction.operation == Operation::kMove && m.present && m.rip_relative &&
             m.size == sizeof(uintptr_t)) {
    uintptr_t value;
    if (memory.ReadValue(m.address, value)) {
      Set(written, FactKind::kAddress, value);
    } else {
      Forget(written);
    }
  } else if (instruction.operation == Operation::kSignExtendLoad && m.present && m.scale == 4 &&
             m.index != 0 && FactOf(m.base) && FactOf(m.base)->kind == FactKind::kAddress) {
    Set(written, FactKind::kTableEntry, FactOf(m.base)->value);
  } else if (instruction.operation == Operation::kAdd && !m.present && FactOf(written) &&
             FactOf(written)->kind == FactKind::kTableEntry &&
             FactOf(instruction.source_register) &&
             FactOf(instruction.source_register)->kind == FactKind::kAddress &&
             FactOf(instruction.source_register)->value == FactOf(written)->value) {
    Set(written, FactKind::kTableTarget, FactOf(written)->value);
  } else {
    Forget(written);
  }
}

std::optional<JumpTable> JumpTableTracker::TableOf(const Instruction& jump) const {
  if (!bound_ || *bound_ == 0 || jump.flow != FlowKind::kJump || jump.has_target) {
    return std::nullopt;
  }
  if (const Fact* fact = FactOf(jump.target_register);
      fact != nullptr && fact->kind == FactKind::kTableTarget) {
    return JumpTable{fact->value, *bound_, true};
  }
  const MemoryOperand& m = jump.memory;
  if (m.present && m.index != 0 && m.scale == 8 && !m.rip_relative) {
    if (m.base == 0) return JumpTable{static_cast<uintptr_t>(m.displacement), *bound_, false};
    if (const Fact* fact = FactOf(m.base); fact != nullptr && fact->kind == FactKind::kAddress) {
      return JumpTable{fact->value + static_cast<uintptr_t>(m.displacement), *bound_, false};
    }
  }
  return std::nullopt;
}

std::optional<uintptr_t> JumpTableTracker::KnownTarget(const Instruction& jump) const {
  const Fact* fact = FactOf(jump.target_register);
  if (fact == nullptr || fact->kind != FactKind::kAddress) return std::nullopt;
  return fact->value;
}

}  // namespace userdb::crash::detail
