// What the exception box does on a click, on a close request and on Ctrl+C.
#pragma once

#include <string>
#include <string_view>

#include "crash/box/box_buttons.h"
#include "crash/box/button_kind.h"

namespace userdb::crash {

enum class BoxCommand {
  kNothing,
  kContinue,
  kRestart,
  kCloseApplication,
  kShowReport,
  kSend,
  kSave,
  kPrint,
};

// A click on a button: close, and continue when the exception cannot be continued, close
// the application; every other button its own command.
BoxCommand ClickCommand(ButtonKind clicked, bool can_continue);

// Escape, the title bar's close button and Alt+F4. With "FocusedBtn" 4 or 5 that button's
// click; with 6 close the application. Otherwise continue when the continue button is shown
// and the exception can be continued; else, without a close button, restart when a restart
// button is shown, or nothing in the full box; and else close the application.
BoxCommand CloseRequestCommand(int focused_button_setting, const BoxButtons& buttons,
                               bool can_continue, BoxForm form);

// What Ctrl+C puts on the clipboard: the whole report while it is shown, otherwise the
// exception message.
std::string_view ClipboardText(bool report_shown, std::string_view exception_message,
                               std::string_view report_text);

}  // namespace userdb::crash
