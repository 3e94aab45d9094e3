#include "crash/stack/instruction_decoder.h"

#include <gtest/gtest.h>

#include <vector>

#include "crash/stack/readable_memory_map.h"

namespace userdb::crash {
namespace {

constexpr uintptr_t kAt = 0x401000;

Instruction Decode(std::vector<uint8_t> bytes, const MemoryReader* cells = nullptr) {
  return DecodeBytes(bytes, kAt, cells);
}

TEST(InstructionDecoderTest, ARelativeCallNamesItsTarget) {
  const Instruction call = Decode({0xE8, 0x10, 0x00, 0x00, 0x00});
  ASSERT_TRUE(call.valid);
  EXPECT_EQ(call.length, 5);
  EXPECT_EQ(call.opcode, 0xE8);
  EXPECT_EQ(call.flow, FlowKind::kCall);
  EXPECT_TRUE(call.has_target);
  EXPECT_EQ(call.target, kAt + 5 + 0x10);
  EXPECT_EQ(call.target_size, 4);
  EXPECT_FALSE(call.target_from_memory);
}

TEST(InstructionDecoderTest, ShortAndConditionalJumps) {
  const Instruction jump = Decode({0xEB, 0xFE});
  EXPECT_EQ(jump.flow, FlowKind::kJump);
  EXPECT_EQ(jump.target, kAt);
  EXPECT_EQ(jump.target_size, 1);
  const Instruction branch = Decode({0x0F, 0x84, 0x00, 0x01, 0x00, 0x00});
  EXPECT_EQ(branch.flow, FlowKind::kConditionalJump);
  EXPECT_EQ(branch.opcode, 0x0F84);
  EXPECT_EQ(branch.target, kAt + 6 + 0x100);
}

// "call [rip+disp32]": the target is read from the cell the instruction names.
TEST(InstructionDecoderTest, ACallThroughAMemoryCellReadsTheCell) {
  static const uintptr_t cell = 0x7654321;
  const ReadableMemoryMap memory = ReadableMemoryMap::Take();
  const uintptr_t at = reinterpret_cast<uintptr_t>(&cell) - 6;  // so that rip+0 is the cell
  const std::vector<uint8_t> bytes = {0xFF, 0x15, 0x00, 0x00, 0x00, 0x00};
  const Instruction call = DecodeBytes(bytes, at, &memory);
  ASSERT_TRUE(call.valid);
  EXPECT_EQ(call.flow, FlowKind::kCall);
  EXPECT_TRUE(call.has_target);
  EXPECT_TRUE(call.target_from_memory);
  EXPECT_EQ(call.target, cell);
  EXPECT_EQ(call.modrm, 0x15);
}

TEST(InstructionDecoderTest, IndirectFormsHaveNoTarget) {
  const Instruction call = Decode({0x41, 0xFF, 0xD3});  // call r11
  EXPECT_EQ(call.flow, FlowKind::kCall);
  EXPECT_FALSE(call.has_target);
  EXPECT_NE(call.target_register, 0);
  const Instruction table =
      Decode({0xFF, 0x24, 0xC5, 0x00, 0x20, 0x40, 0x00});  // jmp [rax*8+0x402000]
  EXPECT_EQ(table.flow, FlowKind::kJump);
  EXPECT_FALSE(table.has_target);
  EXPECT_TRUE(table.memory.present);
  EXPECT_EQ(table.memory.scale, 8);
  EXPECT_EQ(table.memory.displacement, 0x402000);
}

TEST(InstructionDecoderTest, ReturnsAndHalts) {
  EXPECT_EQ(Decode({0xC3}).flow, FlowKind::kReturn);
  EXPECT_EQ(Decode({0xC2, 0x08, 0x00}).flow, FlowKind::kReturn);
  EXPECT_EQ(Decode({0x0F, 0x0B}).flow, FlowKind::kHalt);
  EXPECT_EQ(Decode({0xF4}).flow, FlowKind::kHalt);
  EXPECT_EQ(Decode({0x48, 0x89, 0xE5}).flow, FlowKind::kNone);  // mov rbp, rsp
}

TEST(InstructionDecoderTest, WhatDoesNotDecodeIsInvalid) {
  EXPECT_FALSE(Decode({0x06}).valid);        // push es: none in 64-bit mode
  EXPECT_FALSE(Decode({0xE8, 0x10}).valid);  // cut short
  EXPECT_FALSE(DecodeInstruction(ReadableMemoryMap::Take(), 0x1000).valid);
}

}  // namespace
}  // namespace userdb::crash
