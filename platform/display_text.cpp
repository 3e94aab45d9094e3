#include "platform/display_text.h"

#include "platform/text_encoding.h"

namespace userdb::platform {

std::string DisplayUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    if (const size_t length = Utf8SequenceLength(bytes)) {
      out.append(bytes.substr(0, length));
      bytes.remove_prefix(length);
    } else {
      AppendUtf8(out, CodePointOfWindows1252(bytes[0]));
      bytes.remove_prefix(1);
    }
  }
  return out;
}

}  // namespace userdb::platform
