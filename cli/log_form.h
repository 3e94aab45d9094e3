// How userdb2csv prints the conversion log. The log holds the data's Windows-1252 bytes
// beside UTF-8 paths; a UTF-8 terminal shows the former only once they are converted, as
// the window shows them.
#pragma once

#include <string>
#include <string_view>

namespace userdb::cli {

enum class LogForm {
  kBytes,    // the bytes as they are
  kDisplay,  // valid UTF-8 kept, every other byte read as Windows-1252 (DisplayUtf8)
};

// The display form when the log is read as UTF-8 (standard output is a terminal, or the
// locale's character set is UTF-8), unless the bytes were asked for.
LogForm ChooseLogForm(bool bytes_requested, bool output_is_terminal, std::string_view locale);

// The locale that sets the character set: the first of LC_ALL, LC_CTYPE and LANG that is
// set and not empty; empty when none is.
std::string CharacterSetLocale();

// True when the locale's name gives UTF-8 as its character set: "C.UTF-8",
// "de_DE.utf8", "en_GB.UTF-8@euro".
bool IsUtf8Locale(std::string_view locale);

}  // namespace userdb::cli
