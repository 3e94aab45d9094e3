// Which window shows a caught exception, and how the box is shown the first time and again
// after "show report".
#pragma once

#include "crash/box/box_buttons.h"

namespace userdb::crash {

enum class ExceptionPresentation { kBox, kAssistant, kNothing };

// The show setting of the exception's filter: 1 runs the named assistant when it exists,
// 4 shows nothing, every other value a box (FirstShowing tells which).
ExceptionPresentation PresentationFor(int show_setting, bool assistant_exists);

struct BoxShowing {
  BoxForm form = BoxForm::kFull;
  bool report_shown = false;
  bool error_sound = true;
  bool automatic_buttons = true;
};

// 2 the detail box, 3 the simple box, any other the full box, with the report shown from the
// start when "AutoShowBugRep" is on. The first showing sounds the error sound.
BoxShowing FirstShowing(int show_setting, bool auto_show_report);

// After "show report" in the full or the detail box: the full box with the report, without
// sound and without automatic buttons.
BoxShowing ShowingAfterShowReport();

}  // namespace userdb::crash
