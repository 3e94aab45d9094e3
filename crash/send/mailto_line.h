// The "mailto:" line handed to the desktop's mail handler when the mail program takes no
// message with attachments: recipients, subject and the whole report as the body.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace userdb::crash {

// The longest line handed on, as the longest command line a handler can be given.
inline constexpr size_t kMaxMailtoLine = 32766;

// `text` with each line feed, carriage return, blank, double quote, "#", "%", "+", "<",
// ">" and "?" replaced by "%" and two upper-case hexadecimal digits; every other byte stays.
std::string PercentEncodeForMailto(std::string_view text);

// "mailto:" + the recipients (";" replaced by ",") + "?subject=" + the subject + "&body=" +
// the report, subject and report percent-encoded. The program's 8-bit texts are turned into
// UTF-8 first (see platform::DisplayUtf8), as this platform's mail programs read their
// arguments. A line longer than kMaxMailtoLine bytes is cut to that length, one byte
// shorter when the last byte kept would be a "%", two shorter when the one before it
// would be, so that no escape is cut in half; nor is a UTF-8 character.
std::string MailtoLine(std::string_view recipients, std::string_view subject,
                       std::string_view report);

}  // namespace userdb::crash
