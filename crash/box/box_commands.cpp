#include "crash/box/box_commands.h"

namespace userdb::crash {

namespace {

constexpr int kFocusedContinue = static_cast<int>(ButtonKind::kContinue);
constexpr int kFocusedRestart = static_cast<int>(ButtonKind::kRestart);
constexpr int kFocusedClose = static_cast<int>(ButtonKind::kClose);

}  // namespace

BoxCommand ClickCommand(ButtonKind clicked, bool can_continue) {
  switch (clicked) {
    case ButtonKind::kSend:
      return BoxCommand::kSend;
    case ButtonKind::kSave:
      return BoxCommand::kSave;
    case ButtonKind::kPrint:
      return BoxCommand::kPrint;
    case ButtonKind::kShow:
      return BoxCommand::kShowReport;
    case ButtonKind::kContinue:
      return can_continue ? BoxCommand::kContinue : BoxCommand::kCloseApplication;
    case ButtonKind::kRestart:
      return BoxCommand::kRestart;
    case ButtonKind::kClose:
      return BoxCommand::kCloseApplication;
  }
  return BoxCommand::kNothing;
}

BoxCommand CloseRequestCommand(int focused_button_setting, const BoxButtons& buttons,
                               bool can_continue, BoxForm form) {
  if (focused_button_setting == kFocusedContinue)
    return ClickCommand(ButtonKind::kContinue, can_continue);
  if (focused_button_setting == kFocusedRestart) return BoxCommand::kRestart;
  if (focused_button_setting != kFocusedClose) {
    if (buttons.Shows(ButtonKind::kContinue) && can_continue) return BoxCommand::kContinue;
    if (!buttons.Shows(ButtonKind::kClose)) {
      if (buttons.Shows(ButtonKind::kRestart)) return BoxCommand::kRestart;
      if (form == BoxForm::kFull) return BoxCommand::kNothing;
    }
  }
  return BoxCommand::kCloseApplication;
}

std::string_view ClipboardText(bool report_shown, std::string_view exception_message,
                               std::string_view report_text) {
  return report_shown ? report_text : exception_message;
}

}  // namespace userdb::crash
