// Letter-case-insensitive equality of Windows-1252 texts, the stand-in for the user
// locale's CompareStringA with NORM_IGNORECASE: ASCII letters and the upper/lower pairs
// of Windows-1252 (À-Þ with à-þ but × and ÷, Š/š, Œ/œ, Ž/ž, Ÿ/ÿ) are equal; every other
// byte equals only itself. Nothing is ignored or trimmed.
#pragma once

#include <string_view>

bool EqualIgnoringCase1252(std::string_view left, std::string_view right);
