#include "platform/text_encoding.h"

#include <cstdint>

namespace userdb::platform {

namespace {

constexpr char kMissing = '?';
constexpr char32_t kReplacementCharacter = 0xFFFD;

// Unicode of the bytes 0x80 to 0x9F in Windows-1252; the unassigned bytes keep their
// own value.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The code point of the well-formed UTF-8 sequence of `length` bytes at the start of
// `text`.
char32_t DecodeUtf8(std::string_view text, size_t length) {
  const auto lead = static_cast<uint8_t>(text[0]);
  if (length == 1) return lead;
  char32_t code_point = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    code_point = (code_point << 6) | (static_cast<uint8_t>(text[i]) & 0x3F);
  }
  return code_point;
}

// Converts what it can; tells in `lossless` whether every character could be.
std::string ConvertUtf8(std::string_view text, bool& lossless) {
  std::string converted;
  converted.reserve(text.size());
  lossless = true;
  while (!text.empty()) {
    const size_t length = Utf8SequenceLength(text);
    const auto byte =
        length > 0 ? Windows1252FromCodePoint(DecodeUtf8(text, length)) : std::optional<char>();
    lossless = lossless && byte.has_value();
    converted += byte.value_or(kMissing);
    text.remove_prefix(length > 0 ? length : 1);
  }
  return converted;
}

// Calls `visit` with each character of UTF-16LE text: its code point, or a lone
// surrogate's own value.
template <typename Visit>
void ForEachUtf16Character(std::string_view bytes, Visit visit) {
  const auto unit_at = [&](size_t i) {
    return static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                 (static_cast<uint8_t>(bytes[i + 1]) << 8));
  };
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char16_t unit = unit_at(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
      const char16_t next = unit_at(i + 2);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        i += 2;
        visit(0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (next - 0xDC00));
        continue;
      }
    }
    visit(unit);
  }
}

bool IsSurrogate(char32_t code_point) {
  return code_point >= 0xD800 && code_point <= 0xDFFF;
}

}  // namespace

char32_t CodePointOfWindows1252(char byte) {
  const auto value = static_cast<uint8_t>(byte);
  return value >= 0x80 && value < 0xA0 ? kHighControls[value - 0x80] : value;
}

std::optional<char> Windows1252FromCodePoint(char32_t code_point) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    return static_cast<char>(code_point);
  }
  for (size_t i = 0; i < std::size(kHighControls); ++i) {
    if (kHighControls[i] == code_point) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

std::string Windows1252FromUtf16Le(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() / 2);
  ForEachUtf16Character(bytes, [&](char32_t code_point) {
    text += Windows1252FromCodePoint(code_point).value_or(kMissing);
  });
  return text;
}

std::optional<std::string> Windows1252FromUtf8(std::string_view text) {
  std::string converted;
  if (!AppendWindows1252FromUtf8(text, converted)) return std::nullopt;
  return converted;
}

bool AppendWindows1252FromUtf8(std::string_view text, std::string& out) {
  const size_t start = out.size();
  while (!text.empty()) {
    const size_t length = Utf8SequenceLength(text);
    const std::optional<char> byte =
        length > 0 ? Windows1252FromCodePoint(DecodeUtf8(text, length)) : std::nullopt;
    if (!byte) {
      out.resize(start);
      return false;
    }
    out += *byte;
    text.remove_prefix(length);
  }
  return true;
}

std::string Windows1252FromUtf8Replacing(std::string_view text) {
  bool lossless = false;
  return ConvertUtf8(text, lossless);
}

std::string Utf8FromUtf16Le(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  ForEachUtf16Character(bytes, [&](char32_t code_point) {
    AppendUtf8(text, IsSurrogate(code_point) ? kReplacementCharacter : code_point);
  });
  return text;
}

size_t Utf8SequenceLength(std::string_view text) {
  if (text.empty()) return 0;
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint8_t low = 0x80, high = 0xBF;  // bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

std::optional<std::u32string> CodePointsOfUtf8(std::string_view text) {
  std::u32string code_points;
  code_points.reserve(text.size());
  while (!text.empty()) {
    const size_t length = Utf8SequenceLength(text);
    if (length == 0) return std::nullopt;
    code_points += DecodeUtf8(text, length);
    text.remove_prefix(length);
  }
  return code_points;
}

bool IsWellFormedUtf8(std::string_view text) {
  while (!text.empty()) {
    const size_t length = Utf8SequenceLength(text);
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

}  // namespace userdb::platform
