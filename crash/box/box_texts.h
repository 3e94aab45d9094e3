// The texts of the exception box: its title and its message, for the full box and for the
// simple and detail boxes.
#pragma once

#include <string>
#include <string_view>

#include "crash/box/box_exception.h"
#include "crash/box/box_settings.h"

namespace userdb::crash {

// The message with line breaks after its sentences: scanning the (1-based) positions p from
// the length - 10 down to 20, a "." at p followed by a blank turns that blank into CR LF.
// So a short message stays on one line, and the last few characters never stand alone.
std::string BreakMessageLines(std::string_view message);

struct BoxTexts {
  std::string title;
  std::string message;
};

// Title "TitleBar"; message "ExceptMsg" ("FrozenMsg" for a freeze), each with "%exceptMsg%"
// filled: the message with its line breaks in the text, on one line in the title.
BoxTexts FullBoxTexts(const BoxSettings& settings, const BoxException& exception);

// Title: the program's file name without extension. Message: the exception message with its
// line breaks; for a freeze "FrozenMsg" with "%exceptMsg%" filled.
BoxTexts SimpleBoxTexts(const BoxSettings& settings, const BoxException& exception);

}  // namespace userdb::crash
