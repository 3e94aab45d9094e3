// Letter-case-insensitive equality of Windows-1252 texts, the stand-in for the user
// locale's CompareStringA with NORM_IGNORECASE: ASCII letters and the upper/lower pairs
// of Windows-1252 (À-Þ with à-þ but × and ÷, Š/š, Œ/œ, Ž/ž, Ÿ/ÿ) are equal; every other
// byte equals only itself. Nothing is ignored or trimmed.
#pragma once

#include <cstddef>
#include <string_view>

namespace userdb::platform {

bool EqualIgnoringCase1252(std::string_view left, std::string_view right);

// The lower-case form of a byte, as the comparison above pairs them.
unsigned char LowerCase1252(char byte);

// Hash and equality for unordered containers keyed by such texts; both take any text
// form, so that a look-up needs no copy of the key.
struct HashIgnoringCase1252 {
  using is_transparent = void;
  size_t operator()(std::string_view text) const;
};
struct SameIgnoringCase1252 {
  using is_transparent = void;
  bool operator()(std::string_view left, std::string_view right) const {
    return EqualIgnoringCase1252(left, right);
  }
};

}  // namespace userdb::platform
