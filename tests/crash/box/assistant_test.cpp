// The report assistants: finding them, their pages with every item, the rule that enables
// ContinueBtn, the edits' colours, focus and keys, results, the form cache and the inputs
// that go into the report.
#include <gtest/gtest.h>

#include "crash/box/assistant_lookup.h"
#include "crash/box/assistant_page_layout.h"
#include "crash/box/assistant_run.h"
#include "crash/box/contact_form_handler.h"
#include "crash/box/email_validity.h"
#include "crash/config/settings_overlay.h"
#include "tests/support/program_crash_settings.h"

namespace userdb::crash {

namespace {

using test_support::ProgramCrashSettings;

class AssistantTest : public ::testing::Test {
 protected:
  AssistantPage Page(std::string_view name, PageHandler* handler = nullptr) {
    return AssistantPage(*BuiltInPage(name), 1, 1, handler, &exception_);
  }

  std::shared_ptr<const ModuleSettings> settings_ = ProgramCrashSettings(PROGRAM_SETTINGS_SOURCE);
  CaughtException exception_{settings_};
};

TEST_F(AssistantTest, FindsTheProgramsAssistantsByNameWithoutRegardToCase) {
  const auto send = FindAssistant(*settings_, "SendAssistant");
  ASSERT_TRUE(send);
  EXPECT_EQ(*send,
            (AssistantDefinition{
                "SendAssistant", "Send Assistant", {"ContactForm", "DetailsForm", "ScrShotForm"}}));
  const auto save = FindAssistant(*settings_, "saveASSISTANT");
  ASSERT_TRUE(save);
  EXPECT_EQ(save->title, "Save Assistant");
  EXPECT_EQ(save->pages, (std::vector<std::string>{"ContactForm", "DetailsForm"}));
  EXPECT_EQ(FindAssistant(*settings_, "PrintAssistant")->title, "Print Assistant");
  EXPECT_FALSE(FindAssistant(*settings_, "HelpAssistant"));
}

TEST_F(AssistantTest, TheLookUpEndsAtTheFirstEmptyAssistant) {
  SettingsOverlay overlay(settings_);
  overlay.WriteText("Assistant2", "");
  EXPECT_TRUE(FindAssistant(overlay, "SendAssistant"));
  EXPECT_FALSE(FindAssistant(overlay, "PrintAssistant"));
  EXPECT_EQ(ParseAssistant("Bare"), (AssistantDefinition{"Bare", "", {}}));
}

TEST_F(AssistantTest, TheScreenshotPageIsLeftOutWithoutAScreenshot) {
  const AssistantDefinition send = *FindAssistant(*settings_, "SendAssistant");
  EXPECT_EQ(PagesToShow(send, true, 8).size(), 3u);
  EXPECT_EQ(PagesToShow(send, false, 8), (std::vector<std::string>{"ContactForm", "DetailsForm"}));
  EXPECT_EQ(PagesToShow(send, true, 0).size(), 2u);
  EXPECT_EQ(PagesToShow({"x", "X", {"contactform", "NoSuchPage"}}, true, 8),
            std::vector<std::string>{"contactform"});

  // Without a screenshot the send assistant has pages 1 and 2 of 2.
  const std::vector<AssistantPage> pages = CreateAssistantPages(
      PagesToShow(send, false, 8), [](std::string_view) { return nullptr; }, FormCache(),
      exception_);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].Number(), 1);
  EXPECT_EQ(pages[1].Number(), 2);
  EXPECT_EQ(pages[1].Count(), 2);
  EXPECT_EQ(pages[1].Definition().name, "DetailsForm");
}

// Kind, enabled, caption, lines, optional, coloured, output name and type, checked.
std::string Describe(const PageItem& item) {
  const char* kinds[] = {"label", "edit", "check box", "image", "button"};
  std::string text = item.name + ": " + kinds[static_cast<int>(item.kind)];
  if (!item.enabled) text += ", disabled";
  if (!item.caption.empty()) text += ", \"" + item.caption + "\"";
  if (item.kind == ItemKind::kEdit) {
    text += ", " + std::to_string(item.lines) + (item.lines == 1 ? " line" : " lines");
    text += item.optional ? ", optional" : ", required";
    if (item.coloured) text += ", coloured";
  }
  if (item.kind == ItemKind::kCheckBox) text += item.checked ? ", checked" : ", unchecked";
  if (item.border) text += ", border";
  if (item.clickable) text += ", clickable";
  if (!item.output_name.empty())
    text += ", \"" + item.output_name + "\" to the " +
            (item.output == OutputType::kHeader ? "header" : "own section");
  return text;
}

std::vector<std::string> Described(const PageDefinition& page) {
  std::vector<std::string> items;
  for (const PageItem& item : page.items) items.push_back(Describe(item));
  return items;
}

TEST(PageDefinitionsTest, TheContactPage) {
  const PageDefinition page = *BuiltInPage("ContactForm");
  EXPECT_EQ(page.message, "Contact Information");
  EXPECT_EQ(page.handler, "Quorvex.HandleContactForm");
  EXPECT_EQ(page.timer_ms, 0);
  EXPECT_EQ(Described(page),
            (std::vector<std::string>{
                "ContinueBtn: button, \"Continue\"", "SkipBtn: button, disabled, \"Skip\"",
                "CancelBtn: button, \"Cancel\"", "Label1: label, \"your name:\"",
                "NameEdit: edit, 1 line, optional, coloured, \"contact name\" to the header",
                "Label2: label, \"your email:\"",
                "EmailEdit: edit, 1 line, required, coloured, \"contact email\" to the header",
                "MemCheck: check box, \"remember me\", unchecked"}));
}

TEST(PageDefinitionsTest, TheDetailsPage) {
  const PageDefinition page = *BuiltInPage("detailsform");
  EXPECT_EQ(page.message, "Error Details");
  EXPECT_EQ(page.handler, "");
  EXPECT_EQ(Described(page),
            (std::vector<std::string>{
                "ContinueBtn: button, \"Continue\"", "SkipBtn: button, \"Skip\"",
                "CancelBtn: button, \"Cancel\"",
                "Label1: label, \"in which situation did the error occur?\"",
                "DetailsMemo: edit, 9 lines, required, coloured, \"error details\" to the own "
                "section"}));
}

TEST(PageDefinitionsTest, TheScreenshotPage) {
  const PageDefinition page = *BuiltInPage("ScrShotForm");
  EXPECT_EQ(page.message, "Screenshot Configuration");
  EXPECT_EQ(page.handler, "Quorvex.HandleScreenshotForm");
  EXPECT_EQ(page.timer_ms, 250);
  EXPECT_EQ(page.focused_item, "ContinueBtn");
  EXPECT_EQ(
      Described(page),
      (std::vector<std::string>{
          "ContinueBtn: button, \"Continue\"", "SkipBtn: button, disabled, \"Skip\"",
          "CancelBtn: button, \"Cancel\"",
          "AttachCheck: check box, \"attach a screenshot to the bug report\", checked",
          "ScrShotImg: image, border, clickable", "Label1: label, \"(click to edit image)\""}));
  EXPECT_FALSE(BuiltInPage("OtherForm"));
}

// Tells the e-mail's validity, as the contact page's handler does, and records the events.
class RecordingHandler : public PageHandler {
 public:
  void OnPageEvent(AssistantPage& page, PageEvent event, std::string_view item,
                   CaughtException&) override {
    events.push_back(std::to_string(static_cast<int>(event)) + ":" + std::string(item));
    if (event == PageEvent::kItem && item == "EmailEdit")
      page.SetValid("EmailEdit", IsValidEmailAddress(page.Find("EmailEdit")->text));
  }
  std::vector<std::string> events;
};

TEST_F(AssistantTest, ContinueNeedsAValidEmailAndItsColourTellsTheValidity) {
  RecordingHandler handler;
  AssistantPage page = Page("ContactForm", &handler);
  EXPECT_FALSE(page.ContinueEnabled());
  EXPECT_EQ(EditTextColour(*page.Find("EmailEdit")), (Rgb{0, 128, 0}));  // valid until told

  page.SetEditText("EmailEdit", "operator@example");
  EXPECT_FALSE(page.ContinueEnabled());
  EXPECT_EQ(EditTextColour(*page.Find("EmailEdit")), (Rgb{128, 0, 0}));
  EXPECT_FALSE(page.Press("ContinueBtn"));
  EXPECT_EQ(page.Result(), PageResult::kNone);

  page.SetEditText("EmailEdit", "operator@example.org");
  EXPECT_TRUE(page.ContinueEnabled());
  EXPECT_EQ(EditTextColour(*page.Find("EmailEdit")), (Rgb{0, 128, 0}));
  page.SetEditText("NameEdit", "");  // optional: never blocks
  EXPECT_TRUE(page.ContinueEnabled());

  page.SetEditText("EmailEdit", "");
  EXPECT_FALSE(page.ContinueEnabled());
  EXPECT_EQ(handler.events,
            (std::vector<std::string>{"3:EmailEdit", "3:EmailEdit", "3:NameEdit", "3:EmailEdit"}));

  PageItem plain;
  plain.kind = ItemKind::kEdit;
  plain.valid = false;
  EXPECT_EQ(EditTextColour(plain), (Rgb{0, 0, 0}));
}

TEST_F(AssistantTest, ARequiredMemoNeedsText) {
  AssistantPage page = Page("DetailsForm");
  EXPECT_FALSE(page.ContinueEnabled());
  page.SetEditText("DetailsMemo", "Beim Umwandeln\r\neiner leeren Datei.");
  EXPECT_TRUE(page.ContinueEnabled());
  EXPECT_TRUE(page.ButtonEnabled("SkipBtn"));
}

TEST_F(AssistantTest, StandardButtonsCloseThePageWithTheirResult) {
  RecordingHandler handler;
  AssistantPage contact = Page("ContactForm", &handler);
  EXPECT_FALSE(contact.Press("SkipBtn"));  // disabled on this page
  EXPECT_FALSE(contact.Press("NameEdit"));
  EXPECT_TRUE(contact.Escape());
  EXPECT_EQ(contact.Result(), PageResult::kCancel);
  EXPECT_EQ(handler.events, (std::vector<std::string>{"3:CancelBtn", "2:"}));
  EXPECT_FALSE(contact.Press("ContinueBtn"));  // closed already

  AssistantPage details = Page("DetailsForm");
  EXPECT_TRUE(details.Press("SkipBtn"));
  EXPECT_EQ(details.Result(), PageResult::kSkip);

  AssistantPage closed = Page("DetailsForm");
  closed.CloseByTitleBar();
  EXPECT_EQ(closed.Result(), PageResult::kCancel);

  PageDefinition no_cancel = *BuiltInPage("DetailsForm");
  no_cancel.items[2].enabled = false;
  AssistantPage page(no_cancel, 1, 1, nullptr, &exception_);
  EXPECT_FALSE(page.Escape());
  EXPECT_EQ(page.Result(), PageResult::kNone);
}

TEST_F(AssistantTest, TheTimerRunsWhileTheScreenshotPageIsShown) {
  RecordingHandler handler;
  AssistantPage page = Page("ScrShotForm", &handler);
  page.TimerTick();
  EXPECT_FALSE(page.TimerRunning());
  page.Show();
  EXPECT_TRUE(page.TimerRunning());
  page.TimerTick();
  page.ClickImage("ScrShotImg");
  page.SetChecked("AttachCheck", false);
  EXPECT_TRUE(page.Press("ContinueBtn"));
  EXPECT_FALSE(page.TimerRunning());
  page.TimerTick();
  EXPECT_EQ(handler.events, (std::vector<std::string>{"1:", "3:", "3:ScrShotImg", "3:AttachCheck",
                                                      "3:ContinueBtn", "2:"}));
  EXPECT_FALSE(Page("DetailsForm").TimerRunning());
}

TEST_F(AssistantTest, TheFocusStartsAtTheFocusedItemOrAfterCancel) {
  EXPECT_EQ(Page("ContactForm").InitialFocus(), "NameEdit");
  EXPECT_EQ(Page("DetailsForm").InitialFocus(), "DetailsMemo");
  EXPECT_EQ(Page("ScrShotForm").InitialFocus(), "ContinueBtn");
}

TEST(AssistantResultTest, OneCancelledPageCancelsTheAssistant) {
  const auto settings = ProgramCrashSettings(PROGRAM_SETTINGS_SOURCE);
  CaughtException exception(settings);
  std::vector<AssistantPage> pages;
  pages.emplace_back(*BuiltInPage("DetailsForm"), 1, 2, nullptr, &exception);
  pages.emplace_back(*BuiltInPage("DetailsForm"), 2, 2, nullptr, &exception);
  pages[0].Press("SkipBtn");
  EXPECT_EQ(AssistantResult(pages), PageResult::kContinue);
  pages[1].Press("CancelBtn");
  EXPECT_EQ(AssistantResult(pages), PageResult::kCancel);
}

class AssistantRunTest : public AssistantTest {
 protected:
  AssistantRunTest() { exception_.Report().PutHeader("date/time", "2024-03-07"); }

  std::vector<AssistantPage> Create(const std::vector<std::string>& names) {
    return CreateAssistantPages(
        names,
        [this](std::string_view name) { return name == kContactHandler ? &validity_ : nullptr; },
        cache_, exception_);
  }

  RecordingHandler validity_;
  FormCache cache_;
};

TEST_F(AssistantRunTest, ContinuedPagesPutTheirInputsIntoTheReportInOneChange) {
  std::vector<AssistantPage> pages = Create({"ContactForm", "DetailsForm"});
  pages[0].SetEditText("NameEdit", "Erika Mustermann");
  pages[0].SetEditText("EmailEdit", "erika@example.org");
  pages[0].Press("ContinueBtn");
  pages[1].SetEditText("DetailsMemo", "Beim Umwandeln.\r\nDie Datei war leer.");
  pages[1].Press("ContinueBtn");
  EXPECT_EQ(
      CollectPageInputs(pages),
      (PageInputs{{{"contact name", "Erika Mustermann"}, {"contact email", "erika@example.org"}},
                  {{"error details", "Beim Umwandeln.\r\nDie Datei war leer."}}}));

  const uint64_t changes = exception_.Report().ChangeCount();
  EXPECT_EQ(FinishAssistant(pages, cache_, exception_.Report()), PageResult::kContinue);
  EXPECT_EQ(exception_.Report().ChangeCount(), changes + 1);
  EXPECT_EQ(exception_.Report().Header("contact email"), "erika@example.org");
  EXPECT_EQ(exception_.Report().Section("error details"), "Beim Umwandeln.\r\nDie Datei war leer.");
}

TEST_F(AssistantRunTest, SkippingTheDetailsAddsNoSectionAndAnEmptyNameNoHeaderValue) {
  std::vector<AssistantPage> pages = Create({"ContactForm", "DetailsForm"});
  pages[0].SetEditText("EmailEdit", "erika@example.org");
  pages[0].Press("ContinueBtn");
  pages[1].SetEditText("DetailsMemo", "typed, then skipped");
  pages[1].Press("SkipBtn");
  EXPECT_EQ(FinishAssistant(pages, cache_, exception_.Report()), PageResult::kContinue);
  EXPECT_EQ(exception_.Report().Header("contact name"), std::nullopt);
  EXPECT_EQ(exception_.Report().Header("contact email"), "erika@example.org");
  EXPECT_EQ(exception_.Report().Section("error details"), std::nullopt);
}

TEST_F(AssistantRunTest, CancelAddsNothingButTheContinuedPagesAreCached) {
  std::vector<AssistantPage> pages = Create({"ContactForm", "DetailsForm"});
  pages[0].SetEditText("EmailEdit", "erika@example.org");
  pages[0].Press("ContinueBtn");
  pages[1].Press("CancelBtn");
  const uint64_t changes = exception_.Report().ChangeCount();
  EXPECT_EQ(FinishAssistant(pages, cache_, exception_.Report()), PageResult::kCancel);
  EXPECT_EQ(exception_.Report().ChangeCount(), changes);
  EXPECT_EQ(cache_.Find("EmailEdit"), "erika@example.org");
  EXPECT_EQ(cache_.Find("MemCheck"), "-");
  EXPECT_EQ(cache_.Find("DetailsMemo"), std::nullopt);
}

TEST_F(AssistantRunTest, TheNextAssistantComesPreFilledFromTheCache) {
  std::vector<AssistantPage> first = Create({"ContactForm", "DetailsForm"});
  first[0].SetEditText("NameEdit", "Erika");
  first[0].SetEditText("EmailEdit", "erika@example.org");
  first[0].SetChecked("MemCheck", true);
  first[0].Press("ContinueBtn");
  first[1].Press("SkipBtn");
  FinishAssistant(first, cache_, exception_.Report());

  std::vector<AssistantPage> second = Create({"ContactForm", "DetailsForm"});
  EXPECT_EQ(second[0].Find("NameEdit")->text, "Erika");
  EXPECT_EQ(second[0].Find("EmailEdit")->text, "erika@example.org");
  EXPECT_TRUE(second[0].Find("MemCheck")->checked);
  EXPECT_TRUE(second[0].ContinueEnabled());
  EXPECT_EQ(second[0].InitialFocus(), "ContinueBtn");  // all its edits and boxes were cached
  EXPECT_EQ(second[1].Find("DetailsMemo")->text, "");  // skipped: not cached
  EXPECT_EQ(second[1].InitialFocus(), "DetailsMemo");

  // An entry is replaced by a later run; an invalid cached address is told as such.
  second[0].SetEditText("EmailEdit", "erika@example");
  second[0].SetEditText("EmailEdit", "erika@example.de");
  second[0].SetChecked("MemCheck", false);
  second[0].Press("ContinueBtn");
  cache_.Update(second);
  EXPECT_EQ(cache_.Find("EmailEdit"), "erika@example.de");
  EXPECT_EQ(cache_.Find("MemCheck"), "-");
}

TEST_F(AssistantRunTest, ACachedInvalidAddressLeavesContinueDisabledAndUnfocused) {
  std::vector<AssistantPage> first = Create({"ContactForm"});
  first[0].SetEditText("EmailEdit", "erika@example.org");
  first[0].Press("ContinueBtn");
  first[0].SetEditText("EmailEdit", "not an address");  // as if changed after closing
  cache_.Update(first);
  std::vector<AssistantPage> second = Create({"ContactForm"});
  EXPECT_FALSE(second[0].ContinueEnabled());
  EXPECT_EQ(EditTextColour(*second[0].Find("EmailEdit")), (Rgb{128, 0, 0}));
  EXPECT_EQ(second[0].InitialFocus(), "NameEdit");
}

TEST_F(AssistantRunTest, ACheckBoxWithAnOutputNameGivesYesOrNo) {
  PageDefinition definition = *BuiltInPage("ContactForm");
  definition.items.back().output_name = "remember";
  std::vector<AssistantPage> pages;
  pages.emplace_back(definition, 1, 1, nullptr, &exception_);
  pages[0].SetEditText("EmailEdit", "a@b.c");
  pages[0].Press("ContinueBtn");
  EXPECT_EQ(CollectPageInputs(pages).header,
            (std::vector<ReportEntry>{{"contact email", "a@b.c"}, {"remember", "no"}}));
  pages[0].SetChecked("MemCheck", true);
  EXPECT_EQ(CollectPageInputs(pages).header.back().value, "yes");
}

TEST(AssistantPageLayoutTest, TheWidthFollowsTheWidestPart) {
  // Buttons, the page's minimum, the message, the number of pages.
  EXPECT_EQ(AssistantPageWidth({225, 0, 120, 3}), 315);
  EXPECT_EQ(AssistantPageWidth({300, 0, 120, 3}), 332);
  EXPECT_EQ(AssistantPageWidth({225, 0, 250, 3}), 343);
  EXPECT_EQ(AssistantPageWidth({225, 400, 0, 0}), 400);
}

TEST(AssistantPageLayoutTest, PageNumbersStandAtTheTopRight) {
  EXPECT_EQ(PageNumberX(3, 3, 315), 315 - 8 - 19);
  EXPECT_EQ(PageNumberX(1, 3, 315), 315 - 8 - 57);
}

TEST(AssistantPageLayoutTest, SkipGoesLeftWhenAllThreeButtonsAreShown) {
  const StandardButtonPlaces all = PlaceStandardButtons({75, 75, 75, true, true}, 315);
  EXPECT_EQ(all.skip_x, 8);
  EXPECT_EQ(all.cancel_x, 232);
  EXPECT_EQ(all.continue_x, 149);

  const StandardButtonPlaces no_skip = PlaceStandardButtons({75, 75, 75, false, true}, 315);
  EXPECT_EQ(no_skip.continue_x, 8);
  EXPECT_EQ(no_skip.skip_x, std::nullopt);
  EXPECT_EQ(no_skip.cancel_x, 232);

  const StandardButtonPlaces no_cancel = PlaceStandardButtons({80, 70, 75, true, false}, 315);
  EXPECT_EQ(no_cancel.continue_x, 8);
  EXPECT_EQ(no_cancel.skip_x, 96);
  EXPECT_EQ(no_cancel.cancel_x, std::nullopt);
}

TEST(AssistantPageLayoutTest, AnImageIsReducedWithItsAspectKept) {
  EXPECT_EQ(ShownImageSize({200, 100}, 315, 4, 1024), (Size{200, 100}));
  EXPECT_EQ(ShownImageSize({1280, 1024}, 315, 4, 1024), (Size{269, 215}));
  EXPECT_EQ(ShownImageSize({400, 1000}, 600, 4, 900), (Size{120, 300}));
  EXPECT_EQ(ShownImageSize({0, 10}, 315, 4, 1024), (Size{0, 0}));
}

}  // namespace

}  // namespace userdb::crash
