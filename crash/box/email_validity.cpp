#include "crash/box/email_validity.h"

#include <string>

namespace userdb::crash {

namespace {

bool IsBlankOrControl(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code <= 32 || code == 127;
}

bool IsNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '+' || c == '-';
}

// Rule 2: an "@" after the first position with a "." after it.
bool HasDomainDot(std::string_view text) {
  const size_t at = text.find('@', 1);
  return at != std::string_view::npos && text.find('.', at + 1) != std::string_view::npos;
}

// Rule 3 for the last "@" that is not the first character.
bool DotRightAfterLastAt(std::string_view text) {
  const size_t at = text.rfind('@');
  if (at == std::string_view::npos || at == 0) return false;
  return at + 1 < text.size() && text[at + 1] == '.';
}

// Rule 4.
bool OnlyNameCharactersDotsAndOneAt(std::string_view text) {
  std::string rest;
  for (const char c : text) {
    if (!IsNameCharacter(c)) rest += c;
  }
  if (rest.size() == text.size()) return false;
  const size_t before_dots = rest.size();
  std::erase(rest, '.');
  return rest.size() < before_dots && rest == "@";
}

}  // namespace

bool IsValidEmailAddress(std::string_view text) {
  if (text.empty() || IsBlankOrControl(text.front()) || IsBlankOrControl(text.back())) return false;
  if (!HasDomainDot(text)) return false;
  if (text.front() == '.' || text.back() == '.' || DotRightAfterLastAt(text)) return false;
  return OnlyNameCharactersDotsAndOneAt(text);
}

}  // namespace userdb::crash
