// The pages of the report assistants: their items with every property, and the three
// built-in pages "ContactForm", "DetailsForm" and "ScrShotForm".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace userdb::crash {

enum class ItemKind { kLabel, kEdit, kCheckBox, kImage, kButton };

// Where an edit's text goes in the report.
enum class OutputType { kNone, kHeader, kOwnSection };

struct PageItem {
  std::string name;
  ItemKind kind = ItemKind::kLabel;
  bool enabled = true;
  int spacing = 0;      // pixels above the item
  std::string caption;  // label, check box, button
  // An edit.
  int lines = 1;
  bool optional = false;
  bool coloured = false;
  bool valid = true;
  std::string text;
  std::string output_name;  // also of a check box
  OutputType output = OutputType::kNone;
  // A check box.
  bool checked = false;
  // An image.
  bool border = false;
  bool clickable = false;
  // A button.
  bool visible = true;
};

struct PageDefinition {
  std::string name;
  std::string message;       // the header message
  std::string handler;       // the action handler's name; empty: none
  int timer_ms = 0;          // 0: no timer
  std::string focused_item;  // empty: the first item after CancelBtn
  int minimum_width = 0;
  std::vector<PageItem> items;  // ContinueBtn, SkipBtn and CancelBtn first
};

inline constexpr std::string_view kContinueButton = "ContinueBtn";
inline constexpr std::string_view kSkipButton = "SkipBtn";
inline constexpr std::string_view kCancelButton = "CancelBtn";

inline constexpr std::string_view kContactPage = "ContactForm";
inline constexpr std::string_view kDetailsPage = "DetailsForm";
inline constexpr std::string_view kScreenshotPage = "ScrShotForm";

inline constexpr std::string_view kContactHandler = "Quorvex.HandleContactForm";
inline constexpr std::string_view kScreenshotHandler = "Quorvex.HandleScreenshotForm";

// The built-in page of that name (letter case ignored); none for another name.
std::optional<PageDefinition> BuiltInPage(std::string_view name);

}  // namespace userdb::crash
