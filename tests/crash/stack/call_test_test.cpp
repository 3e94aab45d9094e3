#include "crash/stack/call_test.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "crash/stack/readable_memory_map.h"
#include "tests/crash/stack/traced_code.h"

namespace userdb::crash {
namespace {

// The 8 bytes before a presumed return address, the instruction's bytes at their end.
BytesBeforeAddress Ending(std::initializer_list<uint8_t> instruction) {
  BytesBeforeAddress bytes;
  bytes.fill(0x90);
  std::copy(instruction.begin(), instruction.end(), bytes.end() - instruction.size());
  return bytes;
}

struct CallForm {
  const char* name;
  BytesBeforeAddress bytes;
  size_t call_length;  // 0: no call
};

class CallFormTest : public ::testing::TestWithParam<CallForm> {};

TEST_P(CallFormTest, TellsCallsFromOtherInstructions) {
  EXPECT_EQ(EndsWithCall(GetParam().bytes), GetParam().call_length != 0) << GetParam().name;
}

TEST_P(CallFormTest, TellsWhereTheCallStarts) {
  EXPECT_EQ(CallLengthBefore(GetParam().bytes), GetParam().call_length) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CallFormTest,
    ::testing::Values(
        CallForm{"call rel32", Ending({0xE8, 0x10, 0x20, 0x00, 0x00}), 5},
        CallForm{"call rax", Ending({0xFF, 0xD0}), 2},
        CallForm{"call r11 (REX)", Ending({0x41, 0xFF, 0xD3}), 3},
        CallForm{"call [rax]", Ending({0xFF, 0x10}), 2},
        CallForm{"call [rax+8]", Ending({0xFF, 0x50, 0x08}), 3},
        CallForm{"call [rsp+8] (SIB)", Ending({0xFF, 0x54, 0x24, 0x08}), 4},
        CallForm{"call [rip+disp32]", Ending({0xFF, 0x15, 0x00, 0x10, 0x00, 0x00}), 6},
        CallForm{"call [rax+disp32]", Ending({0xFF, 0x90, 0x00, 0x01, 0x00, 0x00}), 6},
        CallForm{"call [r12+disp32] (REX, SIB)",
                 Ending({0x41, 0xFF, 0x94, 0x24, 0x00, 0x01, 0x00, 0x00}), 8},
        CallForm{"far call [rax] (register field 3)", Ending({0xFF, 0x18}), 2},
        CallForm{"jmp rax", Ending({0xFF, 0xE0}), 0},
        CallForm{"jmp [rax]", Ending({0xFF, 0x20}), 0},
        CallForm{"push [rax]", Ending({0xFF, 0x30}), 0},
        CallForm{"jmp rel32", Ending({0xE9, 0x10, 0x20, 0x00, 0x00}), 0},
        CallForm{"far call ptr16:32 (none in 64-bit code)",
                 Ending({0x9A, 0x00, 0x10, 0x00, 0x00, 0x08, 0x00}), 0},
        CallForm{"ret", Ending({0xC3}), 0}));

TEST(IsAfterCallTest, AReturnAddressOfRealCodeFollowsACall) {
  stacktest::Outer();
  const ReadableMemoryMap memory = ReadableMemoryMap::Take();
  EXPECT_TRUE(IsAfterCall(memory, stacktest::recorded.in_middle));
  EXPECT_TRUE(IsAfterCall(memory, stacktest::recorded.in_outer));
  EXPECT_FALSE(IsAfterCall(memory, reinterpret_cast<uintptr_t>(&stacktest::Middle)));
}

TEST(IsAfterCallTest, UnreadableBytesFollowNoCall) {
  const ReadableMemoryMap memory = ReadableMemoryMap::Take();
  EXPECT_FALSE(IsAfterCall(memory, 0));
  EXPECT_FALSE(IsAfterCall(memory, 5));
  EXPECT_FALSE(IsAfterCall(memory, 0x1008));
}

}  // namespace
}  // namespace userdb::crash
