// Whether the contact page's e-mail address is well-formed. Valid exactly when:
//  1. the text is not empty and has no blank or control character at either end;
//  2. it holds an "@" at a position other than the first, and a "." somewhere after such
//     an "@";
//  3. it neither begins nor ends with ".", and the character right after the last "@" (not
//     counting one in the first position) is not ".";
//  4. removing every letter A-Z and a-z, every digit and every "_", "+" and "-" removes at
//     least one character, removing then every "." removes at least one more, and what is
//     left is exactly "@".
#pragma once

#include <string_view>

namespace userdb::crash {

bool IsValidEmailAddress(std::string_view text);

}  // namespace userdb::crash
