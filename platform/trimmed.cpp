#include "platform/trimmed.h"

namespace userdb::platform {

std::string_view Trimmed(std::string_view text, std::string_view cut) {
  const size_t first = text.find_first_not_of(cut);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(cut) - first + 1);
}

}  // namespace userdb::platform
