// Which buttons an exception box shows, which of them is disabled and which has the focus.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "crash/box/box_settings.h"
#include "crash/box/button_kind.h"

namespace userdb::crash {

// The forms of the box: the full box with its seven kinds of buttons; the simple box, a
// message box with "OkBtnTxt" (the continue button); the detail box, the simple box with
// "DetailsBtnTxt" (the show button) right of it.
enum class BoxForm { kFull, kDetail, kSimple };

struct BoxButtons {
  std::vector<ButtonKind> shown;      // in the order of ButtonKind
  bool continue_disabled = false;     // then drawn with the cantContinue picture
  std::optional<ButtonKind> focused;  // the default button, which has the keyboard focus

  bool Shows(ButtonKind kind) const;
  bool Enabled(ButtonKind kind) const;
};

// Each kind whose "…BtnVis" is on, the show button only while the report is not shown. The
// continue button is disabled when the exception cannot be continued and a restart or close
// button is there to end the program instead. The focus goes to the kind "FocusedBtn"
// names; when that one is not shown or disabled, to the first enabled button.
BoxButtons FullBoxButtons(const BoxSettings& settings, bool report_shown, bool can_continue);

// OK, and in the detail box Details; OK is always enabled and has the focus.
BoxButtons SimpleBoxButtons(BoxForm form);

// "SendBtnTxt" and so on in the full box; "OkBtnTxt" and "DetailsBtnTxt" in the others.
const std::string& ButtonCaption(const BoxSettings& settings, BoxForm form, ButtonKind kind);

}  // namespace userdb::crash
