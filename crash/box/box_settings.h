// What the exception box reads of the crash reporter's settings (the overlay of the caught
// exception), read once when a box is built so that the box's rules work on plain values.
#pragma once

#include <array>
#include <string>

#include "crash/box/button_kind.h"
#include "crash/config/settings_view.h"

namespace userdb::crash {

struct BoxSettings {
  std::string title_bar;   // "TitleBar"
  std::string except_msg;  // "ExceptMsg"
  std::string frozen_msg;  // "FrozenMsg"
  // These three texts keep "%exceptMsg%" for the box to fill; the others are expanded.
  std::array<std::string, 7> captions{};  // "SendBtnTxt" … "CloseBtnTxt"
  std::array<bool, 7> visible{};          // "SendBtnVis" … "CloseBtnVis"
  int focused_button = 1;                 // "FocusedBtn": a ButtonKind's number
  bool ugly_buttons = false;              // "UglyBtns"
  std::string ok_caption;                 // "OkBtnTxt"
  std::string details_caption;            // "DetailsBtnTxt"
  bool auto_show_report = false;          // "AutoShowBugRep"
  bool auto_continue = false;             // "AutoContinue"
  int auto_delay_seconds = 60;            // "AutoDelay"
  std::string program_name;               // the executable's file name, with its extension

  const std::string& Caption(ButtonKind kind) const { return captions[IndexOf(kind)]; }
  bool Visible(ButtonKind kind) const { return visible[IndexOf(kind)]; }
};

BoxSettings ReadBoxSettings(const SettingsView& settings);

// After "show report" the box comes back without automatic buttons: "AutoContinue",
// "AutoRestart" and "AutoClose" are switched off in the exception's own settings.
void SwitchOffAutomaticButtons(SettingsView& settings);

}  // namespace userdb::crash
