#include "crash/box/box_showing.h"

namespace userdb::crash {

namespace {

constexpr int kShowAssistant = 1;
constexpr int kShowDetailBox = 2;
constexpr int kShowSimpleBox = 3;
constexpr int kShowNothing = 4;

}  // namespace

ExceptionPresentation PresentationFor(int show_setting, bool assistant_exists) {
  if (show_setting == kShowNothing) return ExceptionPresentation::kNothing;
  if (show_setting == kShowAssistant && assistant_exists) return ExceptionPresentation::kAssistant;
  return ExceptionPresentation::kBox;
}

BoxShowing FirstShowing(int show_setting, bool auto_show_report) {
  BoxShowing showing;
  if (show_setting == kShowDetailBox) {
    showing.form = BoxForm::kDetail;
  } else if (show_setting == kShowSimpleBox) {
    showing.form = BoxForm::kSimple;
  } else {
    showing.report_shown = auto_show_report;
  }
  return showing;
}

BoxShowing ShowingAfterShowReport() {
  return {BoxForm::kFull, true, false, false};
}

}  // namespace userdb::crash
