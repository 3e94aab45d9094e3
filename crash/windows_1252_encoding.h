// Conversions into the program's 8-bit code page, Windows-1252.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The Windows-1252 byte of a Unicode code point; none for one the code page lacks. The
// five bytes that Windows-1252 leaves unassigned stand for the code points of their value,
// as Windows maps them.
std::optional<char> Windows1252FromCodePoint(char32_t code_point);

// UTF-16 little-endian text as Windows converts it without best-fit letters: a character
// missing from the code page becomes "?", a surrogate pair (or a lone surrogate) one "?".
// An odd last byte is left out.
std::string Windows1252FromUtf16Le(std::string_view bytes);

// UTF-8 text in Windows-1252; none when it is not well-formed UTF-8 or holds a character
// that the code page lacks.
std::optional<std::string> Windows1252FromUtf8(std::string_view text);
