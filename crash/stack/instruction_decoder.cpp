#include "crash/stack/instruction_decoder.h"

#include <Zydis/Zydis.h>

#include <array>

namespace userdb::crash {
namespace {

constexpr size_t kLongestInstruction = 15;

uint16_t Enclosing(ZydisRegister reg) {
  if (reg == ZYDIS_REGISTER_NONE) return 0;
  return static_cast<uint16_t>(ZydisRegisterGetLargestEnclosing(ZYDIS_MACHINE_MODE_LONG_64, reg));
}

FlowKind FlowOf(const ZydisDecodedInstruction& instruction) {
  switch (instruction.meta.category) {
    case ZYDIS_CATEGORY_CALL:
      return FlowKind::kCall;
    case ZYDIS_CATEGORY_UNCOND_BR:
      return FlowKind::kJump;
    case ZYDIS_CATEGORY_COND_BR:
      return FlowKind::kConditionalJump;
    case ZYDIS_CATEGORY_RET:
      return FlowKind::kReturn;
    default:
      break;
  }
  switch (instruction.mnemonic) {
    case ZYDIS_MNEMONIC_UD2:
    case ZYDIS_MNEMONIC_HLT:
      return FlowKind::kHalt;
    case ZYDIS_MNEMONIC_IRET:
    case ZYDIS_MNEMONIC_IRETD:
    case ZYDIS_MNEMONIC_IRETQ:
      return FlowKind::kReturn;
    default:
      return FlowKind::kNone;
  }
}

Operation OperationOf(ZydisMnemonic mnemonic) {
  switch (mnemonic) {
    case ZYDIS_MNEMONIC_CMP:
      return Operation::kCompare;
    case ZYDIS_MNEMONIC_LEA:
      return Operation::kLoadAddress;
    case ZYDIS_MNEMONIC_MOVSXD:
      return Operation::kSignExtendLoad;
    case ZYDIS_MNEMONIC_ADD:
      return Operation::kAdd;
    case ZYDIS_MNEMONIC_MOV:
      return Operation::kMove;
    default:
      return Operation::kOther;
  }
}

void TakeMemoryOperand(const ZydisDecodedInstruction& instruction,
                       const ZydisDecodedOperand& operand, uintptr_t address,
                       MemoryOperand& memory) {
  memory.present = true;
  memory.base = operand.mem.base == ZYDIS_REGISTER_RIP ? 0 : Enclosing(operand.mem.base);
  memory.index = Enclosing(operand.mem.index);
  memory.scale = operand.mem.scale;
  memory.size = static_cast<uint8_t>(operand.size / 8);
  memory.displacement = operand.mem.disp.value;
  memory.rip_relative = operand.mem.base == ZYDIS_REGISTER_RIP;
  ZyanU64 absolute = 0;
  if (ZYAN_SUCCESS(ZydisCalcAbsoluteAddress(&instruction, &operand, address, &absolute))) {
    memory.address = static_cast<uintptr_t>(absolute);
  }
}

void TakeTarget(const ZydisDecodedInstruction& instruction, const ZydisDecodedOperand& operand,
                uintptr_t address, const MemoryReader* cells, Instruction& result) {
  if (operand.type == ZYDIS_OPERAND_TYPE_IMMEDIATE && operand.imm.is_relative) {
    ZyanU64 target = 0;
    if (ZYAN_SUCCESS(ZydisCalcAbsoluteAddress(&instruction, &operand, address, &target))) {
      result.has_target = true;
      result.target = static_cast<uintptr_t>(target);
      result.target_size = instruction.raw.imm[0].size / 8;
    }
    return;
  }
  // A memory cell that the instruction names by itself (no base other than rip, no index).
  if (operand.type == ZYDIS_OPERAND_TYPE_MEMORY && result.memory.index == 0 &&
      result.memory.base == 0 && result.memory.address != 0 && cells != nullptr) {
    uintptr_t target = 0;
    if (cells->ReadValue(result.memory.address, target)) {
      result.has_target = true;
      result.target = target;
      result.target_from_memory = true;
      result.target_size = sizeof(uintptr_t);
    }
  }
}

struct Decoded {
  ZydisDecodedInstruction instruction;
  ZydisDecodedOperand operands[ZYDIS_MAX_OPERAND_COUNT];
};

bool Decode(std::span<const uint8_t> bytes, Decoded& decoded) {
  ZydisDecoder decoder;
  return ZYAN_SUCCESS(
             ZydisDecoderInit(&decoder, ZYDIS_MACHINE_MODE_LONG_64, ZYDIS_STACK_WIDTH_64)) &&
         ZYAN_SUCCESS(ZydisDecoderDecodeFull(&decoder, bytes.data(), bytes.size(),
                                             &decoded.instruction, decoded.operands));
}

// Reads the bytes of the instruction at `address` into `bytes`; how many could be read.
size_t ReadInstructionBytes(const MemoryReader& memory, uintptr_t address,
                            std::array<uint8_t, kLongestInstruction>& bytes) {
  // Code that ends closer than the longest instruction to unreadable memory is read shorter.
  for (size_t size = bytes.size(); size > 0; --size) {
    if (memory.Read(address, bytes.data(), size)) return size;
    if (size == bytes.size()) size = 9;  // then 8 down to 1: an instruction's bytes are few
  }
  return 0;
}

// What the formatter's hook for absolute addresses needs.
struct Naming {
  const std::function<std::string(uintptr_t)>& name_target;
  ZydisFormatterFunc print_address = nullptr;  // the formatter's own
};

ZyanStatus PrintAddress(const ZydisFormatter* formatter, ZydisFormatterBuffer* buffer,
                        ZydisFormatterContext* context) {
  const auto& naming = *static_cast<const Naming*>(context->user_data);
  ZyanU64 address = 0;
  if (context->operand->type == ZYDIS_OPERAND_TYPE_IMMEDIATE &&
      ZYAN_SUCCESS(ZydisCalcAbsoluteAddress(context->instruction, context->operand,
                                            context->runtime_address, &address))) {
    const std::string name = naming.name_target(static_cast<uintptr_t>(address));
    if (!name.empty()) {
      ZYAN_CHECK(ZydisFormatterBufferAppend(buffer, ZYDIS_TOKEN_SYMBOL));
      ZyanString* text = nullptr;
      ZYAN_CHECK(ZydisFormatterBufferGetString(buffer, &text));
      ZyanStringView view;
      ZYAN_CHECK(ZyanStringViewInsideBufferEx(&view, name.data(), name.size()));
      return ZyanStringAppend(text, &view);
    }
  }
  return naming.print_address(formatter, buffer, context);
}

}  // namespace

Instruction DecodeBytes(std::span<const uint8_t> bytes, uintptr_t address,
                        const MemoryReader* cells) {
  Instruction result;
  result.address = address;
  Decoded decoded;
  if (!Decode(bytes, decoded)) return result;
  const ZydisDecodedInstruction& instruction = decoded.instruction;
  const ZydisDecodedOperand* operands = decoded.operands;
  result.valid = true;
  result.length = instruction.length;
  result.opcode = instruction.opcode_map == ZYDIS_OPCODE_MAP_0F
                      ? static_cast<uint16_t>(0x0F00 | instruction.opcode)
                      : instruction.opcode;
  result.has_modrm = (instruction.attributes & ZYDIS_ATTRIB_HAS_MODRM) != 0;
  if (result.has_modrm) {
    result.modrm =
        static_cast<uint8_t>((instruction.raw.modrm.mod << 6) | (instruction.raw.modrm.reg << 3) |
                             instruction.raw.modrm.rm);
  }
  result.flow = FlowOf(instruction);
  result.operation = OperationOf(instruction.mnemonic);

  const ZydisDecodedOperand* first = nullptr;
  for (size_t i = 0; i < instruction.operand_count_visible; ++i) {
    const ZydisDecodedOperand& operand = operands[i];
    // Memory read or written, or the address that lea computes.
    if (operand.type == ZYDIS_OPERAND_TYPE_MEMORY && !result.memory.present &&
        (operand.mem.type == ZYDIS_MEMOP_TYPE_MEM || operand.mem.type == ZYDIS_MEMOP_TYPE_AGEN)) {
      TakeMemoryOperand(instruction, operand, address, result.memory);
    }
    if (operand.type == ZYDIS_OPERAND_TYPE_IMMEDIATE && !operand.imm.is_relative) {
      result.has_immediate = true;
      result.immediate =
          operand.imm.is_signed ? operand.imm.value.s : static_cast<int64_t>(operand.imm.value.u);
    }
    if (i == 0) first = &operand;
    if (i == 1 && operand.type == ZYDIS_OPERAND_TYPE_REGISTER) {
      result.source_register = Enclosing(operand.reg.value);
    }
  }
  if (first != nullptr && first->type == ZYDIS_OPERAND_TYPE_REGISTER &&
      (first->actions & ZYDIS_OPERAND_ACTION_MASK_WRITE)) {
    result.written_register = Enclosing(first->reg.value);
  }
  if (result.IsCallOrJump() && first != nullptr) {
    if (first->type == ZYDIS_OPERAND_TYPE_REGISTER)
      result.target_register = Enclosing(first->reg.value);
    TakeTarget(instruction, *first, address, cells, result);
  }
  return result;
}

Instruction DecodeInstruction(const MemoryReader& memory, uintptr_t address) {
  std::array<uint8_t, kLongestInstruction> bytes;
  if (const size_t size = ReadInstructionBytes(memory, address, bytes)) {
    return DecodeBytes(std::span(bytes.data(), size), address, &memory);
  }
  Instruction invalid;
  invalid.address = address;
  return invalid;
}

std::string InstructionText(const MemoryReader& memory, uintptr_t address,
                            const std::function<std::string(uintptr_t)>& name_target,
                            uint8_t& length) {
  std::array<uint8_t, kLongestInstruction> bytes;
  const size_t size = ReadInstructionBytes(memory, address, bytes);
  Decoded decoded;
  if (size == 0 || !Decode(std::span(bytes.data(), size), decoded)) return {};
  ZydisFormatter formatter;
  // The hook is swapped in; the formatter's own function comes back in its place.
  const void* hook = reinterpret_cast<const void*>(&PrintAddress);
  if (!ZYAN_SUCCESS(ZydisFormatterInit(&formatter, ZYDIS_FORMATTER_STYLE_INTEL)) ||
      !ZYAN_SUCCESS(
          ZydisFormatterSetProperty(&formatter, ZYDIS_FORMATTER_PROP_HEX_UPPERCASE, ZYAN_FALSE)) ||
      !ZYAN_SUCCESS(
          ZydisFormatterSetHook(&formatter, ZYDIS_FORMATTER_FUNC_PRINT_ADDRESS_ABS, &hook))) {
    return {};
  }
  Naming naming{name_target, reinterpret_cast<ZydisFormatterFunc>(const_cast<void*>(hook))};
  char text[256];
  if (!ZYAN_SUCCESS(ZydisFormatterFormatInstruction(
          &formatter, &decoded.instruction, decoded.operands,
          decoded.instruction.operand_count_visible, text, sizeof text, address, &naming))) {
    return {};
  }
  length = decoded.instruction.length;
  return text;
}

}  // namespace userdb::crash
