#include "crash/report/value_formats.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace userdb::crash {

namespace {

std::string Part(uint64_t count, std::string_view unit) {
  std::string part = std::to_string(count) + " " + std::string(unit);
  if (count != 1) part += 's';
  return part;
}

}  // namespace

std::string FormatDuration(uint64_t seconds) {
  const std::pair<uint64_t, std::string_view> units[] = {
      {seconds / 86400, "day"},
      {seconds / 3600 % 24, "hour"},
      {seconds / 60 % 60, "minute"},
      {seconds % 60, "second"},
  };
  size_t first = 0;
  while (first < 3 && units[first].first == 0) ++first;
  std::string text;
  for (size_t i = first; i < first + 2 && i < 4; ++i) {
    if (units[i].first == 0) continue;
    if (!text.empty()) text += ' ';
    text += Part(units[i].first, units[i].second);
  }
  return text.empty() ? Part(0, "second") : text;
}

std::string FormatSize(uint64_t bytes, std::string_view decimal_separator) {
  if (bytes < 1024) return std::to_string(bytes) + " Bytes";
  constexpr uint64_t kKb = 1024, kMb = kKb * 1024, kGb = kMb * 1024;
  const auto [unit, name] = bytes < kMb   ? std::pair(kKb, " KB")
                            : bytes < kGb ? std::pair(kMb, " MB")
                                          : std::pair(kGb, " GB");
  const uint64_t hundredths =
      static_cast<uint64_t>(static_cast<unsigned __int128>(bytes) * 100 / unit);
  char decimals[3];
  std::snprintf(decimals, sizeof decimals, "%02u", static_cast<unsigned>(hundredths % 100));
  return std::to_string(hundredths / 100) + std::string(decimal_separator) + decimals + name;
}

std::string UserDecimalSeparator() {
  const char* const variables[] = {"LC_ALL", "LC_NUMERIC", "LANG"};
  bool set = false;
  for (const char* variable : variables) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') set = true;
  }
  if (!set) return ",";
  const locale_t locale = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) return ",";
  std::string separator = nl_langinfo_l(RADIXCHAR, locale);
  freelocale(locale);
  return separator.empty() ? "," : separator;
}

std::string FormatReportTime(const LocalTime& time) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d, %02d:%02d:%02d, %dms", time.year, time.month,
                time.day, time.hour, time.minute, time.second, time.millisecond);
  return text;
}

std::string HexText(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
  return text;
}

std::string DollarHex(uint64_t value) {
  return "$" + HexText(value);
}

std::string AddressText(uintptr_t address) {
  char text[24];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(address));
  return text;
}

}  // namespace userdb::crash
