// Conversions between the program's 8-bit code page, Windows-1252, and Unicode text
// (UTF-8, UTF-16LE), with the one table of the code page's bytes 0x80 to 0x9F.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace userdb::platform {

// The Unicode code point of a Windows-1252 byte. The five bytes that Windows-1252
// leaves unassigned stand for the code points of their value, as Windows maps them.
char32_t CodePointOfWindows1252(char byte);

// The Windows-1252 byte of a Unicode code point; none for one the code page lacks.
std::optional<char> Windows1252FromCodePoint(char32_t code_point);

// UTF-16 little-endian text as Windows converts it without best-fit letters: a character
// missing from the code page becomes "?", a surrogate pair (or a lone surrogate) one "?".
// An odd last byte is left out.
std::string Windows1252FromUtf16Le(std::string_view bytes);

// UTF-8 text in Windows-1252; none when it is not well-formed UTF-8 or holds a character
// that the code page lacks.
std::optional<std::string> Windows1252FromUtf8(std::string_view text);
// The same, appended to `out`; false, with `out` as it was, where the above gives none.
bool AppendWindows1252FromUtf8(std::string_view text, std::string& out);

// The same, but every character that cannot be converted (a malformed byte, a character
// the code page lacks) becomes "?", as the 8-bit interfaces of Windows hand them out.
std::string Windows1252FromUtf8Replacing(std::string_view text);

// UTF-16 little-endian text in UTF-8; a lone surrogate becomes U+FFFD. An odd last byte
// is left out.
std::string Utf8FromUtf16Le(std::string_view bytes);

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0.
size_t Utf8SequenceLength(std::string_view text);

// The code points of well-formed UTF-8 text; none when it is not well-formed.
std::optional<std::u32string> CodePointsOfUtf8(std::string_view text);
bool IsWellFormedUtf8(std::string_view text);

// Appends a code point, encoded in UTF-8.
void AppendUtf8(std::string& out, char32_t code_point);

}  // namespace userdb::platform
