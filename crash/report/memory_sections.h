// The report sections that show the exception's processor state: the stack from the
// exception's stack pointer on, and the registers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "crash/capture/processor_context.h"

namespace userdb::crash {

// Up to 20 lines of 16 bytes from `stack_pointer`, ending early at `region_end`: the address,
// two blanks, the bytes in hexadecimal with "- " before the ninth, a blank and the bytes as
// characters ("." for any but 33 to 126). `memory` holds the bytes from `stack_pointer` on.
std::string StackDumpText(uintptr_t stack_pointer, std::string_view memory);

// The stack dump of this process's memory from `stack_pointer`, to the end of the readable
// region that holds it; empty when no readable region holds it.
std::string StackDumpOfProcess(uintptr_t stack_pointer);

// "rax = 0000000000000000" and so on: rax, rbx, rcx, rdx, rsi, rdi, rip, rsp, rbp.
std::string CpuRegistersText(const ProcessorContext& context);

}  // namespace userdb::crash
