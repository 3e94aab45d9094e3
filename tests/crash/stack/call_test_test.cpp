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
  bool is_call;
};

class CallFormTest : public ::testing::TestWithParam<CallForm> {};

TEST_P(CallFormTest, TellsCallsFromOtherInstructions) {
  EXPECT_EQ(EndsWithCall(GetParam().bytes), GetParam().is_call) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CallFormTest,
    ::testing::Values(
        CallForm{"call rel32", Ending({0xE8, 0x10, 0x20, 0x00, 0x00}), true},
        CallForm{"call rax", Ending({0xFF, 0xD0}), true},
        CallForm{"call r11 (REX)", Ending({0x41, 0xFF, 0xD3}), true},
        CallForm{"call [rax]", Ending({0xFF, 0x10}), true},
        CallForm{"call [rax+8]", Ending({0xFF, 0x50, 0x08}), true},
        CallForm{"call [rsp+8] (SIB)", Ending({0xFF, 0x54, 0x24, 0x08}), true},
        CallForm{"call [rip+disp32]", Ending({0xFF, 0x15, 0x00, 0x10, 0x00, 0x00}), true},
        CallForm{"call [rax+disp32]", Ending({0xFF, 0x90, 0x00, 0x01, 0x00, 0x00}), true},
        CallForm{"call [r12+disp32] (REX, SIB)",
                 Ending({0x41, 0xFF, 0x94, 0x24, 0x00, 0x01, 0x00, 0x00}), true},
        CallForm{"far call [rax] (register field 3)", Ending({0xFF, 0x18}), true},
        CallForm{"jmp rax", Ending({0xFF, 0xE0}), false},
        CallForm{"jmp [rax]", Ending({0xFF, 0x20}), false},
        CallForm{"push [rax]", Ending({0xFF, 0x30}), false},
        CallForm{"jmp rel32", Ending({0xE9, 0x10, 0x20, 0x00, 0x00}), false},
        CallForm{"far call ptr16:32 (none in 64-bit code)",
                 Ending({0x9A, 0x00, 0x10, 0x00, 0x00, 0x08, 0x00}), false},
        CallForm{"ret", Ending({0xC3}), false}));

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
