#include "crash/box/box_buttons.h"

#include <algorithm>

namespace userdb::crash {

bool BoxButtons::Shows(ButtonKind kind) const {
  return std::find(shown.begin(), shown.end(), kind) != shown.end();
}

bool BoxButtons::Enabled(ButtonKind kind) const {
  return Shows(kind) && !(kind == ButtonKind::kContinue && continue_disabled);
}

BoxButtons FullBoxButtons(const BoxSettings& settings, bool report_shown, bool can_continue) {
  BoxButtons buttons;
  for (const ButtonKind kind : kButtonKinds) {
    if (!settings.Visible(kind)) continue;
    if (kind == ButtonKind::kShow && report_shown) continue;
    buttons.shown.push_back(kind);
  }
  buttons.continue_disabled =
      buttons.Shows(ButtonKind::kContinue) && !can_continue &&
      (buttons.Shows(ButtonKind::kRestart) || buttons.Shows(ButtonKind::kClose));

  const int focused = settings.focused_button;
  if (focused >= 0 && focused < static_cast<int>(kButtonKinds.size()) &&
      buttons.Enabled(kButtonKinds[static_cast<size_t>(focused)])) {
    buttons.focused = kButtonKinds[static_cast<size_t>(focused)];
  } else {
    for (const ButtonKind kind : buttons.shown) {
      if (!buttons.Enabled(kind)) continue;
      buttons.focused = kind;
      break;
    }
  }
  return buttons;
}

BoxButtons SimpleBoxButtons(BoxForm form) {
  BoxButtons buttons;
  buttons.shown.push_back(ButtonKind::kContinue);
  if (form == BoxForm::kDetail) buttons.shown.push_back(ButtonKind::kShow);
  buttons.focused = ButtonKind::kContinue;
  return buttons;
}

const std::string& ButtonCaption(const BoxSettings& settings, BoxForm form, ButtonKind kind) {
  if (form == BoxForm::kFull) return settings.Caption(kind);
  return kind == ButtonKind::kShow ? settings.details_caption : settings.ok_caption;
}

}  // namespace userdb::crash
