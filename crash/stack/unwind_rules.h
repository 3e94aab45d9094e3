// The rules of one frame at one code address, from the unwind entry's call-frame program
// (the DWARF CFA instructions), and the evaluation of the DWARF expressions they may hold.
//
// Safe inside a signal handler: fixed-size state, no allocation, no lock. Stack memory is
// read through the MemoryReader given.
#pragma once

#include <array>
#include <cstdint>

#include "crash/stack/memory_reader.h"
#include "crash/stack/unwind_entry.h"

namespace userdb::crash {

// The registers of x86-64 in DWARF numbering: rax, rdx, rcx, rbx, rsi, rdi, rbp, rsp, r8 to
// r15, and the return address column (rip).
inline constexpr unsigned kDwarfRbp = 6;
inline constexpr unsigned kDwarfRsp = 7;
inline constexpr unsigned kDwarfReturnAddress = 16;
inline constexpr unsigned kDwarfRegisterCount = 17;

struct UnwindRegisters {
  std::array<uintptr_t, kDwarfRegisterCount> value{};
  std::array<bool, kDwarfRegisterCount> known{};
  // rip holds a return address (state taken right after a call, as at a throw), not the
  // address of an interrupted instruction: its code is looked up one byte before.
  bool rip_is_return_address = false;

  void Set(unsigned reg, uintptr_t v) {
    value[reg] = v;
    known[reg] = true;
  }
};

enum class RuleKind : uint8_t {
  kUndefined,    // not recoverable
  kSameValue,    // unchanged in the caller
  kOffset,       // saved at CFA + offset
  kValueOffset,  // is CFA + offset
  kRegister,     // held in another register
  kExpression,   // saved at the address an expression computes
  kValueExpression,
};

struct RegisterRule {
  RuleKind kind = RuleKind::kUndefined;
  int64_t offset = 0;
  unsigned other = 0;
  uintptr_t expression = 0, expression_end = 0;
};

struct FrameRules {
  bool cfa_by_expression = false;
  unsigned cfa_register = kDwarfRsp;
  int64_t cfa_offset = 0;
  uintptr_t cfa_expression = 0, cfa_expression_end = 0;
  std::array<RegisterRule, kDwarfRegisterCount> registers{};
};

// The rules that hold at `pc` (which the entry covers); false for a damaged program.
bool RulesAt(const UnwindEntry& entry, uintptr_t pc, FrameRules& rules);

// The value of a DWARF expression over the registers, with `initial` pushed first when given;
// false when it uses an operation not supported here, an unknown register, or unreadable
// memory.
bool EvaluateExpression(uintptr_t begin, uintptr_t end, const UnwindRegisters& registers,
                        const MemoryReader& memory, const uintptr_t* initial, uintptr_t& result);

}  // namespace userdb::crash
