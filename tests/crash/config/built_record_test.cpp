// The settings record as the build puts it into every program of ours, read back from the
// built programs.
#include <stdio.h>
#include <sys/wait.h>

#include <vector>

#include <gtest/gtest.h>

#include "crash/config/settings_registry.h"
#include "crash/config/settings_stream.h"
#include "crash/config/settings_stream_writer.h"
#include "platform/module_section.h"
#include "programs_with_settings.h"
#include "tests/crash/config/property_printer.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {

namespace {

using test_support::TempFolder;

void FunctionOfThisProgram() {}

// Every property of this program's record, in stream order, with its value: what the build
// tool must have put into the settings stream from crash/config/crash_settings.txt.
const std::vector<Property>& ExpectedRecord() {
  static const std::vector<Property> kRecord = {
      // General
      BooleanProperty("Enabled", true),
      BooleanProperty("NoSettings", false),
      BooleanProperty("CheckFileCrc", true),
      BooleanProperty("CheckFreeze", false),
      IntegerProperty("FreezeTimeout", 60000),
      // Automatic actions
      BooleanProperty("AutoSave", true),
      BooleanProperty("AutoSaveIfNotSent", true),
      BooleanProperty("AutoSend", false),
      BooleanProperty("AutoSendBox", false),
      BooleanProperty("AutoClip", false),
      BooleanProperty("PauseThreads", false),
      BooleanProperty("PlWaitBox", true),
      BooleanProperty("AutoContinue", false),
      IntegerProperty("AutoRestart", 0),
      IntegerProperty("AutoClose", 0),
      // Exception box
      BooleanProperty("SendBtnVis", true),
      BooleanProperty("SaveBtnVis", true),
      BooleanProperty("PrintBtnVis", false),
      BooleanProperty("ShowBtnVis", true),
      BooleanProperty("ContinueBtnVis", true),
      BooleanProperty("RestartBtnVis", true),
      BooleanProperty("CloseBtnVis", true),
      IntegerProperty("FocusedBtn", 1),
      TextProperty("SendAssis", "SendAssistant"),
      TextProperty("SaveAssis", "SaveAssistant"),
      TextProperty("PrintAssis", "PrintAssistant"),
      BooleanProperty("AutoShowBugRep", false),
      BooleanProperty("UglyBtns", false),
      // Sending
      TextProperty("MailAddr", "crash-reports@deployer-sets-this.invalid"),
      BooleanProperty("SendInBackgr", true),
      BooleanProperty("MailAsSmtpServer", false),
      BooleanProperty("MailAsSmtpClient", false),
      BooleanProperty("UploadViaHttp", false),
      BooleanProperty("MailViaMapi", true),
      BooleanProperty("MailViaMailto", true),
      TextProperty("SmtpServer", ""),
      IntegerProperty("SmtpPort", 25),
      TextProperty("SmtpAccount", ""),
      TextProperty("SmtpPassword", ""),
      TextProperty("HttpServer", ""),
      IntegerProperty("HttpPort", 80),
      TextProperty("HttpAccount", ""),
      TextProperty("HttpPassword", ""),
      // Attachments
      BooleanProperty("AttachBugRep", true),
      BooleanProperty("AttachBugRepFile", true),
      BooleanProperty("DelBugRepFile", true),
      TextProperty("BugRepSendAs", "bugreport.txt"),
      TextProperty("BugRepZip", ""),
      IntegerProperty("ScrShotDepth", 8),
      BooleanProperty("ScrShotAppOnly", true),
      TextProperty("ScrShotSendAs", "screenshot.png"),
      TextProperty("ScrShotZip", ""),
      TextProperty("AddAttachs", ""),
      // Bug report file
      TextProperty("BugRepFile", "bugreport.txt"),
      BooleanProperty("AppendBugReps", true),
      IntegerProperty("BugRepFileSize", 200000),
      BooleanProperty("NoDupExcepts", true),
      BooleanProperty("NoDupFreezes", true),
      IntegerProperty("DupExceptDef", 1),
      IntegerProperty("DupFreezeDef", 2),
      // Report contents
      BooleanProperty("ListThreads", true),
      BooleanProperty("CpuRegs", false),
      BooleanProperty("StackDump", true),
      BooleanProperty("ShowDisAsm", true),
      BooleanProperty("HideUglyItems", false),
      BooleanProperty("ShowRelAddrs", true),
      BooleanProperty("ShowRelLines", true),
      BooleanProperty("FormatDisAsm", false),
      IntegerProperty("LimitDisAsm", 5),
      TextProperty("Plugins", "modules|processes|hardware"),
      // Exception filters
      TextProperty("F1Classes", "EDBEditError"),
      BooleanProperty("F1NoBugRep", true),
      BooleanProperty("F1NoScrShot", true),
      BooleanProperty("F1NoHandlers", true),
      BooleanProperty("F1NoSuspend", true),
      IntegerProperty("F1ShowCfg", 3),
      TextProperty("F1Assis", ""),
      TextProperty("F2Classes", ""),
      BooleanProperty("F2NoBugRep", false),
      BooleanProperty("F2NoScrShot", false),
      BooleanProperty("F2NoHandlers", false),
      BooleanProperty("F2NoSuspend", false),
      IntegerProperty("F2ShowCfg", 0),
      TextProperty("F2Assis", ""),
      BooleanProperty("GnNoBugRep", false),
      BooleanProperty("GnNoScrShot", false),
      BooleanProperty("GnNoHandlers", false),
      BooleanProperty("GnNoSuspend", false),
      IntegerProperty("GnShowCfg", 0),
      TextProperty("GnAssis", ""),
      // Assistants
      TextProperty("Assistant1",
                   "SendAssistant|Send Assistant|ContactForm|DetailsForm|ScrShotForm"),
      TextProperty("Assistant2", "SaveAssistant|Save Assistant|ContactForm|DetailsForm"),
      TextProperty("Assistant3", "PrintAssistant|Print Assistant|ContactForm|DetailsForm"),
      // Texts
      TextProperty("TitleBar", "%appname%"),
      TextProperty("ExceptMsg", "In der Anwendung trat ein Fehler auf"),
      TextProperty("FrozenMsg", "Die Anwendung reagiert nicht mehr"),
      TextProperty("BitFaultMsg", "Die Datei \"%modname%\" scheint defekt zu sein!"),
      TextProperty("SendBtnTxt", "Sende einen Fehlerbericht"),
      TextProperty("SaveBtnTxt", "Fehlerbericht speichern"),
      TextProperty("PrintBtnTxt", "Fehlerbericht ausdrucken"),
      TextProperty("ShowBtnTxt", "Fehlerbericht anzeigen"),
      TextProperty("ContinueBtnTxt", "Anwendung fortsetzen"),
      TextProperty("RestartBtnTxt", "Anwendung neu starten"),
      TextProperty("CloseBtnTxt",
                   "Anwendung schlie\xDF"
                   "en"),
      TextProperty("OkBtnTxt", "&OK"),
      TextProperty("DetailsBtnTxt", "&Details"),
      TextProperty("PlWaitTitle", "Information"),
      TextProperty("PlWaitText", "Einen Moment bitte..."),
      TextProperty("MailSubj", "Fehlerbericht der Anwendung %appname%"),
      TextProperty("MailBody", "Fehlerbericht wurde als Anlage beigef\xFCgt."),
      TextProperty("SendBoxTitle", "Sende Fehlerbericht per E-Mail"),
      TextProperty("PrepAttMsg", "Anlage werden zusammengestellt..."),
      TextProperty("MxLookMsg", "Suche nach einem E-Mail Server..."),
      TextProperty("ConnMsg", "Verbinde mit dem Server..."),
      TextProperty("AuthMsg", "Authentication..."),
      TextProperty("SendMailMsg", "Sende E-Mail..."),
      TextProperty("FieldMsg", "F\xFClle HTTP-Felder..."),
      TextProperty("SendAttMsg", "Sende Anhang..."),
      TextProperty("SendFinalMsg", "Abschlu\xDF..."),
      TextProperty("SendFailMsg",
                   "Sorry, das Senden des Fehlerberichts per E-Mail hat nicht funktioniert!"),
  };
  return kRecord;
}

std::string ExpectedStream() {
  SettingsStreamWriter writer;
  for (const Property& property : ExpectedRecord()) writer.Add(property);
  return writer.Finish();
}

TEST(BuiltRecord, EveryProgramCarriesEveryPropertyInStreamOrder) {
  for (const char* program : kProgramsWithSettings) {
    SCOPED_TRACE(program);
    const auto stream = platform::ReadElfSection(program, kSettingsSection);
    ASSERT_TRUE(stream);
    const auto parsed = ParseSettingsStream(*stream);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->failure_message, std::nullopt);
    EXPECT_EQ(parsed->properties.Items(), ExpectedRecord());
    // Texts as type 12, numbers as type 4, booleans as type 8 or 9, nothing else.
    EXPECT_EQ(*stream, ExpectedStream());
  }
}

TEST(BuiltRecord, TextsAreStoredInWindows1252) {
  const auto stream = platform::ReadElfSection(kProgramsWithSettings[0], kSettingsSection);
  ASSERT_TRUE(stream);
  using namespace std::string_literals;
  EXPECT_NE(stream->find("\x0B"
                         "CloseBtnTxt\x0C\x13\0\0\0Anwendung schlie\xDF"
                         "en\x08OkBtnTxt"s),
            std::string::npos);
  EXPECT_NE(stream->find("\x08MailBody\x0C\x29\0\0\0Fehlerbericht wurde als Anlage beigef\xFC"
                         "gt.\x0C"s),
            std::string::npos);
}

// The settings of this process's modules, read from their files as the crash reporter reads
// them.
class ThisProcess : public ::testing::Test {
 protected:
  std::shared_ptr<ModuleSettings> SettingsOfThisProgram() {
    return registry_.SettingsFor(reinterpret_cast<const void*>(&FunctionOfThisProgram));
  }

  ProcessModuleCatalog catalog_;
  platform::StandardErrorMessageBox box_;
  SettingsRegistry registry_{catalog_, box_};
};

TEST_F(ThisProcess, FindsItsOwnSettings) {
  const auto settings = SettingsOfThisProgram();
  ASSERT_TRUE(settings);
  EXPECT_TRUE(settings->Origin().module.is_executable);
  EXPECT_EQ(settings, registry_.MainSettings());
  for (const Property& expected : ExpectedRecord()) {
    SCOPED_TRACE(expected.name);
    EXPECT_EQ(settings->ReadBoolean(expected.name), expected.boolean_value);
    EXPECT_EQ(settings->ReadInteger(expected.name), expected.integer_value);
    if (expected.text_value.find('%') == std::string::npos) {
      EXPECT_EQ(settings->ReadText(expected.name), expected.text_value);
    }
  }
  EXPECT_EQ(settings->ReadText("TitleBar"), "crash_config_tests");
  EXPECT_EQ(settings->ReadText("MailSubj"), "Fehlerbericht der Anwendung crash_config_tests");
  EXPECT_EQ(settings->ReadText("BitFaultMsg"),
            "Die Datei \"crash_config_tests\" scheint defekt zu sein!");
}

TEST_F(ThisProcess, PropertiesMissingFromTheRecordReadTheirDefaults) {
  const auto settings = SettingsOfThisProgram();
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->ReadInteger("AutoDelay"), 60);
  EXPECT_EQ(settings->ReadText("MailFrom"), "");
  EXPECT_EQ(settings->ReadText("AddFields"), "");
  EXPECT_EQ(settings->ReadInteger("VersionVar"), 0);
  EXPECT_EQ(settings->Find("NoSuchProperty"), std::nullopt);
}

// Runs a shell command; its exit status, and what it wrote to standard error in `errors`.
int RunCommand(const std::string& command, std::string* errors = nullptr) {
  FILE* pipe = popen((command + " 2>&1 >/dev/null").c_str(), "r");
  if (pipe == nullptr) return -1;
  std::string output;
  char buffer[256];
  while (const size_t got = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
  const int status = pclose(pipe);
  if (errors) *errors = output;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::string& text) {
  return "'" + text + "'";
}

// The way the README tells a deployer to set the mail address of a built program.
TEST(BuiltRecord, ADeployerReplacesTheRecordOfABuiltProgram) {
  TempFolder folder;
  std::string source = test_support::ReadFile(CRASH_SETTINGS_SOURCE);
  const std::string placeholder = "crash-reports@deployer-sets-this.invalid";
  ASSERT_NE(source.find(placeholder), std::string::npos);
  source.replace(source.find(placeholder), placeholder.size(), "fehler@example.org");
  test_support::WriteFile(folder / "settings.txt", source);
  const std::string program = folder / "program";
  ASSERT_EQ(RunCommand("cp " + Quoted(kProgramsWithSettings[0]) + " " + Quoted(program)), 0);

  ASSERT_EQ(RunCommand(Quoted(SETTINGS_STREAM_TOOL) + " " + Quoted(folder / "settings.txt") + " " +
                       Quoted(folder / "settings.tpf0")),
            0);
  ASSERT_EQ(RunCommand(Quoted(OBJCOPY_PATH) + " --update-section TQUORVEX=" +
                       Quoted(folder / "settings.tpf0") + " " + Quoted(program)),
            0);

  const auto parsed =
      ParseSettingsStream(platform::ReadElfSection(program, kSettingsSection).value_or(""));
  ASSERT_TRUE(parsed);
  ASSERT_NE(parsed->properties.Find("MailAddr"), nullptr);
  EXPECT_EQ(parsed->properties.Find("MailAddr")->text_value, "fehler@example.org");
  EXPECT_EQ(parsed->properties.Items().size(), ExpectedRecord().size());
}

TEST(SettingsStreamTool, RefusesABrokenSourceAndWritesNothing) {
  TempFolder folder;
  test_support::WriteFile(folder / "settings.txt",
                          "Enabled boolean true\nAutoDelay integer sixty\n");
  std::string errors;
  EXPECT_EQ(RunCommand(Quoted(SETTINGS_STREAM_TOOL) + " " + Quoted(folder / "settings.txt") + " " +
                           Quoted(folder / "settings.tpf0"),
                       &errors),
            1);
  EXPECT_EQ(errors, folder / "settings.txt" +
                        ": line 2: an integer value is a 32-bit signed decimal number\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "settings.tpf0"));
}

}  // namespace

}  // namespace userdb::crash
