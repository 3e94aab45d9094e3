// The run-time routines that a stack trace knows by name: the calls that never return, which
// end a code area of the function analysis, and the routines that raise a C++ exception, whose
// call marks where an exception was raised.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "crash/stack/symbol_lookup.h"

namespace userdb::crash {

class RuntimeRoutines {
 public:
  // The routines as the libraries loaded now define them: exit, _exit, abort, __cxa_throw,
  // __cxa_rethrow, _Unwind_Resume, std::terminate, __stack_chk_fail, __assert_fail and every
  // std::__throw_* of the C++ library. Where the program interposes one of them, the
  // interposing definition is the one its calls reach, and the one found.
  static RuntimeRoutines OfThisProcess(SymbolLookup& symbols);
  // Routines at the given addresses: for tests.
  static RuntimeRoutines At(std::vector<uintptr_t> never_returning);

  bool NeverReturns(uintptr_t address) const;
  size_t Count() const { return never_returning_.size(); }

 private:
  std::vector<uintptr_t> never_returning_;  // ascending
};

// Whether a function of this (readable) name raises a C++ exception: its name contains
// "@RaiseExcept" or "Error" (letter case ignored), or it is __cxa_throw, __cxa_rethrow or a
// std::__throw_* routine; or it is std::terminate, whose call is where a termination happened.
bool IsRaisingRoutineName(std::string_view name);

}  // namespace userdb::crash
