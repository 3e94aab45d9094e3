// The radio types and display formats, and what the user sees for each: the window's
// option items and the log's "Output format used for type: " and
// "Display format used : " lines.
#pragma once

#include <optional>

namespace userdb::conversion {

enum RadioType : int { kMd9600 = 0, kMd2017 = 1 };
enum DisplayFormat : int { kFieldPerLine = 0, kCompact = 1 };

inline constexpr const char* kRadioTypeCaptions[] = {"MD-9600/RT90", "MD-2017/RT82"};
inline constexpr const char* kDisplayFormatCaptions[] = {"field per line", "compact it"};

// The radio type of an option item's index; nothing for -1 (no item selected) and for any
// index beyond the two items.
std::optional<RadioType> RadioTypeOfIndex(int index);
// The display format of an option item's index: 0 is "field per line", any other value
// "compact it", as the contact lines read it.
DisplayFormat DisplayFormatOfIndex(int index);

const char* RadioTypeCaption(RadioType radio_type);
// "compact it" for any value other than kFieldPerLine, as for the contact lines.
const char* DisplayFormatCaption(DisplayFormat display_format);

}  // namespace userdb::conversion
