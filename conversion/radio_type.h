// The radio types and display formats, and what the user sees for each: the window's
// option items and the log's "Output format used for type: " and
// "Display format used : " lines.
#pragma once

enum RadioType : int { kMd9600 = 0, kMd2017 = 1 };
enum DisplayFormat : int { kFieldPerLine = 0, kCompact = 1 };

inline constexpr const char* kRadioTypeCaptions[] = {"MD-9600/RT90", "MD-2017/RT82"};
inline constexpr const char* kDisplayFormatCaptions[] = {"field per line", "compact it"};
