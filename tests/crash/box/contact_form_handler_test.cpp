// The contact page's handler over a registry file of the test's own: remembering the name
// and address across runs (a new store on the same file stands for a restart), forgetting
// them, the address's validity and the mail's sender.
#include "crash/box/contact_form_handler.h"

#include <sstream>

#include <gtest/gtest.h>

#include "crash/box/assistant_run.h"
#include "platform/registry/registry_access.h"
#include "tests/support/program_crash_settings.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {

namespace {

using test_support::ProgramCrashSettings;
using test_support::TempFolder;

class ContactFormHandlerTest : public ::testing::Test {
 protected:
  // The contact page of a fresh run of the program, whose registry is the same file.
  AssistantPage NewContactPage() {
    stores_.push_back(
        std::make_unique<registry::RegistryStore>(folder_ / "registry.reg", diagnostics_));
    handlers_.push_back(std::make_unique<ContactFormHandler>(*stores_.back()));
    std::vector<AssistantPage> pages = CreateAssistantPages(
        {"ContactForm"},
        [this](std::string_view name) -> PageHandler* {
          return name == kContactHandler ? handlers_.back().get() : nullptr;
        },
        FormCache(), exception_);
    return std::move(pages.front());
  }

  std::optional<std::string> Remembered(std::string_view name) {
    registry::RegistryStore store(folder_ / "registry.reg", diagnostics_);
    registry::RegistryAccess access(store);
    if (!access.OpenExistingKey(kContactFormKey) || !access.QueryValue(name)) return std::nullopt;
    return access.ReadString(name);
  }

  TempFolder folder_;
  std::ostringstream diagnostics_;
  // Each run's own, kept while its pages may still tell their handler.
  std::vector<std::unique_ptr<registry::RegistryStore>> stores_;
  std::vector<std::unique_ptr<ContactFormHandler>> handlers_;
  std::shared_ptr<const ModuleSettings> settings_ = ProgramCrashSettings(PROGRAM_SETTINGS_SOURCE);
  CaughtException exception_{settings_};
};

TEST_F(ContactFormHandlerTest, AnEmptyOrWrongAddressKeepsContinueDisabledAndRed) {
  AssistantPage page = NewContactPage();
  EXPECT_FALSE(page.ContinueEnabled());
  EXPECT_FALSE(page.Find("MemCheck")->checked);
  page.SetEditText("EmailEdit", "erika@example");
  EXPECT_FALSE(page.Find("EmailEdit")->valid);
  EXPECT_EQ(EditTextColour(*page.Find("EmailEdit")), (Rgb{128, 0, 0}));
  EXPECT_FALSE(page.ContinueEnabled());
  page.SetEditText("EmailEdit", "erika@example.org");
  EXPECT_TRUE(page.ContinueEnabled());
  EXPECT_EQ(EditTextColour(*page.Find("EmailEdit")), (Rgb{0, 128, 0}));
}

TEST_F(ContactFormHandlerTest, RememberMeSurvivesARestartAndIsForgottenWhenUnchecked) {
  AssistantPage first = NewContactPage();
  first.SetEditText("NameEdit", "Erika Mustermann");
  first.SetEditText("EmailEdit", "erika@example.org");
  first.SetChecked("MemCheck", true);
  ASSERT_TRUE(first.Press("ContinueBtn"));
  EXPECT_EQ(Remembered(kRememberName), "Erika Mustermann");
  EXPECT_EQ(Remembered(kRememberEmail), "erika@example.org");

  AssistantPage second = NewContactPage();
  EXPECT_EQ(second.Find("NameEdit")->text, "Erika Mustermann");
  EXPECT_EQ(second.Find("EmailEdit")->text, "erika@example.org");
  EXPECT_TRUE(second.Find("MemCheck")->checked);
  EXPECT_TRUE(second.ContinueEnabled());
  EXPECT_EQ(second.InitialFocus(), "ContinueBtn");

  second.SetChecked("MemCheck", false);
  ASSERT_TRUE(second.Press("ContinueBtn"));
  EXPECT_EQ(Remembered(kRememberName), std::nullopt);
  EXPECT_EQ(Remembered(kRememberEmail), std::nullopt);

  AssistantPage third = NewContactPage();
  EXPECT_EQ(third.Find("EmailEdit")->text, "");
  EXPECT_FALSE(third.Find("MemCheck")->checked);
  EXPECT_EQ(third.InitialFocus(), "NameEdit");
  EXPECT_EQ(diagnostics_.str(), "");
}

TEST_F(ContactFormHandlerTest, ANameMakesTheSenderOfThisExceptionsMail) {
  EXPECT_EQ(exception_.Settings().ReadText("MailFrom"), "");
  AssistantPage page = NewContactPage();
  page.SetEditText("NameEdit", "Erika Mustermann");
  page.SetEditText("EmailEdit", "erika@example.org");
  page.Press("ContinueBtn");
  EXPECT_EQ(exception_.Settings().ReadText("MailFrom"), "Erika Mustermann <erika@example.org>");
  EXPECT_EQ(settings_->ReadText("MailFrom"), "");

  CaughtException other(settings_);
  exception_.Settings().WriteText("MailFrom", "");
  AssistantPage nameless = NewContactPage();
  nameless.SetEditText("EmailEdit", "erika@example.org");
  nameless.Press("ContinueBtn");
  EXPECT_EQ(exception_.Settings().ReadText("MailFrom"), "");
  EXPECT_EQ(other.Settings().ReadText("MailFrom"), "");
}

TEST_F(ContactFormHandlerTest, CancelChangesNothing) {
  AssistantPage page = NewContactPage();
  page.SetEditText("NameEdit", "Erika");
  page.SetEditText("EmailEdit", "erika@example.org");
  page.SetChecked("MemCheck", true);
  page.Press("CancelBtn");
  EXPECT_EQ(Remembered(kRememberEmail), std::nullopt);
  EXPECT_EQ(exception_.Settings().ReadText("MailFrom"), "");
}

TEST_F(ContactFormHandlerTest, ARememberedWrongAddressIsShownButNotFocusedForContinue) {
  {
    registry::RegistryStore store(folder_ / "registry.reg", diagnostics_);
    registry::RegistryAccess access(store);
    ASSERT_TRUE(access.OpenOrCreateKey(kContactFormKey));
    access.WriteString(kRememberEmail, "erika@example");
    access.WriteInteger(kRememberName, 7);  // not a string: counts as none
  }
  AssistantPage page = NewContactPage();
  EXPECT_EQ(page.Find("NameEdit")->text, "");
  EXPECT_EQ(page.Find("EmailEdit")->text, "erika@example");
  EXPECT_TRUE(page.Find("MemCheck")->checked);
  EXPECT_FALSE(page.ContinueEnabled());
  EXPECT_EQ(page.InitialFocus(), "NameEdit");
}

TEST_F(ContactFormHandlerTest, ARegistryThatCannotBeWrittenDoesNotStopThePage) {
  AssistantPage page = NewContactPage();
  // A folder where the file should be: nothing can be read or written there.
  std::filesystem::create_directory(folder_ / "registry.reg");
  page.SetEditText("EmailEdit", "erika@example.org");
  page.SetChecked("MemCheck", true);
  EXPECT_TRUE(page.Press("ContinueBtn"));
  EXPECT_EQ(page.Result(), PageResult::kContinue);
  EXPECT_NE(diagnostics_.str(), "");
}

}  // namespace

}  // namespace userdb::crash
