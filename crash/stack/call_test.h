// The call test: whether a value found on a stack may be a return address, told by the
// instruction bytes in front of it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "crash/stack/memory_reader.h"

namespace userdb::crash {

// The 8 bytes in front of a presumed return address a: bytes[7] is the byte at a - 1.
using BytesBeforeAddress = std::array<uint8_t, 8>;

// Whether the bytes end with a call instruction of x86-64:
// - a 5-byte relative call: 0xE8 at a - 5;
// - an indirect call (0xFF with the ModR/M register field 2 or 3) of 2, 3, 4, 6 or 7 bytes:
//   0xFF at a - 2, a - 3, a - 4, a - 6 or a - 7 ("call reg", "call [reg]", "call [reg+disp8]",
//   the SIB forms, "call [rip+disp32]" and "call [reg+disp32]"). A REX prefix stands in front
//   of the 0xFF and moves no position.
// The 7-byte far call (0x9A) of 32-bit code does not exist in 64-bit mode and is not tested.
// Pure: safe inside a signal handler.
bool EndsWithCall(const BytesBeforeAddress& bytes);

// The length of the call instruction that the bytes end with, by the same forms, a REX
// prefix in front of an indirect call included; 0 when they end with none. Pure.
size_t CallLengthBefore(const BytesBeforeAddress& bytes);

// IsAfterCall: the 8 bytes before the address read through `memory`; false when they cannot
// be read. Safe inside a signal handler when `memory` is.
bool IsAfterCall(const MemoryReader& memory, uintptr_t address);

}  // namespace userdb::crash
