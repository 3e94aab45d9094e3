#include "crash/stack/unwind_walk.h"

namespace userdb::crash {
namespace {

// The rules of the last few code addresses met: a recursion repeats the same frames, and
// reading the rules from the tables costs more than the rest of a frame.
class RecentRules {
 public:
  // The entry and rules at `lookup`; false when no entry covers it or its program is damaged.
  bool At(uintptr_t lookup, const UnwindEntry*& entry, const FrameRules*& rules) {
    for (Slot& slot : slots_) {
      if (slot.used && slot.lookup == lookup) {
        entry = &slot.entry;
        rules = &slot.rules;
        return true;
      }
    }
    Slot& slot = slots_[next_++ % kSlots];
    slot.used = false;
    if (!FindUnwindEntry(lookup, slot.entry) || !RulesAt(slot.entry, lookup, slot.rules)) {
      return false;
    }
    slot.used = true;
    slot.lookup = lookup;
    entry = &slot.entry;
    rules = &slot.rules;
    return true;
  }

 private:
  static constexpr size_t kSlots = 4;
  struct Slot {
    bool used = false;
    uintptr_t lookup = 0;
    UnwindEntry entry;
    FrameRules rules;
  };
  Slot slots_[kSlots];
  size_t next_ = 0;
};

bool ComputeCfa(const FrameRules& rules, const UnwindRegisters& registers,
                const MemoryReader& stack, uintptr_t& cfa) {
  if (rules.cfa_by_expression) {
    return EvaluateExpression(rules.cfa_expression, rules.cfa_expression_end, registers, stack,
                              nullptr, cfa);
  }
  if (!registers.known[rules.cfa_register]) return false;
  cfa = registers.value[rules.cfa_register] + static_cast<uintptr_t>(rules.cfa_offset);
  return true;
}

// The caller's value of one register; `slot` is where it was saved, 0 when it was not read
// from memory.
bool Recover(const RegisterRule& rule, unsigned reg, uintptr_t cfa,
             const UnwindRegisters& registers, const MemoryReader& stack, uintptr_t& value,
             uintptr_t& slot) {
  slot = 0;
  switch (rule.kind) {
    case RuleKind::kUndefined:
      return false;
    case RuleKind::kSameValue:
      value = registers.value[reg];
      return registers.known[reg];
    case RuleKind::kOffset:
      slot = cfa + static_cast<uintptr_t>(rule.offset);
      return stack.ReadValue(slot, value);
    case RuleKind::kValueOffset:
      value = cfa + static_cast<uintptr_t>(rule.offset);
      return true;
    case RuleKind::kRegister:
      value = registers.value[rule.other];
      return registers.known[rule.other];
    case RuleKind::kExpression: {
      uintptr_t address;
      if (!EvaluateExpression(rule.expression, rule.expression_end, registers, stack, &cfa,
                              address)) {
        return false;
      }
      return stack.ReadValue(address, value);
    }
    case RuleKind::kValueExpression:
      return EvaluateExpression(rule.expression, rule.expression_end, registers, stack, &cfa,
                                value);
  }
  return false;
}

}  // namespace

size_t CollectUnwindSlots(const MemoryReader& stack, const UnwindRegisters& start, uintptr_t bottom,
                          uintptr_t top, uintptr_t* slots, size_t capacity) {
  UnwindRegisters registers = start;
  if (!registers.known[kDwarfReturnAddress] || !registers.known[kDwarfRsp]) return 0;
  size_t count = 0;
  // The address of an interrupted instruction, in the first frame or after a signal frame,
  // is looked up as it is; a return address one byte before, inside its call.
  bool exact_pc = !start.rip_is_return_address;
  RecentRules recent;
  while (count < capacity) {
    const uintptr_t pc = registers.value[kDwarfReturnAddress];
    const uintptr_t lookup = exact_pc ? pc : pc - 1;
    const UnwindEntry* found_entry = nullptr;
    const FrameRules* found_rules = nullptr;
    if (pc == 0 || !recent.At(lookup, found_entry, found_rules)) break;
    const UnwindEntry& entry = *found_entry;
    const FrameRules& rules = *found_rules;
    if (entry.return_column != kDwarfReturnAddress) break;
    uintptr_t cfa;
    if (!ComputeCfa(rules, registers, stack, cfa)) break;
    if (cfa <= registers.value[kDwarfRsp] || cfa > top) break;

    UnwindRegisters caller;
    uintptr_t return_slot = 0;
    for (unsigned reg = 0; reg < kDwarfRegisterCount; ++reg) {
      uintptr_t value, slot;
      if (reg == kDwarfRsp) continue;
      if (Recover(rules.registers[reg], reg, cfa, registers, stack, value, slot)) {
        caller.Set(reg, value);
        if (reg == kDwarfReturnAddress) return_slot = slot;
      }
    }
    caller.Set(kDwarfRsp, cfa);
    if (!caller.known[kDwarfReturnAddress]) break;  // the outermost frame
    if (return_slot != 0 && rules.registers[kDwarfReturnAddress].kind == RuleKind::kOffset &&
        return_slot >= bottom && return_slot < top) {
      slots[count++] = return_slot;
    }
    exact_pc = entry.signal_frame;
    registers = caller;
  }
  return count;
}

}  // namespace userdb::crash
