#include "crash/capture/runtime_caller.h"

#include <dlfcn.h>
#include <ucontext.h>
#include <unwind.h>

namespace userdb::crash {

namespace {

// DWARF numbers of the registers that a call keeps, with their places in a ucontext.
struct KeptRegister {
  int dwarf;
  int context;
};
constexpr KeptRegister kKeptRegisters[] = {{3, REG_RBX},  {6, REG_RBP},  {12, REG_R12},
                                           {13, REG_R13}, {14, REG_R14}, {15, REG_R15}};

constexpr int kFrameLimit = 32;

const void* ModuleOf(uintptr_t return_address) {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(return_address - 1), &info) == 0) return nullptr;
  return info.dli_fbase;
}

struct Walk {
  const void* own_module = nullptr;
  const void* runtime_module = nullptr;  // once the run-time's first frame was met
  int frames = 0;
  ucontext_t* found = nullptr;  // filled in and kept when the caller is met
  bool met = false;
};

_Unwind_Reason_Code VisitFrame(_Unwind_Context* context, void* argument) {
  auto& walk = *static_cast<Walk*>(argument);
  if (++walk.frames > kFrameLimit) return _URC_END_OF_STACK;
  const uintptr_t address = _Unwind_GetIP(context);
  if (address == 0) return _URC_END_OF_STACK;
  const void* module = ModuleOf(address);
  if (walk.runtime_module == nullptr) {
    // The handler's own frames, up to the first of the run-time.
    if (module != walk.own_module) walk.runtime_module = module;
    return _URC_NO_REASON;
  }
  if (module == walk.runtime_module) return _URC_NO_REASON;
  // The context's address is the frame's return address into the caller, its CFA the caller's
  // stack pointer once that call returns.
  auto& registers = walk.found->uc_mcontext.gregs;
  registers[REG_RIP] = static_cast<greg_t>(address);
  registers[REG_RSP] = static_cast<greg_t>(_Unwind_GetCFA(context));
  for (const KeptRegister& kept : kKeptRegisters) {
    registers[kept.context] = static_cast<greg_t>(_Unwind_GetGR(context, kept.dwarf));
  }
  walk.met = true;
  return _URC_END_OF_STACK;
}

}  // namespace

__attribute__((noinline)) std::optional<ProcessorContext> RuntimeCallerContext() {
  ucontext_t context;
  if (getcontext(&context) != 0) return std::nullopt;
  Walk walk;
  walk.own_module = ModuleOf(reinterpret_cast<uintptr_t>(&RuntimeCallerContext) + 1);
  walk.found = &context;
  _Unwind_Backtrace(&VisitFrame, &walk);
  if (!walk.met) return std::nullopt;
  return ProcessorContext::Of(context);
}

}  // namespace userdb::crash
