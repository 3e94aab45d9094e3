// The exception box's texts with this program's settings: the line breaks of the message,
// the message and title of the full box, and of the simple and detail boxes.
#include "crash/box/box_texts.h"

#include <gtest/gtest.h>

#include "crash/config/settings_overlay.h"
#include "tests/support/case_name.h"
#include "tests/support/program_crash_settings.h"

namespace userdb::crash {

namespace {

using test_support::ProgramCrashSettings;

struct BreakCase {
  const char* what;
  std::string message;
  std::string broken;
};

class BreakMessageLinesTest : public ::testing::TestWithParam<BreakCase> {};

TEST_P(BreakMessageLinesTest, BreaksAfterTheSentencesInTheMiddle) {
  EXPECT_EQ(BreakMessageLines(GetParam().message), GetParam().broken);
}

// Positions are 1-based: the "." at p breaks when 20 <= p <= length - 10.
INSTANTIATE_TEST_SUITE_P(
    Cases, BreakMessageLinesTest,
    ::testing::Values(
        BreakCase{"empty", "", ""},
        BreakCase{"one sentence", "Datei kann nicht gelesen werden.",
                  "Datei kann nicht gelesen werden."},
        BreakCase{"dot at 20 of 30 breaks", std::string(19, 'x') + ". " + std::string(9, 'y'),
                  std::string(19, 'x') + ".\r\n" + std::string(9, 'y')},
        BreakCase{"dot at 19 stays", std::string(18, 'x') + ". " + std::string(20, 'y'),
                  std::string(18, 'x') + ". " + std::string(20, 'y')},
        BreakCase{"dot at length - 10 breaks", std::string(29, 'x') + ". " + std::string(9, 'y'),
                  std::string(29, 'x') + ".\r\n" + std::string(9, 'y')},
        BreakCase{"dot at length - 9 stays", std::string(30, 'x') + ". " + std::string(8, 'y'),
                  std::string(30, 'x') + ". " + std::string(8, 'y')},
        BreakCase{"a dot without a blank after it stays",
                  "Die Datei /tmp/UserDb.bin ist leer. Bitte andere Datei w\xE4hlen.",
                  "Die Datei /tmp/UserDb.bin ist leer.\r\nBitte andere Datei w\xE4hlen."},
        BreakCase{"several sentences",
                  "Zugriffsverletzung bei Adresse 0000000000401a2b in Modul 'userdb-transform'. "
                  "Lesen von Adresse 0000000000000000.",
                  "Zugriffsverletzung bei Adresse 0000000000401a2b in Modul 'userdb-transform'."
                  "\r\nLesen von Adresse 0000000000000000."},
        BreakCase{"two breaks", "Erster Satz ist lang genug. Zweiter Satz auch. Dritter Satz.",
                  "Erster Satz ist lang genug.\r\nZweiter Satz auch.\r\nDritter Satz."},
        BreakCase{"a last sentence of nine characters stays on the line",
                  "Erster Satz ist lang genug. Zweiter Satz auch. Dritter.",
                  "Erster Satz ist lang genug.\r\nZweiter Satz auch. Dritter."}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.what); });

class BoxTextsTest : public ::testing::Test {
 protected:
  std::shared_ptr<const ModuleSettings> settings_ = ProgramCrashSettings(PROGRAM_SETTINGS_SOURCE);
  SettingsOverlay overlay_{settings_};
  const std::string message_ =
      "Datei /data/UserDb.bin kann nicht ge\xF6"
      "ffnet werden. Zugriff verweigert.";
};

TEST_F(BoxTextsTest, TheFullBoxSaysThatTheApplicationRanIntoAnErrorUnderTheProgramsName) {
  const BoxTexts texts = FullBoxTexts(ReadBoxSettings(overlay_), {message_, false, true});
  EXPECT_EQ(texts.title, "userdb-transform");
  EXPECT_EQ(texts.message, "In der Anwendung trat ein Fehler auf");
}

TEST_F(BoxTextsTest, AFreezeSaysThatTheApplicationDoesNotAnswer) {
  const BoxTexts texts = FullBoxTexts(ReadBoxSettings(overlay_), {message_, true, true});
  EXPECT_EQ(texts.message, "Die Anwendung reagiert nicht mehr");
}

TEST_F(BoxTextsTest, TheExceptionMessageFillsItsPlaceholderWithItsLineBreaks) {
  overlay_.WriteText("ExceptMsg", "Fehler:%LF%%exceptMsg%");
  overlay_.WriteText("TitleBar", "%appname% - %EXCEPTMSG%");
  const BoxTexts texts = FullBoxTexts(ReadBoxSettings(overlay_), {message_, false, true});
  EXPECT_EQ(texts.message,
            "Fehler:\r\nDatei /data/UserDb.bin kann nicht ge\xF6"
            "ffnet werden.\r\nZugriff verweigert.");
  EXPECT_EQ(texts.title, "userdb-transform - " + message_);
}

TEST_F(BoxTextsTest, TheSimpleBoxShowsTheMessageUnderTheProgramNameWithoutExtension) {
  const BoxTexts texts = SimpleBoxTexts(ReadBoxSettings(overlay_), {message_, false, true});
  EXPECT_EQ(texts.title, "userdb-transform");
  EXPECT_EQ(texts.message,
            "Datei /data/UserDb.bin kann nicht ge\xF6"
            "ffnet werden.\r\nZugriff verweigert.");

  const auto tool = ProgramCrashSettings(PROGRAM_SETTINGS_SOURCE, "tool.bin");
  EXPECT_EQ(SimpleBoxTexts(ReadBoxSettings(*tool), {"x.", false, true}).title, "tool");
  EXPECT_EQ(SimpleBoxTexts(ReadBoxSettings(*tool), {"x.", true, true}).message,
            "Die Anwendung reagiert nicht mehr");
}

TEST_F(BoxTextsTest, ReadsTheButtonsAndTheirCaptionsOfThisProgram) {
  const BoxSettings box = ReadBoxSettings(overlay_);
  EXPECT_EQ(box.Caption(ButtonKind::kSend), "Sende einen Fehlerbericht");
  EXPECT_EQ(box.Caption(ButtonKind::kSave), "Fehlerbericht speichern");
  EXPECT_EQ(box.Caption(ButtonKind::kPrint), "Fehlerbericht ausdrucken");
  EXPECT_EQ(box.Caption(ButtonKind::kShow), "Fehlerbericht anzeigen");
  EXPECT_EQ(box.Caption(ButtonKind::kContinue), "Anwendung fortsetzen");
  EXPECT_EQ(box.Caption(ButtonKind::kRestart), "Anwendung neu starten");
  EXPECT_EQ(box.Caption(ButtonKind::kClose),
            "Anwendung schlie\xDF"
            "en");
  EXPECT_FALSE(box.Visible(ButtonKind::kPrint));
  EXPECT_TRUE(box.Visible(ButtonKind::kClose));
  EXPECT_EQ(box.focused_button, 1);
  EXPECT_EQ(box.ok_caption, "&OK");
  EXPECT_EQ(box.details_caption, "&Details");
  EXPECT_EQ(box.auto_delay_seconds, 60);
  EXPECT_FALSE(box.auto_continue);
  EXPECT_FALSE(box.ugly_buttons);
  EXPECT_FALSE(box.auto_show_report);
}

TEST_F(BoxTextsTest, ShowingTheReportSwitchesTheAutomaticButtonsOff) {
  overlay_.WriteBoolean("AutoContinue", true);
  overlay_.WriteInteger("AutoRestart", 5);
  SwitchOffAutomaticButtons(overlay_);
  EXPECT_FALSE(overlay_.ReadBoolean("AutoContinue"));
  EXPECT_EQ(overlay_.ReadInteger("AutoRestart"), 0);
  EXPECT_EQ(overlay_.ReadInteger("AutoClose"), 0);
}

}  // namespace

}  // namespace userdb::crash
