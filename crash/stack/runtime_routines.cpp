#include "crash/stack/runtime_routines.h"

#include <dlfcn.h>

#include <algorithm>

#include "platform/case_insensitive_1252.h"

namespace userdb::crash {
namespace {

constexpr const char* kNeverReturning[] = {
    "exit",          "_exit",          "abort",           "__cxa_throw",
    "__cxa_rethrow", "_Unwind_Resume", "_ZSt9terminatev", "__stack_chk_fail",
    "__assert_fail",
};

// Mangled names of std::__throw_*: "_ZSt" + the length of the name + "__throw_...".
bool IsStdThrowRoutine(std::string_view mangled) {
  if (!mangled.starts_with("_ZSt")) return false;
  mangled.remove_prefix(4);
  while (!mangled.empty() && mangled.front() >= '0' && mangled.front() <= '9') {
    mangled.remove_prefix(1);
  }
  return mangled.starts_with("__throw_");
}

bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
  if (part.size() > text.size()) return false;
  for (size_t i = 0; i + part.size() <= text.size(); ++i) {
    if (platform::EqualIgnoringCase1252(text.substr(i, part.size()), part)) return true;
  }
  return false;
}

}  // namespace

RuntimeRoutines RuntimeRoutines::OfThisProcess(SymbolLookup& symbols) {
  std::vector<uintptr_t> addresses;
  for (const char* name : kNeverReturning) {
    if (void* found = dlsym(RTLD_DEFAULT, name))
      addresses.push_back(reinterpret_cast<uintptr_t>(found));
  }
  // The C++ library's std::__throw_* routines, from its exports.
  if (void* terminate = dlsym(RTLD_DEFAULT, "_ZSt9terminatev")) {
    const auto index = symbols.Modules().Add(reinterpret_cast<uintptr_t>(terminate));
    if (index) {
      if (const auto exports = symbols.Modules().Exports(*index)) {
        exports->ForEach([&](std::string_view name, uintptr_t address) {
          if (IsStdThrowRoutine(name)) addresses.push_back(address);
        });
      }
    }
  }
  return At(std::move(addresses));
}

RuntimeRoutines RuntimeRoutines::At(std::vector<uintptr_t> never_returning) {
  RuntimeRoutines routines;
  std::sort(never_returning.begin(), never_returning.end());
  never_returning.erase(std::unique(never_returning.begin(), never_returning.end()),
                        never_returning.end());
  routines.never_returning_ = std::move(never_returning);
  return routines;
}

bool RuntimeRoutines::NeverReturns(uintptr_t address) const {
  return std::binary_search(never_returning_.begin(), never_returning_.end(), address);
}

bool IsRaisingRoutineName(std::string_view name) {
  return ContainsIgnoringCase(name, "@RaiseExcept") || ContainsIgnoringCase(name, "Error") ||
         name == "__cxa_throw" || name == "__cxa_rethrow" || name.starts_with("std.__throw_") ||
         name == "std.terminate";
}

}  // namespace userdb::crash
