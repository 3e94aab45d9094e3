// AnalyzeFunction: the code areas, call sites and indirect sites of one function, found by
// decoding its machine code from its entry point.
//
// Carried over to x86-64 Linux:
// - An area ends after a return, an unconditional jump, ud2 or hlt, a call to a routine that
//   never returns (exit, _exit, abort, __cxa_throw, __cxa_rethrow, _Unwind_Resume,
//   std::terminate, __stack_chk_fail, __assert_fail, std::__throw_*: what "@Halt0" is to the
//   original rules), where the next instruction starts another area, and where the function's
//   unwind entry ends (the unwind tables know where each function's code ends).
// - A jump to code of the function (within its unwind entry, or in its ".cold" part) starts
//   an area; a jump elsewhere (a tail call) is a call site that is a jump. Without unwind
//   information, a jump inside the module's code range starts an area, as in the original
//   rules.
// - The landing pads of the function's exception table start areas, as the handler tables
//   after "@HandleOnException", "@HandleAnyException" and "@HandleFinally" did; those
//   routines, and "@HandleAutoException", have no counterpart here.
// - gcc's jump tables, "jmp [table+reg*8]" and the position-independent form (lea of the
//   table, movsxd of a 4-byte entry, add, jmp reg), with the bound of the compare before
//   them: their entries start areas and the table is a data block.
// - A call's target whose code is a jump through a memory cell (a PLT entry, with or without
//   endbr64 in front) is recorded as the cell's target.
// The try-finally exit code of the original rules has no counterpart: no address of it is
// known or rejected.
#pragma once

#include <cstdint>
#include <optional>

#include "crash/stack/function_info.h"
#include "crash/stack/memory_reader.h"
#include "crash/stack/module_info.h"
#include "crash/stack/unwind_entry.h"

namespace userdb::crash {

// What the analysis asks about the code around a function.
class CodeSurroundings {
 public:
  // The range that the function's code may occupy: its module's code range, or the readable
  // region that holds the entry when no module does. Empty when the entry lies in neither.
  virtual AddressRange CodeRangeAt(uintptr_t entry) = 0;
  // The unwind entry covering the address; none where the unwind tables say nothing.
  virtual std::optional<UnwindEntry> UnwindEntryAt(uintptr_t address) = 0;
  // Whether the code at `address` is a part that the compiler moved out of the function
  // that starts at `entry` (its ".cold" part).
  virtual bool IsColdPartOf(uintptr_t entry, uintptr_t address) = 0;
  // Whether an export with a name starts exactly at the address.
  virtual bool IsNamedExport(uintptr_t address) = 0;
  // Whether a call to the address never returns.
  virtual bool NeverReturns(uintptr_t address) = 0;

 protected:
  ~CodeSurroundings() = default;
};

TFunctionInfo AnalyzeFunction(const MemoryReader& memory, uintptr_t entry,
                              CodeSurroundings& surroundings);

}  // namespace userdb::crash
