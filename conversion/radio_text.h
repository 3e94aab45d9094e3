// Text the radio can show. The contacts file is Windows-1252 and the radio's display counts
// bytes; a database in UTF-8 written through as bytes shows "MÃ¼ller" and pads by bytes,
// not letters. The text choice converts every field that holds a byte above 0x7F before
// the line is cleaned and split, so that widths and padding count the converted bytes.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace userdb::conversion {

enum class TextChoice {
  kKeep,    // the bytes as they are
  kCp1252,  // UTF-8 decoded: Windows-1252 letters as their byte, every other letter in Latin
  kAscii,   // everything folded to 7-bit ASCII
};

// Converts field texts for a text choice. A field that is not well-formed UTF-8 is taken
// as Windows-1252 already. A character that Windows-1252 (or ASCII) lacks is
// transliterated to Latin letters ("Łukasz" becomes "Lukasz", "Сергей" "Sergej"), through
// the Unicode library's transliterators; a letter of a script without a Latin reading of
// its own is written as the Latin name Unicode gives it, and anything else that has no
// Latin form (a symbol) is left out. Never a "?".
//
// The transliterators take long to make (a large part of a second for the first), so
// they are made only when a text first needs one, and kept with the object: one object
// serves every run of a program. Not for several threads at once.
class RadioText {
 public:
  RadioText();
  ~RadioText();
  RadioText(RadioText&&) noexcept;
  RadioText& operator=(RadioText&&) noexcept;

  // The field converted for `choice`; unchanged for kKeep and for a field of ASCII bytes.
  std::string ConvertField(TextChoice choice, std::string_view field);
  // The same, appended to `out`.
  void AppendField(TextChoice choice, std::string_view field, std::string& out);

  // The line with each of its fields converted: a field is a run of bytes between commas
  // and control characters (bytes below 0x20), as the line is split later. A comma or a
  // control character that a conversion yields becomes ";" or a blank, so that the line
  // keeps its fields. Gives `line` itself when nothing changes, else a view of
  // `converted`.
  std::string_view ConvertLine(TextChoice choice, std::string_view line, std::string& converted);

 private:
  struct Transliterators;

  // Looked up by a text's view, without a copy of the text.
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
  };
  using Cache = std::unordered_map<std::string, std::string, TextHash, std::equal_to<>>;

  std::string Transliterate(TextChoice choice, std::u32string code_points);
  Transliterators& MadeTransliterators();

  std::unique_ptr<Transliterators> transliterators_;
  // Fields the transliterators converted, by choice and text: databases repeat names,
  // cities and states.
  Cache converted_[2];
};

}  // namespace userdb::conversion
