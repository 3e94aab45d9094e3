// Cutting characters off both ends of a text.
#pragma once

#include <string_view>

namespace userdb::platform {

// `text` without the characters of `cut` at its start and its end.
std::string_view Trimmed(std::string_view text, std::string_view cut = " \t\r\n");

}  // namespace userdb::platform
