// The action handler of the contact page ("Quorvex.HandleContactForm"): the remembered
// contact data in the current user's registry, the e-mail address's validity and the
// mail's sender.
//
//  - Page created: "RememberName" and "RememberEmail" of "Software\Vostrel\ContactForm";
//    when either is not empty, both go into NameEdit and EmailEdit, MemCheck is checked and
//    ContinueBtn, when enabled, becomes the focused item.
//  - An item event of EmailEdit: its valid flag becomes the validity of its text.
//  - Page closed with continue: with MemCheck checked both texts are written (the key
//    created when needed), otherwise both values are deleted. Then, with a name given,
//    "MailFrom" in the exception's own settings becomes name + " <" + address + ">".
//
// The remembered data is a convenience: a registry that cannot be read or written leaves
// the page as it is and never stops the assistant.
#pragma once

#include "crash/box/assistant_page.h"
#include "platform/registry/registry_store.h"

namespace userdb::crash {

inline constexpr std::string_view kContactFormKey = "\\Software\\Vostrel\\ContactForm";
inline constexpr std::string_view kRememberName = "RememberName";
inline constexpr std::string_view kRememberEmail = "RememberEmail";

class ContactFormHandler : public PageHandler {
 public:
  explicit ContactFormHandler(registry::RegistryStore& store) : store_(store) {}

  void OnPageEvent(AssistantPage& page, PageEvent event, std::string_view item,
                   CaughtException& exception) override;

 private:
  void FillRemembered(AssistantPage& page);
  void Remember(const AssistantPage& page);
  static void SetSender(const AssistantPage& page, CaughtException& exception);

  registry::RegistryStore& store_;
};

}  // namespace userdb::crash
