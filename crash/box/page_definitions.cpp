#include "crash/box/page_definitions.h"

#include "platform/case_insensitive_1252.h"

namespace userdb::crash {

namespace {

constexpr int kScreenshotTimerMs = 250;
constexpr int kDetailsLines = 9;

PageItem Button(std::string_view name, std::string_view caption, bool enabled) {
  PageItem item;
  item.name = std::string(name);
  item.kind = ItemKind::kButton;
  item.caption = std::string(caption);
  item.enabled = enabled;
  return item;
}

std::vector<PageItem> StandardButtons(bool skip_enabled) {
  return {Button(kContinueButton, "Continue", true), Button(kSkipButton, "Skip", skip_enabled),
          Button(kCancelButton, "Cancel", true)};
}

PageItem Label(std::string_view name, std::string_view caption) {
  PageItem item;
  item.name = std::string(name);
  item.caption = std::string(caption);
  return item;
}

PageItem Edit(std::string_view name, int lines, bool optional, std::string_view output_name,
              OutputType output) {
  PageItem item;
  item.name = std::string(name);
  item.kind = ItemKind::kEdit;
  item.lines = lines;
  item.optional = optional;
  item.coloured = true;
  item.output_name = std::string(output_name);
  item.output = output;
  return item;
}

PageItem CheckBox(std::string_view name, std::string_view caption, bool checked) {
  PageItem item;
  item.name = std::string(name);
  item.kind = ItemKind::kCheckBox;
  item.caption = std::string(caption);
  item.checked = checked;
  return item;
}

PageDefinition ContactPage() {
  PageDefinition page{
      std::string(kContactPage), "Contact Information", std::string(kContactHandler), 0, "", 0,
      StandardButtons(false)};
  page.items.push_back(Label("Label1", "your name:"));
  page.items.push_back(Edit("NameEdit", 1, true, "contact name", OutputType::kHeader));
  page.items.push_back(Label("Label2", "your email:"));
  page.items.push_back(Edit("EmailEdit", 1, false, "contact email", OutputType::kHeader));
  page.items.push_back(CheckBox("MemCheck", "remember me", false));
  return page;
}

PageDefinition DetailsPage() {
  PageDefinition page{std::string(kDetailsPage), "Error Details", "", 0, "", 0,
                      StandardButtons(true)};
  page.items.push_back(Label("Label1", "in which situation did the error occur?"));
  page.items.push_back(
      Edit("DetailsMemo", kDetailsLines, false, "error details", OutputType::kOwnSection));
  return page;
}

PageDefinition ScreenshotPage() {
  PageDefinition page{std::string(kScreenshotPage),    "Screenshot Configuration",
                      std::string(kScreenshotHandler), kScreenshotTimerMs,
                      std::string(kContinueButton),    0,
                      StandardButtons(false)};
  page.items.push_back(CheckBox("AttachCheck", "attach a screenshot to the bug report", true));
  PageItem image;
  image.name = "ScrShotImg";
  image.kind = ItemKind::kImage;
  image.border = true;
  image.clickable = true;
  page.items.push_back(image);
  page.items.push_back(Label("Label1", "(click to edit image)"));
  return page;
}

}  // namespace

std::optional<PageDefinition> BuiltInPage(std::string_view name) {
  if (platform::EqualIgnoringCase1252(name, kContactPage)) return ContactPage();
  if (platform::EqualIgnoringCase1252(name, kDetailsPage)) return DetailsPage();
  if (platform::EqualIgnoringCase1252(name, kScreenshotPage)) return ScreenshotPage();
  return std::nullopt;
}

}  // namespace userdb::crash
