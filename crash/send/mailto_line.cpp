#include "crash/send/mailto_line.h"

#include <algorithm>

#include "platform/display_text.h"

namespace userdb::crash {

namespace {

constexpr std::string_view kEscaped = "\n\r \"#%+<>?";
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsUtf8Continuation(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The length the line is cut to: at most kMaxMailtoLine, and never inside an escape or a
// UTF-8 character.
size_t CutLength(const std::string& line) {
  if (line.size() <= kMaxMailtoLine) return line.size();
  size_t length = kMaxMailtoLine;
  if (line[length - 1] == '%') {
    length -= 1;
  } else if (line[length - 2] == '%') {
    length -= 2;
  }
  // A UTF-8 character is never cut either: escapes are plain ASCII, so stepping back to the
  // start of a character splits no escape.
  while (length > 0 && IsUtf8Continuation(line[length])) --length;
  return length;
}

}  // namespace

std::string PercentEncodeForMailto(std::string_view text) {
  std::string encoded;
  encoded.reserve(text.size() + text.size() / 4);
  for (const char c : text) {
    if (kEscaped.find(c) == std::string_view::npos) {
      encoded += c;
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    encoded += '%';
    encoded += kHexDigits[byte >> 4];
    encoded += kHexDigits[byte & 0x0F];
  }
  return encoded;
}

std::string MailtoLine(std::string_view recipients, std::string_view subject,
                       std::string_view report) {
  std::string to = platform::DisplayUtf8(recipients);
  std::replace(to.begin(), to.end(), ';', ',');
  std::string line = "mailto:" + to +
                     "?subject=" + PercentEncodeForMailto(platform::DisplayUtf8(subject)) +
                     "&body=" + PercentEncodeForMailto(platform::DisplayUtf8(report));
  line.resize(CutLength(line));
  return line;
}

}  // namespace userdb::crash
