// The automatic button of the exception box: the button that clicks itself after "AutoDelay"
// seconds, with a vertical line sweeping across it meanwhile. Any click or focus change
// stops the countdown.
#pragma once

#include <chrono>
#include <optional>

#include "crash/box/box_buttons.h"
#include "crash/box/box_settings.h"

namespace userdb::crash {

// Whether the "AutoClose" and "AutoRestart" values allow acting now, by the rule over the
// recent exception times of the crash-reporter's handling.
struct AutomaticRules {
  bool close_holds = false;
  bool restart_holds = false;
};

// Close before restart before continue, each only when its button is shown: close and
// restart when their rule holds, continue when "AutoContinue" is on and the exception can
// be continued. The chosen button also takes the focus.
std::optional<ButtonKind> AutomaticButton(const BoxSettings& settings, const BoxButtons& buttons,
                                          bool can_continue, const AutomaticRules& rules);

// The countdown redraws its button this often.
inline constexpr std::chrono::milliseconds kCountdownTick{10};

// The x of the sweeping line in a button `width` pixels wide, `elapsed` after the start.
int CountdownLineX(std::chrono::milliseconds elapsed, int auto_delay_seconds, int width);

// Whether the countdown has run out, so that its button is clicked; at once for a delay of
// 0 or less.
bool CountdownOver(std::chrono::milliseconds elapsed, int auto_delay_seconds);

}  // namespace userdb::crash
