// What the crash reporter and the crash helper tell each other about one run of a report
// assistant. The request: the window title, the pages to show, what the form cache holds
// for their items, the screenshot with its attach flag and the temporary folder for the
// image editor's file. The answer: each shown page's result and the values of its edits
// and check boxes, the sender the contact page made, the attach flag, and the screenshot
// when the user edited it.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "crash/box/assistant_page.h"
#include "crash/helper/helper_protocol.h"
#include "crash/send/screen_image.h"

namespace userdb::crash {

using NamedValues = std::vector<std::pair<std::string, std::string>>;

struct AssistantRequest {
  std::string title;
  std::vector<std::string> pages;
  NamedValues cached;  // item name → text, or "+" / "-" for a check box
  std::optional<ScreenImage> screenshot;
  bool attach_screenshot = false;
  std::string temporary_folder;  // ends with "/"; empty: the image cannot be edited
  friend bool operator==(const AssistantRequest&, const AssistantRequest&) = default;
};

struct AnsweredPage {
  PageResult result = PageResult::kNone;
  NamedValues values;  // item name → text, or "+" / "-" for a check box
  friend bool operator==(const AnsweredPage&, const AnsweredPage&) = default;
};

struct AssistantAnswer {
  std::vector<AnsweredPage> pages;  // in the order of the request's pages
  std::string mail_from;            // empty: the contact page set none
  bool attach_screenshot = false;
  std::optional<ScreenImage> edited_screenshot;
  friend bool operator==(const AssistantAnswer&, const AssistantAnswer&) = default;
};

HelperMessage EncodeAssistantRequest(const AssistantRequest& request);
// None for a message that is not a well-formed request.
std::optional<AssistantRequest> DecodeAssistantRequest(const HelperMessage& message);

HelperMessage EncodeAssistantAnswer(const AssistantAnswer& answer);
std::optional<AssistantAnswer> DecodeAssistantAnswer(const HelperMessage& message);

// The values of a page's edits and check boxes, as the form cache keeps them.
NamedValues PageValues(const AssistantPage& page);

}  // namespace userdb::crash
