#include "crash/box/assistant_page.h"

#include <algorithm>
#include <utility>

namespace userdb::crash {

namespace {

constexpr Rgb kValidText{0, 128, 0};
constexpr Rgb kInvalidText{128, 0, 0};
constexpr Rgb kPlainText{0, 0, 0};

bool IsStandardButton(std::string_view name) {
  return name == kContinueButton || name == kSkipButton || name == kCancelButton;
}

// Labels and images that are not clickable never take the focus.
bool TakesFocus(const PageItem& item) {
  if (!item.enabled) return false;
  if (item.kind == ItemKind::kLabel) return false;
  return item.kind != ItemKind::kImage || item.clickable;
}

}  // namespace

AssistantPage::AssistantPage(PageDefinition definition, int number, int count, PageHandler* handler,
                             CaughtException* exception)
    : definition_(std::move(definition)),
      number_(number),
      count_(count),
      handler_(handler),
      exception_(exception) {
  if (const PageItem* button = Find(kContinueButton)) continue_defined_enabled_ = button->enabled;
  UpdateContinueButton();
}

const PageItem* AssistantPage::Find(std::string_view name) const {
  const auto found = std::find_if(definition_.items.begin(), definition_.items.end(),
                                  [name](const PageItem& item) { return item.name == name; });
  return found == definition_.items.end() ? nullptr : &*found;
}

PageItem* AssistantPage::FindItem(std::string_view name) {
  return const_cast<PageItem*>(std::as_const(*this).Find(name));
}

void AssistantPage::Create() {
  Tell(PageEvent::kCreated, {});
}

void AssistantPage::Show() {
  Tell(PageEvent::kShown, {});
  timer_running_ = definition_.timer_ms > 0 && result_ == PageResult::kNone;
}

void AssistantPage::SetEditText(std::string_view name, std::string_view text) {
  PageItem* item = FindItem(name);
  if (item == nullptr || item->kind != ItemKind::kEdit) return;
  item->text = std::string(text);
  ItemEvent(name);
}

void AssistantPage::SetChecked(std::string_view name, bool checked) {
  PageItem* item = FindItem(name);
  if (item == nullptr || item->kind != ItemKind::kCheckBox) return;
  item->checked = checked;
  ItemEvent(name);
}

void AssistantPage::ClickImage(std::string_view name) {
  const PageItem* item = Find(name);
  if (item == nullptr || item->kind != ItemKind::kImage || !item->clickable) return;
  ItemEvent(name);
}

void AssistantPage::TimerTick() {
  if (timer_running_) ItemEvent({});
}

void AssistantPage::SetValid(std::string_view name, bool valid) {
  PageItem* item = FindItem(name);
  if (item == nullptr || item->kind != ItemKind::kEdit) return;
  item->valid = valid;
  UpdateContinueButton();
}

bool AssistantPage::ContinueEnabled() const {
  return ButtonEnabled(kContinueButton);
}

bool AssistantPage::ButtonEnabled(std::string_view name) const {
  const PageItem* button = Find(name);
  return button != nullptr && button->kind == ItemKind::kButton && button->enabled &&
         button->visible;
}

bool AssistantPage::Press(std::string_view button) {
  if (!IsStandardButton(button) || !ButtonEnabled(button) || result_ != PageResult::kNone)
    return false;
  ItemEvent(button);
  Close(button == kContinueButton ? PageResult::kContinue
        : button == kSkipButton   ? PageResult::kSkip
                                  : PageResult::kCancel);
  return true;
}

void AssistantPage::CloseByTitleBar() {
  if (result_ == PageResult::kNone) Close(PageResult::kCancel);
}

std::string AssistantPage::InitialFocus() const {
  if (!definition_.focused_item.empty()) return definition_.focused_item;
  const auto& items = definition_.items;
  auto item = std::find_if(items.begin(), items.end(), [](const PageItem& candidate) {
    return candidate.name == kCancelButton;
  });
  if (item == items.end()) return {};
  item = std::find_if(item + 1, items.end(), TakesFocus);
  return item == items.end() ? std::string() : item->name;
}

void AssistantPage::Tell(PageEvent event, std::string_view item) {
  if (handler_ != nullptr && exception_ != nullptr)
    handler_->OnPageEvent(*this, event, item, *exception_);
}

void AssistantPage::ItemEvent(std::string_view item) {
  Tell(PageEvent::kItem, item);
  UpdateContinueButton();
}

void AssistantPage::UpdateContinueButton() {
  PageItem* button = FindItem(kContinueButton);
  if (button == nullptr) return;
  button->enabled =
      continue_defined_enabled_ &&
      std::all_of(definition_.items.begin(), definition_.items.end(), [](const PageItem& item) {
        return item.kind != ItemKind::kEdit || item.optional || (!item.text.empty() && item.valid);
      });
}

void AssistantPage::Close(PageResult result) {
  timer_running_ = false;
  result_ = result;
  Tell(PageEvent::kClosed, {});
}

Rgb EditTextColour(const PageItem& edit) {
  if (!edit.coloured) return kPlainText;
  return edit.valid ? kValidText : kInvalidText;
}

PageResult AssistantResult(const std::vector<AssistantPage>& pages) {
  const bool cancelled = std::any_of(pages.begin(), pages.end(), [](const AssistantPage& page) {
    return page.Result() == PageResult::kCancel;
  });
  return cancelled ? PageResult::kCancel : PageResult::kContinue;
}

}  // namespace userdb::crash
