// Names of parameterised test cases made from their data, so that a failing case is named
// by what it holds: letters and digits are kept, every other run of bytes becomes one "_".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace userdb::test_support {

// For texts that differ from case to case in their letters and digits (descriptions).
inline std::string CaseName(std::string_view text) {
  constexpr size_t kMaxLength = 60;
  std::string name;
  for (const char c : text) {
    const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (kept) {
      name += c;
    } else if (!name.empty() && name.back() != '_') {
      name += '_';
    }
    if (name.size() >= kMaxLength) break;
  }
  while (!name.empty() && name.back() == '_') name.pop_back();
  return name.empty() ? "empty" : name;
}

// For data that may differ in other bytes only: the case's index keeps the names apart.
inline std::string CaseName(std::string_view text, size_t index) {
  return CaseName(text) + "_" + std::to_string(index);
}

}  // namespace userdb::test_support
