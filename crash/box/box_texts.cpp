#include "crash/box/box_texts.h"

#include "crash/config/placeholder_expansion.h"
#include "platform/path.h"

namespace userdb::crash {

namespace {

constexpr size_t kFirstBreakPosition = 20;
constexpr size_t kKeptAtTheEnd = 10;

std::string WithMessage(std::string_view text, std::string_view message) {
  PlaceholderValues values;
  values.exception_message = std::string(message);
  return ExpandPlaceholders(text, values);
}

}  // namespace

std::string BreakMessageLines(std::string_view message) {
  std::string text(message);
  if (text.size() < kKeptAtTheEnd + kFirstBreakPosition) return text;
  // Scanning from the end keeps the positions still to be tested where they were.
  for (size_t p = text.size() - kKeptAtTheEnd; p >= kFirstBreakPosition; --p) {
    if (text[p - 1] == '.' && text[p] == ' ') text.replace(p, 1, "\r\n");
  }
  return text;
}

BoxTexts FullBoxTexts(const BoxSettings& settings, const BoxException& exception) {
  const std::string& text = exception.frozen ? settings.frozen_msg : settings.except_msg;
  return {WithMessage(settings.title_bar, exception.message),
          WithMessage(text, BreakMessageLines(exception.message))};
}

BoxTexts SimpleBoxTexts(const BoxSettings& settings, const BoxException& exception) {
  const std::string broken = BreakMessageLines(exception.message);
  return {platform::FileNameWithoutExtension(settings.program_name),
          exception.frozen ? WithMessage(settings.frozen_msg, broken) : broken};
}

}  // namespace userdb::crash
