#include "platform/message_box.h"

#include <cstdio>
#include <string>

#include "platform/display_text.h"

namespace userdb::platform {

void StandardErrorMessageBox::Show(std::string_view caption, std::string_view text, MessageKind) {
  const std::string line = DisplayUtf8(caption) + ": " + DisplayUtf8(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace userdb::platform
