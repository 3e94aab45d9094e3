// What the user sees for each radio type and display format: the window's option items
// and the log's "Output format used for type: " and "Display format used : " lines.
#pragma once

inline constexpr const char* kRadioTypeCaptions[] = {"MD-9600/RT90", "MD-2017/RT82"};
inline constexpr const char* kDisplayFormatCaptions[] = {"field per line", "compact it"};
