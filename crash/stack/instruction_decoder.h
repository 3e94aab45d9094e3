// DecodeInstruction: one x86-64 instruction of this process's code, decoded with Zydis, with
// the properties that the function analysis and the call-site tests need.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "crash/stack/memory_reader.h"

namespace userdb::crash {

enum class FlowKind : uint8_t {
  kNone,
  kCall,
  kJump,  // unconditional
  kConditionalJump,
  kReturn,
  kHalt,  // ud2 or hlt: execution does not go on after it
};

// The few operations that the recognition of jump tables follows.
enum class Operation : uint8_t { kOther, kCompare, kLoadAddress, kSignExtendLoad, kAdd, kMove };

struct MemoryOperand {
  bool present = false;
  uint16_t base = 0;  // registers as their largest enclosing register; 0 for none
  uint16_t index = 0;
  uint8_t scale = 0;
  uint8_t size = 0;  // bytes accessed
  int64_t displacement = 0;
  bool rip_relative = false;
  uintptr_t address = 0;  // the absolute address for rip-relative and absolute forms
};

struct Instruction {
  bool valid = false;
  uintptr_t address = 0;
  uint8_t length = 0;
  uint16_t opcode = 0;  // 0x0Fxx for the two-byte forms
  bool has_modrm = false;
  uint8_t modrm = 0;
  FlowKind flow = FlowKind::kNone;
  Operation operation = Operation::kOther;
  // The target of a call or jump: encoded in the instruction (relative), or read from the
  // memory cell that the instruction names ("call [rip+disp32]").
  bool has_target = false;
  uintptr_t target = 0;
  bool target_from_memory = false;
  uint8_t target_size = 0;        // bytes of the encoded relative target or of the cell's address
  uint16_t written_register = 0;  // the register of the first operand, when written
  uint16_t target_register = 0;   // the register of "call reg" and "jmp reg"
  uint16_t source_register = 0;   // the register of the second operand
  bool has_immediate = false;
  int64_t immediate = 0;
  MemoryOperand memory;

  uintptr_t Next() const { return address + length; }
  bool IsCallOrJump() const {
    return flow == FlowKind::kCall || flow == FlowKind::kJump || flow == FlowKind::kConditionalJump;
  }
};

// The instruction at `address`; invalid when its bytes cannot be read or do not decode.
// Targets in memory cells are read through `memory` too.
Instruction DecodeInstruction(const MemoryReader& memory, uintptr_t address);

// The instruction in `bytes`, taken to lie at `address`; memory cells are read through `cells`
// when given.
Instruction DecodeBytes(std::span<const uint8_t> bytes, uintptr_t address,
                        const MemoryReader* cells);

// The instruction at `address` in Intel syntax with lower-case hexadecimal numbers, such as
// "mov rax, qword ptr [rbp-0x18]" or "call 0x401020"; a call's or jump's target that
// `name_target` names is written by that name instead ("jz loc_401020"). Its length goes to
// `length`. Empty when the instruction cannot be read or does not decode.
std::string InstructionText(const MemoryReader& memory, uintptr_t address,
                            const std::function<std::string(uintptr_t)>& name_target,
                            uint8_t& length);

}  // namespace userdb::crash
