// Turns the program's 8-bit texts into UTF-8 for a screen or terminal. Paths are UTF-8
// bytes while the program's own texts and the data are Windows-1252, and one message
// can hold both (a German message around a path): every well-formed UTF-8 sequence is
// kept as it is, every other byte is read as Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace userdb::platform {

std::string DisplayUtf8(std::string_view bytes);

}  // namespace userdb::platform
