#include "crash/windows_1252_encoding.h"

#include <array>
#include <cstdint>

#include "platform/display_text.h"

namespace {

constexpr char kMissing = '?';

// The code point of a well-formed UTF-8 sequence at the start of `text`; `length` is set
// to the bytes it takes.
char32_t DecodeWellFormedUtf8(std::string_view text, size_t& length) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(0);
  length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (length == 1) return lead;
  char32_t code_point = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) code_point = (code_point << 6) | (byte(i) & 0x3F);
  return code_point;
}

// The code points of the bytes 0x80 to 0x9F, read from the display conversion, which
// holds the one table of this code page.
std::array<char32_t, 32> HighControlCodePoints() {
  std::array<char32_t, 32> code_points{};
  for (int byte = 0x80; byte < 0xA0; ++byte) {
    const std::string utf8 = DisplayUtf8(std::string(1, static_cast<char>(byte)));
    size_t length = 0;
    code_points[byte - 0x80] = DecodeWellFormedUtf8(utf8, length);
  }
  return code_points;
}

bool IsWellFormedUtf8(std::string_view text) {
  // The display conversion keeps exactly the well-formed sequences as they are.
  return DisplayUtf8(text) == text;
}

}  // namespace

std::optional<char> Windows1252FromCodePoint(char32_t code_point) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    return static_cast<char>(code_point);
  }
  static const std::array<char32_t, 32> kHighControls = HighControlCodePoints();
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == code_point) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

std::string Windows1252FromUtf16Le(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char16_t unit = static_cast<uint8_t>(bytes[i]) |
                          static_cast<char16_t>(static_cast<uint8_t>(bytes[i + 1]) << 8);
    const bool high_surrogate = unit >= 0xD800 && unit <= 0xDBFF;
    if (high_surrogate && i + 3 < bytes.size()) {
      const uint8_t next_high = static_cast<uint8_t>(bytes[i + 3]);
      if (next_high >= 0xDC && next_high <= 0xDF) i += 2;  // the pair is one character
    }
    text += Windows1252FromCodePoint(unit).value_or(kMissing);
  }
  return text;
}

std::optional<std::string> Windows1252FromUtf8(std::string_view text) {
  if (!IsWellFormedUtf8(text)) return std::nullopt;
  std::string converted;
  converted.reserve(text.size());
  while (!text.empty()) {
    size_t length = 0;
    const auto byte = Windows1252FromCodePoint(DecodeWellFormedUtf8(text, length));
    if (!byte) return std::nullopt;
    converted += *byte;
    text.remove_prefix(length);
  }
  return converted;
}
