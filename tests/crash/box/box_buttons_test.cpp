// Which buttons the boxes show, which one has the focus, what a click, a close request and
// Ctrl+C do, which box comes first and after "show report", and the automatic button.
#include <gtest/gtest.h>

#include "crash/box/automatic_button.h"
#include "crash/box/box_buttons.h"
#include "crash/box/box_commands.h"
#include "crash/box/box_showing.h"
#include "crash/config/settings_overlay.h"
#include "tests/support/case_name.h"
#include "tests/support/program_crash_settings.h"

namespace userdb::crash {

namespace {

using test_support::ProgramCrashSettings;
using enum ButtonKind;

class BoxButtonsTest : public ::testing::Test {
 protected:
  BoxSettings box_ = ReadBoxSettings(*ProgramCrashSettings(PROGRAM_SETTINGS_SOURCE));
};

TEST_F(BoxButtonsTest, TheOrdinaryBoxShowsSixButtonsWithTheFocusOnSave) {
  const BoxButtons buttons = FullBoxButtons(box_, false, true);
  EXPECT_EQ(buttons.shown,
            (std::vector<ButtonKind>{kSend, kSave, kShow, kContinue, kRestart, kClose}));
  EXPECT_EQ(buttons.focused, kSave);
  EXPECT_FALSE(buttons.continue_disabled);
  EXPECT_TRUE(buttons.Enabled(kContinue));
  EXPECT_FALSE(buttons.Enabled(kPrint));
}

TEST_F(BoxButtonsTest, TheShowButtonIsGoneWhileTheReportIsShown) {
  const BoxButtons buttons = FullBoxButtons(box_, true, true);
  EXPECT_EQ(buttons.shown, (std::vector<ButtonKind>{kSend, kSave, kContinue, kRestart, kClose}));
}

TEST_F(BoxButtonsTest, ContinueIsDisabledWhenTheExceptionCannotContinueAndTheProgramCanEnd) {
  BoxButtons buttons = FullBoxButtons(box_, false, false);
  EXPECT_TRUE(buttons.continue_disabled);
  EXPECT_FALSE(buttons.Enabled(kContinue));
  EXPECT_EQ(buttons.focused, kSave);

  // With neither restart nor close, continue stays the way out (it closes the program).
  box_.visible[IndexOf(kRestart)] = false;
  box_.visible[IndexOf(kClose)] = false;
  buttons = FullBoxButtons(box_, false, false);
  EXPECT_FALSE(buttons.continue_disabled);
}

struct FocusCase {
  int setting;
  bool can_continue;
  std::optional<ButtonKind> focused;
};

class BoxFocusTest : public BoxButtonsTest, public ::testing::WithParamInterface<FocusCase> {};

TEST_P(BoxFocusTest, FocusesTheNamedButtonOrElseTheFirstEnabledOne) {
  box_.focused_button = GetParam().setting;
  EXPECT_EQ(FullBoxButtons(box_, false, GetParam().can_continue).focused, GetParam().focused);
}

INSTANTIATE_TEST_SUITE_P(Cases, BoxFocusTest,
                         ::testing::Values(FocusCase{0, true, kSend}, FocusCase{1, true, kSave},
                                           FocusCase{2, true, kSend},  // print is hidden
                                           FocusCase{3, true, kShow}, FocusCase{4, true, kContinue},
                                           FocusCase{4, false, kSend},  // continue disabled
                                           FocusCase{5, false, kRestart},
                                           FocusCase{6, true, kClose}, FocusCase{7, true, kSend},
                                           FocusCase{-1, true, kSend}));

TEST_F(BoxButtonsTest, WithoutAnyButtonNothingHasTheFocus) {
  box_.visible = {};
  const BoxButtons buttons = FullBoxButtons(box_, false, true);
  EXPECT_TRUE(buttons.shown.empty());
  EXPECT_EQ(buttons.focused, std::nullopt);
}

TEST_F(BoxButtonsTest, TheSimpleBoxHasOkAndTheDetailBoxDetailsBesideIt) {
  const BoxButtons simple = SimpleBoxButtons(BoxForm::kSimple);
  EXPECT_EQ(simple.shown, std::vector<ButtonKind>{kContinue});
  EXPECT_EQ(simple.focused, kContinue);
  const BoxButtons detail = SimpleBoxButtons(BoxForm::kDetail);
  EXPECT_EQ(detail.shown, (std::vector<ButtonKind>{kContinue, kShow}));
  EXPECT_EQ(detail.focused, kContinue);
  EXPECT_EQ(ButtonCaption(box_, BoxForm::kSimple, kContinue), "&OK");
  EXPECT_EQ(ButtonCaption(box_, BoxForm::kDetail, kShow), "&Details");
  EXPECT_EQ(ButtonCaption(box_, BoxForm::kFull, kShow), "Fehlerbericht anzeigen");
}

struct ClickCase {
  ButtonKind clicked;
  bool can_continue;
  BoxCommand command;
};

class ClickCommandTest : public ::testing::TestWithParam<ClickCase> {};

TEST_P(ClickCommandTest, EachButtonHasItsCommand) {
  EXPECT_EQ(ClickCommand(GetParam().clicked, GetParam().can_continue), GetParam().command);
}

INSTANTIATE_TEST_SUITE_P(Cases, ClickCommandTest,
                         ::testing::Values(ClickCase{kSend, true, BoxCommand::kSend},
                                           ClickCase{kSave, false, BoxCommand::kSave},
                                           ClickCase{kPrint, true, BoxCommand::kPrint},
                                           ClickCase{kShow, false, BoxCommand::kShowReport},
                                           ClickCase{kContinue, true, BoxCommand::kContinue},
                                           ClickCase{kContinue, false,
                                                     BoxCommand::kCloseApplication},
                                           ClickCase{kRestart, true, BoxCommand::kRestart},
                                           ClickCase{kClose, true, BoxCommand::kCloseApplication}));

struct CloseRequestCase {
  const char* what;
  int focused_setting;
  std::vector<ButtonKind> shown;
  bool can_continue;
  BoxForm form;
  BoxCommand command;
};

class CloseRequestTest : public ::testing::TestWithParam<CloseRequestCase> {};

TEST_P(CloseRequestTest, FollowsTheFocusedButtonSettingAndTheButtonsShown) {
  BoxButtons buttons;
  buttons.shown = GetParam().shown;
  EXPECT_EQ(CloseRequestCommand(GetParam().focused_setting, buttons, GetParam().can_continue,
                                GetParam().form),
            GetParam().command);
}

const std::vector<ButtonKind> kAllShown = {kSend, kSave, kShow, kContinue, kRestart, kClose};

INSTANTIATE_TEST_SUITE_P(
    Cases, CloseRequestTest,
    ::testing::Values(CloseRequestCase{"this program continues", 1, kAllShown, true, BoxForm::kFull,
                                       BoxCommand::kContinue},
                      CloseRequestCase{"this program closes what cannot continue", 1, kAllShown,
                                       false, BoxForm::kFull, BoxCommand::kCloseApplication},
                      CloseRequestCase{"focused continue continues", 4, kAllShown, true,
                                       BoxForm::kFull, BoxCommand::kContinue},
                      CloseRequestCase{"focused continue closes what cannot continue", 4, kAllShown,
                                       false, BoxForm::kFull, BoxCommand::kCloseApplication},
                      CloseRequestCase{"focused restart restarts", 5, kAllShown, true,
                                       BoxForm::kFull, BoxCommand::kRestart},
                      CloseRequestCase{"focused close closes", 6, kAllShown, true, BoxForm::kFull,
                                       BoxCommand::kCloseApplication},
                      CloseRequestCase{"without close a restart button restarts",
                                       1,
                                       {kSave, kContinue, kRestart},
                                       false,
                                       BoxForm::kFull,
                                       BoxCommand::kRestart},
                      CloseRequestCase{"without continue restarts",
                                       0,
                                       {kSave, kRestart},
                                       true,
                                       BoxForm::kFull,
                                       BoxCommand::kRestart},
                      CloseRequestCase{"the full box without a way out stays",
                                       1,
                                       {kSend, kSave},
                                       true,
                                       BoxForm::kFull,
                                       BoxCommand::kNothing},
                      CloseRequestCase{"the simple box continues",
                                       1,
                                       {kContinue},
                                       true,
                                       BoxForm::kSimple,
                                       BoxCommand::kContinue},
                      CloseRequestCase{"the simple box closes what cannot continue",
                                       1,
                                       {kContinue},
                                       false,
                                       BoxForm::kSimple,
                                       BoxCommand::kCloseApplication},
                      CloseRequestCase{"the detail box closes what cannot continue",
                                       1,
                                       {kContinue, kShow},
                                       false,
                                       BoxForm::kDetail,
                                       BoxCommand::kCloseApplication}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.what); });

TEST(ClipboardTextTest, CopiesTheMessageOrTheWholeReportWhileItIsShown) {
  EXPECT_EQ(ClipboardText(false, "Datei fehlt.", "date/time : 1"), "Datei fehlt.");
  EXPECT_EQ(ClipboardText(true, "Datei fehlt.", "date/time : 1"), "date/time : 1");
}

TEST(BoxShowingTest, TheShowSettingChoosesTheWindow) {
  EXPECT_EQ(PresentationFor(0, false), ExceptionPresentation::kBox);
  EXPECT_EQ(PresentationFor(1, true), ExceptionPresentation::kAssistant);
  EXPECT_EQ(PresentationFor(1, false), ExceptionPresentation::kBox);
  EXPECT_EQ(PresentationFor(2, true), ExceptionPresentation::kBox);
  EXPECT_EQ(PresentationFor(3, false), ExceptionPresentation::kBox);
  EXPECT_EQ(PresentationFor(4, true), ExceptionPresentation::kNothing);

  EXPECT_EQ(FirstShowing(0, false).form, BoxForm::kFull);
  EXPECT_FALSE(FirstShowing(0, false).report_shown);
  EXPECT_TRUE(FirstShowing(0, true).report_shown);
  EXPECT_TRUE(FirstShowing(0, false).error_sound);
  EXPECT_TRUE(FirstShowing(0, false).automatic_buttons);
  EXPECT_EQ(FirstShowing(1, false).form, BoxForm::kFull);  // the assistant could not be loaded
  EXPECT_EQ(FirstShowing(2, false).form, BoxForm::kDetail);
  EXPECT_EQ(FirstShowing(3, true).form, BoxForm::kSimple);
  EXPECT_FALSE(FirstShowing(3, true).report_shown);

  const BoxShowing again = ShowingAfterShowReport();
  EXPECT_EQ(again.form, BoxForm::kFull);
  EXPECT_TRUE(again.report_shown);
  EXPECT_FALSE(again.error_sound);
  EXPECT_FALSE(again.automatic_buttons);
}

struct AutomaticCase {
  const char* what;
  std::vector<ButtonKind> shown;
  bool auto_continue;
  bool can_continue;
  AutomaticRules rules;
  std::optional<ButtonKind> button;
};

class AutomaticButtonTest : public BoxButtonsTest,
                            public ::testing::WithParamInterface<AutomaticCase> {};

TEST_P(AutomaticButtonTest, ChoosesCloseBeforeRestartBeforeContinue) {
  box_.auto_continue = GetParam().auto_continue;
  BoxButtons buttons;
  buttons.shown = GetParam().shown;
  EXPECT_EQ(AutomaticButton(box_, buttons, GetParam().can_continue, GetParam().rules),
            GetParam().button);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AutomaticButtonTest,
    ::testing::Values(
        AutomaticCase{"this program has none", kAllShown, false, true, {}, std::nullopt},
        AutomaticCase{"continue", kAllShown, true, true, {}, kContinue},
        AutomaticCase{"not continue when it cannot", kAllShown, true, false, {}, std::nullopt},
        AutomaticCase{"restart before continue", kAllShown, true, true, {false, true}, kRestart},
        AutomaticCase{"close before restart", kAllShown, true, true, {true, true}, kClose},
        AutomaticCase{
            "close only when shown", {kContinue, kRestart}, false, true, {true, true}, kRestart},
        AutomaticCase{"continue only when shown", {kSave}, true, true, {}, std::nullopt}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.what); });

TEST(CountdownTest, TheLineSweepsAcrossTheButtonDuringTheDelay) {
  using std::chrono::milliseconds;
  EXPECT_EQ(CountdownLineX(milliseconds(0), 60, 160), 0);
  EXPECT_EQ(CountdownLineX(milliseconds(30000), 60, 160), 80);
  EXPECT_EQ(CountdownLineX(milliseconds(59999), 60, 160), 159);
  EXPECT_FALSE(CountdownOver(milliseconds(59999), 60));
  EXPECT_TRUE(CountdownOver(milliseconds(60000), 60));
  EXPECT_EQ(CountdownLineX(milliseconds(60000), 60, 160), 160);
  EXPECT_TRUE(CountdownOver(milliseconds(0), 0));
  EXPECT_TRUE(CountdownOver(milliseconds(0), -5));
  EXPECT_EQ(CountdownLineX(milliseconds(0), 0, 160), 160);
}

}  // namespace

}  // namespace userdb::crash
