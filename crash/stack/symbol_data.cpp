#include "crash/stack/symbol_data.h"

namespace userdb::crash::detail {

std::string BuildIdText(const std::string& build_id) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(build_id.size() * 2);
  for (const char byte : build_id) {
    text += kDigits[static_cast<uint8_t>(byte) >> 4];
    text += kDigits[static_cast<uint8_t>(byte) & 0xF];
  }
  return text;
}

std::string MinimalDebugText(const std::string& source, const std::string& build_id) {
  if (build_id.empty()) return source;
  return source + ", build id " + BuildIdText(build_id);
}

}  // namespace userdb::crash::detail
