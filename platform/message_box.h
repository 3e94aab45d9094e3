// The one way every part of the program shows a message to the user and waits until it was
// seen: the window's notices and error boxes, the placement saver's errors and the crash
// reporter's own messages. The window program shows them as modal boxes; the command line
// and a crash reporter without a window write them to standard error.
#pragma once

#include <string_view>

namespace userdb::platform {

// A notice shows no icon; an error shows the error icon.
enum class MessageKind { kNotice, kError };

class MessageBox {
 public:
  virtual ~MessageBox() = default;
  // Shows `text` (the program's 8-bit text) captioned `caption` and returns when the user
  // has seen it.
  virtual void Show(std::string_view caption, std::string_view text, MessageKind kind) = 0;
};

// Writes "<caption>: <text>" as one line to standard error, in UTF-8.
class StandardErrorMessageBox : public MessageBox {
 public:
  void Show(std::string_view caption, std::string_view text, MessageKind kind) override;
};

}  // namespace userdb::platform
