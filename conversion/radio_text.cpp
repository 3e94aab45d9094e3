#include "conversion/radio_text.h"

#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>

#include "platform/text_encoding.h"

namespace userdb::conversion {

namespace {

// Converted texts kept before the cache starts afresh: enough for the names, cities and
// states of a whole database, few enough to stay small.
constexpr size_t kMaxCached = 100000;

bool IsAscii(std::string_view text) {
  unsigned char any = 0;
  for (const char byte : text) any |= static_cast<unsigned char>(byte);
  return any < 0x80;
}

// Whether the radio's code page for `choice` has the character.
bool HasCharacter(TextChoice choice, UChar32 character) {
  if (character < 0x80) return true;
  return choice == TextChoice::kCp1252 && platform::Windows1252FromCodePoint(character);
}

// Runs `transliterator` over every run of characters that the code page lacks, so that
// what it already has stays as it is ("Müller" keeps its "ü" in Windows-1252).
void TransliterateMissing(const icu::Transliterator& transliterator, TextChoice choice,
                          icu::UnicodeString& text) {
  int32_t start = 0;
  while (start < text.length()) {
    const UChar32 character = text.char32At(start);
    if (HasCharacter(choice, character)) {
      start += U16_LENGTH(character);
      continue;
    }
    int32_t limit = start;
    while (limit < text.length() && !HasCharacter(choice, text.char32At(limit))) {
      limit += U16_LENGTH(text.char32At(limit));
    }
    start = transliterator.transliterate(text, start, limit);
  }
}

// The letters of the last word of the character's Unicode name, in lower case: "ꭰ",
// CHEROKEE SMALL LETTER A, gives "a"; "ᠮ", MONGOLIAN LETTER MA, gives "ma". Nothing for a
// character without a name.
void AppendLatinName(UChar32 character, std::string& out) {
  char name[128];
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = u_charName(character, U_UNICODE_CHAR_NAME, name, sizeof name, &status);
  if (U_FAILURE(status) || length <= 0) return;
  const std::string_view whole(name, static_cast<size_t>(std::min<int32_t>(length, sizeof name)));
  const size_t last_blank = whole.rfind(' ');
  const std::string_view word =
      last_blank == std::string_view::npos ? whole : whole.substr(last_blank + 1);
  for (const char letter : word) {
    if (letter >= 'A' && letter <= 'Z') out += static_cast<char>(letter - 'A' + 'a');
  }
}

// A comma that a conversion yields becomes ";" and a control character a blank, so that a
// converted field stays one field.
void KeepOneField(std::string& text) {
  for (char& byte : text) {
    if (byte == ',') {
      byte = ';';
    } else if (static_cast<unsigned char>(byte) < 0x20) {
      byte = ' ';
    }
  }
}

std::u32string CodePointsOfWindows1252(std::string_view text) {
  std::u32string code_points;
  code_points.reserve(text.size());
  for (const char byte : text) code_points += platform::CodePointOfWindows1252(byte);
  return code_points;
}

bool EndsField(char byte) {
  return byte == ',' || static_cast<unsigned char>(byte) < 0x20;
}

}  // namespace

struct RadioText::Transliterators {
  // Either is missing when the library cannot make it; the names of Unicode then do.
  std::unique_ptr<icu::Transliterator> any_latin;
  std::unique_ptr<icu::Transliterator> latin_ascii;
};

RadioText::RadioText() = default;
RadioText::~RadioText() = default;
RadioText::RadioText(RadioText&&) noexcept = default;
RadioText& RadioText::operator=(RadioText&&) noexcept = default;

RadioText::Transliterators& RadioText::MadeTransliterators() {
  if (!transliterators_) {
    transliterators_ = std::make_unique<Transliterators>();
    const auto make = [](const char* id) {
      UErrorCode status = U_ZERO_ERROR;
      std::unique_ptr<icu::Transliterator> made(
          icu::Transliterator::createInstance(id, UTRANS_FORWARD, status));
      return U_SUCCESS(status) ? std::move(made) : nullptr;
    };
    transliterators_->any_latin = make("Any-Latin");
    transliterators_->latin_ascii = make("Latin-ASCII");
  }
  return *transliterators_;
}

std::string RadioText::Transliterate(TextChoice choice, std::u32string code_points) {
  icu::UnicodeString text =
      icu::UnicodeString::fromUTF32(reinterpret_cast<const UChar32*>(code_points.data()),
                                    static_cast<int32_t>(code_points.size()));
  UErrorCode status = U_ZERO_ERROR;
  // Composed first, so that a letter and its separate accent become the one letter the code
  // page may have.
  if (const icu::Normalizer2* composed = icu::Normalizer2::getNFCInstance(status);
      U_SUCCESS(status)) {
    icu::UnicodeString normalized = composed->normalize(text, status);
    if (U_SUCCESS(status)) text = normalized;
  }
  const Transliterators& transliterators = MadeTransliterators();
  if (transliterators.any_latin) TransliterateMissing(*transliterators.any_latin, choice, text);
  if (transliterators.latin_ascii) TransliterateMissing(*transliterators.latin_ascii, choice, text);

  std::string converted;
  for (int32_t index = 0; index < text.length(); index += U16_LENGTH(text.char32At(index))) {
    const UChar32 character = text.char32At(index);
    if (HasCharacter(choice, character)) {
      converted += choice == TextChoice::kAscii
                       ? static_cast<char>(character)
                       : *platform::Windows1252FromCodePoint(static_cast<char32_t>(character));
    } else if (u_isalpha(character)) {
      AppendLatinName(character, converted);
    }
  }
  KeepOneField(converted);
  return converted;
}

std::string RadioText::ConvertField(TextChoice choice, std::string_view field) {
  std::string converted;
  AppendField(choice, field, converted);
  return converted;
}

void RadioText::AppendField(TextChoice choice, std::string_view field, std::string& out) {
  if (choice == TextChoice::kKeep || IsAscii(field)) {
    out += field;
    return;
  }
  // Most letters beyond ASCII are Windows-1252 letters: converted at once, one code point
  // for one byte, which can be neither a comma nor a control character.
  if (choice == TextChoice::kCp1252 && platform::AppendWindows1252FromUtf8(field, out)) return;
  const bool utf8 = platform::IsWellFormedUtf8(field);
  if (choice == TextChoice::kCp1252 && !utf8) {
    out += field;  // not UTF-8: Windows-1252 already
    return;
  }
  Cache& cache = converted_[choice == TextChoice::kCp1252 ? 0 : 1];
  auto cached = cache.find(field);
  if (cached == cache.end()) {
    std::string converted = Transliterate(
        choice, utf8 ? *platform::CodePointsOfUtf8(field) : CodePointsOfWindows1252(field));
    if (cache.size() >= kMaxCached) cache.clear();
    cached = cache.emplace(std::string(field), std::move(converted)).first;
  }
  out += cached->second;
}

std::string_view RadioText::ConvertLine(TextChoice choice, std::string_view line,
                                        std::string& converted) {
  if (choice == TextChoice::kKeep || IsAscii(line)) return line;
  converted.clear();
  size_t start = 0;
  while (start <= line.size()) {
    size_t end = start;
    while (end < line.size() && !EndsField(line[end])) ++end;
    AppendField(choice, line.substr(start, end - start), converted);
    if (end == line.size()) break;
    converted += line[end];
    start = end + 1;
  }
  return converted;
}

}  // namespace userdb::conversion
