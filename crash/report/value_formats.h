// How a bug report writes durations, sizes, times and ids.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "crash/config/placeholder_expansion.h"

namespace userdb::crash {

// The two largest units of days, hours, minutes and seconds, starting with the largest
// non-zero one of days, hours and minutes (seconds alone under a minute); parts of 0 left
// out: "3 days 4 hours", "1 hour", "2 minutes 5 seconds", "45 seconds".
std::string FormatDuration(uint64_t seconds);

// Under 1024 bytes "<n> Bytes"; else KB, MB or GB with two decimals, cut, not rounded:
// "12,34 GB" with the separator ",".
std::string FormatSize(uint64_t bytes, std::string_view decimal_separator);

// The decimal separator of the user's locale (LC_ALL, LC_NUMERIC, LANG); "," when none is
// set or it cannot be read.
std::string UserDecimalSeparator();

// "2024-03-07, 14:05:09, 87ms".
std::string FormatReportTime(const LocalTime& time);

// "$" and lower-case hexadecimal digits without leading zeros: process and thread ids.
std::string DollarHex(uint64_t value);

// A code or data address: 16 lower-case hexadecimal digits.
std::string AddressText(uintptr_t address);

// Lower-case hexadecimal without leading zeros.
std::string HexText(uint64_t value);

}  // namespace userdb::crash
