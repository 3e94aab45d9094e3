#include "crash/box/box_settings.h"

namespace userdb::crash {

BoxSettings ReadBoxSettings(const SettingsView& settings) {
  BoxSettings box;
  box.title_bar = settings.ReadText("TitleBar");
  box.except_msg = settings.ReadText("ExceptMsg");
  box.frozen_msg = settings.ReadText("FrozenMsg");
  for (const ButtonKind kind : kButtonKinds) {
    box.captions[IndexOf(kind)] = settings.ReadText(kButtonCaptionSettings[IndexOf(kind)]);
    box.visible[IndexOf(kind)] = settings.ReadBoolean(kButtonVisibleSettings[IndexOf(kind)]);
  }
  box.focused_button = settings.ReadInteger("FocusedBtn");
  box.ugly_buttons = settings.ReadBoolean("UglyBtns");
  box.ok_caption = settings.ReadText("OkBtnTxt");
  box.details_caption = settings.ReadText("DetailsBtnTxt");
  box.auto_show_report = settings.ReadBoolean("AutoShowBugRep");
  box.auto_continue = settings.ReadBoolean("AutoContinue");
  box.auto_delay_seconds = settings.ReadInteger("AutoDelay");
  box.program_name = settings.Origin().executable_name;
  return box;
}

void SwitchOffAutomaticButtons(SettingsView& settings) {
  settings.WriteBoolean("AutoContinue", false);
  settings.WriteInteger("AutoRestart", 0);
  settings.WriteInteger("AutoClose", 0);
}

}  // namespace userdb::crash
