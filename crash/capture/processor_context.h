// The registers of a thread at one moment: the general registers of x86-64 as the kernel
// delivers them to a signal handler.
#pragma once

#include <sys/ucontext.h>

#include <array>
#include <cstdint>

namespace userdb::crash {

struct ProcessorContext {
  std::array<greg_t, NGREG> registers{};

  uintptr_t InstructionPointer() const { return static_cast<uintptr_t>(registers[REG_RIP]); }
  uintptr_t StackPointer() const { return static_cast<uintptr_t>(registers[REG_RSP]); }
  uintptr_t FramePointer() const { return static_cast<uintptr_t>(registers[REG_RBP]); }

  // Safe inside a signal handler.
  static ProcessorContext Of(const ucontext_t& context) {
    ProcessorContext copy;
    for (int i = 0; i < NGREG; ++i) copy.registers[i] = context.uc_mcontext.gregs[i];
    return copy;
  }
};

}  // namespace userdb::crash
