// The program's message boxes as the window shows them: modal, centred on the screen, with
// one "OK" button; an error with the error icon. Every box of the program goes through this
// one implementation of the message box interface.
#pragma once

#include <string_view>

#include "platform/message_box.h"

namespace userdb::app {

// Returns when the user has closed the box; no other window of the program takes input
// meanwhile. The caption and the text are the program's 8-bit text (a caption made from a
// file name is UTF-8, which shows as such).
class WindowMessageBox : public platform::MessageBox {
 public:
  void Show(std::string_view caption, std::string_view text, platform::MessageKind kind) override;
};

}  // namespace userdb::app
