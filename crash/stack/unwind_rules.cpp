#include "crash/stack/unwind_rules.h"

#include "crash/stack/dwarf_cursor.h"

namespace userdb::crash {
namespace {

using detail::DwarfCursor;

constexpr size_t kRememberDepth = 4;  // gcc nests one level; hand-written code rarely more
constexpr size_t kExpressionDepth = 16;

FrameRules InitialRules() {
  FrameRules rules;
  // The System V ABI's callee-saved registers keep their values unless a rule says otherwise.
  for (unsigned reg : {3u, 6u, 12u, 13u, 14u, 15u})
    rules.registers[reg].kind = RuleKind::kSameValue;
  return rules;
}

class ProgramRunner {
 public:
  ProgramRunner(const UnwindEntry& entry, uintptr_t pc) : entry_(entry), pc_(pc) {}

  // Runs the program until the location passes pc; false for a damaged program.
  bool Run(uintptr_t begin, uintptr_t end, FrameRules& rules) {
    DwarfCursor cursor(begin, end);
    while (!cursor.AtEnd()) {
      if (location_ > pc_) return true;
      if (!Step(cursor, rules)) return false;
    }
    return !cursor.Failed();
  }

  void MarkInitial(const FrameRules& rules) { initial_ = rules; }
  void StartAt(uintptr_t location) { location_ = location; }

 private:
  bool Advance(uint64_t delta) {
    location_ += delta * entry_.code_alignment;
    return true;
  }

  static bool ValidRegister(uint64_t reg) { return reg < kDwarfRegisterCount; }

  // A rule for a register that this walk does not track (vector registers) is read and dropped.
  void SetRule(FrameRules& rules, uint64_t reg, RegisterRule rule) {
    if (ValidRegister(reg)) rules.registers[reg] = rule;
  }

  RegisterRule Offset(int64_t factored) const {
    return {RuleKind::kOffset, factored * entry_.data_alignment, 0, 0, 0};
  }

  bool Step(DwarfCursor& cursor, FrameRules& rules) {
    const uint8_t op = cursor.U8();
    const uint8_t low = op & 0x3F;
    switch (op & 0xC0) {
      case 0x40:
        return Advance(low);
      case 0x80:
        SetRule(rules, low, Offset(static_cast<int64_t>(cursor.Uleb())));
        return true;
      case 0xC0:
        SetRule(rules, low, initial_.registers[low < kDwarfRegisterCount ? low : 0]);
        return true;
      default:
        break;
    }
    switch (op) {
      case 0x00:
        return true;  // nop
      case 0x01:
        location_ = cursor.Pointer(entry_.pointer_encoding);
        return true;
      case 0x02:
        return Advance(cursor.U8());
      case 0x03:
        return Advance(cursor.U16());
      case 0x04:
        return Advance(cursor.U32());
      case 0x05: {
        const uint64_t reg = cursor.Uleb();
        SetRule(rules, reg, Offset(static_cast<int64_t>(cursor.Uleb())));
        return true;
      }
      case 0x06: {
        const uint64_t reg = cursor.Uleb();
        if (ValidRegister(reg)) rules.registers[reg] = initial_.registers[reg];
        return true;
      }
      case 0x07:
        SetRule(rules, cursor.Uleb(), {});
        return true;
      case 0x08:
        SetRule(rules, cursor.Uleb(), {RuleKind::kSameValue, 0, 0, 0, 0});
        return true;
      case 0x09: {
        const uint64_t reg = cursor.Uleb();
        const uint64_t other = cursor.Uleb();
        if (!ValidRegister(other)) return false;
        SetRule(rules, reg, {RuleKind::kRegister, 0, static_cast<unsigned>(other), 0, 0});
        return true;
      }
      case 0x0A:
        if (remembered_count_ == kRememberDepth) return false;
        remembered_[remembered_count_++] = rules;
        return true;
      case 0x0B:
        // The remembered row comes back whole, with its CFA rule, as gcc's unwinder and
        // libunwind take it.
        if (remembered_count_ == 0) return false;
        rules = remembered_[--remembered_count_];
        return true;
      case 0x0C:
        rules.cfa_register = static_cast<unsigned>(cursor.Uleb());
        rules.cfa_offset = static_cast<int64_t>(cursor.Uleb());
        rules.cfa_by_expression = false;
        return ValidRegister(rules.cfa_register);
      case 0x0D:
        rules.cfa_register = static_cast<unsigned>(cursor.Uleb());
        rules.cfa_by_expression = false;
        return ValidRegister(rules.cfa_register);
      case 0x0E:
        rules.cfa_offset = static_cast<int64_t>(cursor.Uleb());
        return true;
      case 0x0F: {
        const uint64_t length = cursor.Uleb();
        rules.cfa_by_expression = true;
        rules.cfa_expression = cursor.Position();
        cursor.Skip(length);
        rules.cfa_expression_end = cursor.Position();
        return !cursor.Failed();
      }
      case 0x10:
      case 0x16: {
        const uint64_t reg = cursor.Uleb();
        const uint64_t length = cursor.Uleb();
        RegisterRule rule{op == 0x10 ? RuleKind::kExpression : RuleKind::kValueExpression, 0, 0,
                          cursor.Position(), 0};
        cursor.Skip(length);
        rule.expression_end = cursor.Position();
        SetRule(rules, reg, rule);
        return !cursor.Failed();
      }
      case 0x11: {
        const uint64_t reg = cursor.Uleb();
        SetRule(rules, reg, Offset(cursor.Sleb()));
        return true;
      }
      case 0x12:
        rules.cfa_register = static_cast<unsigned>(cursor.Uleb());
        rules.cfa_offset = cursor.Sleb() * entry_.data_alignment;
        rules.cfa_by_expression = false;
        return ValidRegister(rules.cfa_register);
      case 0x13:
        rules.cfa_offset = cursor.Sleb() * entry_.data_alignment;
        return true;
      case 0x14:
      case 0x15: {
        const uint64_t reg = cursor.Uleb();
        const int64_t factored = op == 0x14 ? static_cast<int64_t>(cursor.Uleb()) : cursor.Sleb();
        SetRule(rules, reg, {RuleKind::kValueOffset, factored * entry_.data_alignment, 0, 0, 0});
        return true;
      }
      case 0x2E:
        cursor.Uleb();
        return true;  // GNU_args_size: nothing for the frame's slots
      case 0x2F: {
        const uint64_t reg = cursor.Uleb();
        SetRule(rules, reg, Offset(-static_cast<int64_t>(cursor.Uleb())));
        return true;
      }
      default:
        return false;
    }
  }

  const UnwindEntry& entry_;
  uintptr_t pc_;
  uintptr_t location_ = 0;
  FrameRules initial_;
  FrameRules remembered_[kRememberDepth];
  size_t remembered_count_ = 0;
};

}  // namespace

bool RulesAt(const UnwindEntry& entry, uintptr_t pc, FrameRules& rules) {
  rules = InitialRules();
  ProgramRunner runner(entry, pc);
  runner.StartAt(entry.start);
  // The CIE's program runs whole: its rules hold from the entry's first byte on.
  if (!runner.Run(entry.cie_program, entry.cie_program_end, rules)) return false;
  runner.MarkInitial(rules);
  runner.StartAt(entry.start);
  return runner.Run(entry.fde_program, entry.fde_program_end, rules);
}

bool EvaluateExpression(uintptr_t begin, uintptr_t end, const UnwindRegisters& registers,
                        const MemoryReader& memory, const uintptr_t* initial, uintptr_t& result) {
  uintptr_t stack[kExpressionDepth];
  size_t depth = 0;
  auto push = [&](uintptr_t v) {
    if (depth == kExpressionDepth) return false;
    stack[depth++] = v;
    return true;
  };
  if (initial != nullptr) push(*initial);
  DwarfCursor cursor(begin, end);
  while (!cursor.AtEnd()) {
    const uint8_t op = cursor.U8();
    bool ok = true;
    if (op >= 0x30 && op <= 0x4F) {
      ok = push(op - 0x30u);  // lit0..lit31
    } else if (op >= 0x70 && op <= 0x8F) {
      const unsigned reg = op - 0x70u;  // breg0..breg31
      const int64_t offset = cursor.Sleb();
      if (reg >= kDwarfRegisterCount || !registers.known[reg]) return false;
      ok = push(registers.value[reg] + static_cast<uintptr_t>(offset));
    } else {
      switch (op) {
        case 0x06: {  // deref
          if (depth == 0) return false;
          uintptr_t value;
          if (!memory.ReadValue(stack[depth - 1], value)) return false;
          stack[depth - 1] = value;
          break;
        }
        case 0x08:
          ok = push(cursor.U8());
          break;
        case 0x09:
          ok = push(static_cast<uintptr_t>(static_cast<int8_t>(cursor.U8())));
          break;
        case 0x0A:
          ok = push(cursor.U16());
          break;
        case 0x0B:
          ok = push(static_cast<uintptr_t>(static_cast<int16_t>(cursor.U16())));
          break;
        case 0x0C:
          ok = push(cursor.U32());
          break;
        case 0x0D:
          ok = push(static_cast<uintptr_t>(static_cast<int32_t>(cursor.U32())));
          break;
        case 0x0E:
        case 0x0F:
          ok = push(cursor.U64());
          break;
        case 0x10:
          ok = push(cursor.Uleb());
          break;
        case 0x11:
          ok = push(static_cast<uintptr_t>(cursor.Sleb()));
          break;
        case 0x12:
          if (depth == 0) return false;
          ok = push(stack[depth - 1]);
          break;
        case 0x13:
          if (depth == 0) return false;
          --depth;
          break;
        case 0x23:  // plus_uconst
          if (depth == 0) return false;
          stack[depth - 1] += cursor.Uleb();
          break;
        case 0x1A:
        case 0x1C:
        case 0x21:
        case 0x22:
        case 0x24:
        case 0x25:
        case 0x27:
        case 0x29:
        case 0x2A:
        case 0x2B:
        case 0x2C:
        case 0x2D:
        case 0x2E: {
          if (depth < 2) return false;
          const uintptr_t b = stack[--depth];
          uintptr_t& a = stack[depth - 1];
          const auto sa = static_cast<intptr_t>(a), sb = static_cast<intptr_t>(b);
          switch (op) {
            case 0x1A:
              a &= b;
              break;
            case 0x1C:
              a -= b;
              break;
            case 0x21:
              a |= b;
              break;
            case 0x22:
              a += b;
              break;
            case 0x24:
              a = b < 64 ? a << b : 0;
              break;
            case 0x25:
              a = b < 64 ? a >> b : 0;
              break;
            case 0x27:
              a ^= b;
              break;
            case 0x29:
              a = sa == sb;
              break;
            case 0x2A:
              a = sa >= sb;
              break;
            case 0x2B:
              a = sa > sb;
              break;
            case 0x2C:
              a = sa <= sb;
              break;
            case 0x2D:
              a = sa < sb;
              break;
            case 0x2E:
              a = sa != sb;
              break;
          }
          break;
        }
        default:
          return false;
      }
    }
    if (!ok || cursor.Failed()) return false;
  }
  if (depth == 0) return false;
  result = stack[depth - 1];
  return true;
}

}  // namespace userdb::crash
