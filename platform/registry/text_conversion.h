// Character set conversions for registry files written by Windows' registry editor in its
// Unicode form. The registry's 8-bit interface hands out Windows-1252 text; a character
// that has no place there becomes "?", as it does on Windows.
#pragma once

#include <string>
#include <string_view>

// UTF-16LE (without byte-order mark) to UTF-8.
std::string Utf16LeToUtf8(std::string_view bytes);

// UTF-8 to Windows-1252.
std::string Utf8To1252(std::string_view bytes);

// UTF-16LE to Windows-1252.
std::string Utf16LeTo1252(std::string_view bytes);
