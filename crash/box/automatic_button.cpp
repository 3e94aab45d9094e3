#include "crash/box/automatic_button.h"

#include <algorithm>

namespace userdb::crash {

std::optional<ButtonKind> AutomaticButton(const BoxSettings& settings, const BoxButtons& buttons,
                                          bool can_continue, const AutomaticRules& rules) {
  if (buttons.Shows(ButtonKind::kClose) && rules.close_holds) return ButtonKind::kClose;
  if (buttons.Shows(ButtonKind::kRestart) && rules.restart_holds) return ButtonKind::kRestart;
  if (buttons.Shows(ButtonKind::kContinue) && settings.auto_continue && can_continue)
    return ButtonKind::kContinue;
  return std::nullopt;
}

int CountdownLineX(std::chrono::milliseconds elapsed, int auto_delay_seconds, int width) {
  if (CountdownOver(elapsed, auto_delay_seconds)) return width;
  const int64_t total = int64_t{auto_delay_seconds} * 1000;
  const int64_t done = std::max<int64_t>(elapsed.count(), 0);
  return static_cast<int>(int64_t{width} * done / total);
}

bool CountdownOver(std::chrono::milliseconds elapsed, int auto_delay_seconds) {
  return elapsed.count() >= int64_t{auto_delay_seconds} * 1000;
}

}  // namespace userdb::crash
