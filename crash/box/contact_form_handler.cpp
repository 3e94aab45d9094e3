#include "crash/box/contact_form_handler.h"

#include "crash/box/email_validity.h"
#include "platform/registry/registry_access.h"
#include "platform/registry/registry_errors.h"

namespace userdb::crash {

namespace {

constexpr std::string_view kNameEdit = "NameEdit";
constexpr std::string_view kEmailEdit = "EmailEdit";
constexpr std::string_view kRememberCheck = "MemCheck";

std::string TextOf(const AssistantPage& page, std::string_view name) {
  const PageItem* item = page.Find(name);
  return item != nullptr ? item->text : std::string();
}

// A value of another type than a string counts as none.
std::string ReadRemembered(registry::RegistryAccess& access, std::string_view name) {
  try {
    return access.ReadString(name);
  } catch (const registry::RegistryError&) {
    return {};
  }
}

}  // namespace

void ContactFormHandler::OnPageEvent(AssistantPage& page, PageEvent event, std::string_view item,
                                     CaughtException& exception) {
  switch (event) {
    case PageEvent::kCreated:
      FillRemembered(page);
      break;
    case PageEvent::kItem:
      if (item == kEmailEdit) page.SetValid(kEmailEdit, IsValidEmailAddress(TextOf(page, item)));
      break;
    case PageEvent::kClosed:
      if (page.Result() != PageResult::kContinue) break;
      Remember(page);
      SetSender(page, exception);
      break;
    case PageEvent::kShown:
      break;
  }
}

void ContactFormHandler::FillRemembered(AssistantPage& page) {
  registry::RegistryAccess access(store_);
  if (!access.OpenExistingKey(kContactFormKey)) return;
  const std::string name = ReadRemembered(access, kRememberName);
  const std::string email = ReadRemembered(access, kRememberEmail);
  if (name.empty() && email.empty()) return;
  page.SetEditText(kNameEdit, name);
  page.SetEditText(kEmailEdit, email);
  page.SetChecked(kRememberCheck, true);
  if (page.ContinueEnabled()) page.SetFocusedItem(kContinueButton);
}

void ContactFormHandler::Remember(const AssistantPage& page) {
  const PageItem* remember = page.Find(kRememberCheck);
  registry::RegistryAccess access(store_);
  try {
    if (remember != nullptr && remember->checked) {
      if (!access.OpenOrCreateKey(kContactFormKey)) return;
      access.WriteString(kRememberName, TextOf(page, kNameEdit));
      access.WriteString(kRememberEmail, TextOf(page, kEmailEdit));
    } else if (access.OpenExistingKey(kContactFormKey)) {
      access.DeleteValue(kRememberName);
      access.DeleteValue(kRememberEmail);
    }
  } catch (const registry::RegistryError&) {
    // The store has said why on its diagnostics stream; the send goes on.
  }
}

void ContactFormHandler::SetSender(const AssistantPage& page, CaughtException& exception) {
  const std::string name = TextOf(page, kNameEdit);
  if (name.empty()) return;
  exception.Settings().WriteText("MailFrom", name + " <" + TextOf(page, kEmailEdit) + ">");
}

}  // namespace userdb::crash
