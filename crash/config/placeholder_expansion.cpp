#include "crash/config/placeholder_expansion.h"

#include <time.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "platform/case_insensitive_1252.h"

namespace userdb::crash {

namespace {

// The text in pieces: the parts of the original text that may still hold placeholders,
// and the values inserted for placeholders already replaced.
struct TextPiece {
  std::string text;
  bool inserted = false;
};

void ReplaceEach(std::vector<TextPiece>& pieces, std::string_view placeholder,
                 const std::string& value) {
  std::vector<TextPiece> result;
  for (TextPiece& piece : pieces) {
    if (piece.inserted) {
      result.push_back(std::move(piece));
      continue;
    }
    const std::string_view text = piece.text;
    size_t start = 0;
    for (size_t at = 0; at + placeholder.size() <= text.size();) {
      if (!platform::EqualIgnoringCase1252(text.substr(at, placeholder.size()), placeholder)) {
        ++at;
        continue;
      }
      result.push_back({std::string(text.substr(start, at - start)), false});
      result.push_back({value, true});
      at += placeholder.size();
      start = at;
    }
    result.push_back({std::string(text.substr(start)), false});
  }
  pieces = std::move(result);
}

void ReplaceEach(std::vector<TextPiece>& pieces, std::string_view placeholder,
                 const std::optional<std::string>& value) {
  if (value) ReplaceEach(pieces, placeholder, *value);
}

std::string DateText(const LocalTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", time.year, time.month, time.day);
  return text;
}

std::string TimeText(const LocalTime& time) {
  char text[48];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d, %dms", time.hour, time.minute, time.second,
                time.millisecond);
  return text;
}

}  // namespace

LocalTime CurrentLocalTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return {local.tm_year + 1900,
          local.tm_mon + 1,
          local.tm_mday,
          local.tm_hour,
          local.tm_min,
          local.tm_sec,
          static_cast<int>(now.tv_nsec / 1000000)};
}

std::string ExpandPlaceholders(std::string_view text, const PlaceholderValues& values) {
  std::vector<TextPiece> pieces{{std::string(text), false}};
  ReplaceEach(pieces, "%appname%", values.app_name);
  ReplaceEach(pieces, "%modname%", values.module_name);
  ReplaceEach(pieces, "%appversion%", values.app_version);
  ReplaceEach(pieces, "%modversion%", values.module_version);
  if (values.exception_message) {
    const std::string& message = *values.exception_message;
    ReplaceEach(pieces, "%exceptMsg%", message.empty() ? std::string("Unknown") : message);
  }
  ReplaceEach(pieces, "%bugReport%", values.bug_report);
  ReplaceEach(pieces, "%LF%", std::string("\r\n"));
  if (values.time) {
    const std::string date = DateText(*values.time), time = TimeText(*values.time);
    ReplaceEach(pieces, "%date%", date);
    ReplaceEach(pieces, "%time%", time);
    ReplaceEach(pieces, "%datetime%", date + ", " + time);
  }
  std::string expanded;
  for (const TextPiece& piece : pieces) expanded += piece.text;
  return expanded;
}

}  // namespace userdb::crash
