#include "crash/helper/assistant_request.h"

#include <charconv>
#include <cstring>

namespace userdb::crash {

namespace {

constexpr std::string_view kCachedPrefix = "cached:";
constexpr std::string_view kValuePrefix = "value:";
constexpr char kPageSeparator = '|';
// Larger than any screen; keeps a broken message from asking for an absurd image.
constexpr int kMaxImageSide = 32768;

std::optional<int> Number(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

void PutImage(HelperMessage& message, const ScreenImage& image) {
  std::string pixels(image.pixels.size() * sizeof(uint32_t), '\0');
  std::memcpy(pixels.data(), image.pixels.data(), pixels.size());
  message.With("screenshot-width", std::to_string(image.width))
      .With("screenshot-height", std::to_string(image.height))
      .With("screenshot", std::move(pixels));
}

// None when the message has no image; false in `well_formed` when it has a broken one.
std::optional<ScreenImage> TakeImage(const HelperMessage& message, bool& well_formed) {
  const std::string pixels = message.Field("screenshot");
  if (pixels.empty()) return std::nullopt;
  const auto width = Number(message.Field("screenshot-width"));
  const auto height = Number(message.Field("screenshot-height"));
  if (!width || !height || *width <= 0 || *height <= 0 || *width > kMaxImageSide ||
      *height > kMaxImageSide ||
      pixels.size() != static_cast<size_t>(*width) * static_cast<size_t>(*height) * 4) {
    well_formed = false;
    return std::nullopt;
  }
  ScreenImage image(*width, *height);
  std::memcpy(image.pixels.data(), pixels.data(), pixels.size());
  return image;
}

std::string_view ResultName(PageResult result) {
  switch (result) {
    case PageResult::kContinue:
      return "continue";
    case PageResult::kSkip:
      return "skip";
    case PageResult::kCancel:
      return "cancel";
    case PageResult::kNone:
      break;
  }
  return "none";
}

std::optional<PageResult> ResultOf(std::string_view name) {
  for (const PageResult result :
       {PageResult::kNone, PageResult::kContinue, PageResult::kSkip, PageResult::kCancel}) {
    if (ResultName(result) == name) return result;
  }
  return std::nullopt;
}

std::string PageField(size_t index) {
  return "page:" + std::to_string(index);
}

}  // namespace

HelperMessage EncodeAssistantRequest(const AssistantRequest& request) {
  HelperMessage message{std::string(helper::kAssistant), {}};
  std::string pages;
  for (const std::string& page : request.pages) {
    if (!pages.empty()) pages += kPageSeparator;
    pages += page;
  }
  message.With("title", request.title)
      .With("pages", pages)
      .With("attach", request.attach_screenshot ? "1" : "0")
      .With("temporary-folder", request.temporary_folder);
  for (const auto& [name, value] : request.cached)
    message.With(std::string(kCachedPrefix) + name, value);
  if (request.screenshot) PutImage(message, *request.screenshot);
  return message;
}

std::optional<AssistantRequest> DecodeAssistantRequest(const HelperMessage& message) {
  if (message.verb != helper::kAssistant) return std::nullopt;
  AssistantRequest request;
  request.title = message.Field("title");
  const std::string pages = message.Field("pages");
  for (size_t start = 0; start < pages.size();) {
    size_t end = pages.find(kPageSeparator, start);
    if (end == std::string::npos) end = pages.size();
    request.pages.push_back(pages.substr(start, end - start));
    start = end + 1;
  }
  request.attach_screenshot = message.Field("attach") == "1";
  request.temporary_folder = message.Field("temporary-folder");
  for (const auto& [name, value] : message.fields) {
    if (name.starts_with(kCachedPrefix))
      request.cached.emplace_back(name.substr(kCachedPrefix.size()), value);
  }
  bool well_formed = true;
  request.screenshot = TakeImage(message, well_formed);
  if (!well_formed) return std::nullopt;
  return request;
}

HelperMessage EncodeAssistantAnswer(const AssistantAnswer& answer) {
  HelperMessage message{std::string(helper::kAssistantEnd), {}};
  message.With("page-count", std::to_string(answer.pages.size()))
      .With("mail-from", answer.mail_from)
      .With("attach", answer.attach_screenshot ? "1" : "0");
  for (size_t index = 0; index < answer.pages.size(); ++index) {
    const AnsweredPage& page = answer.pages[index];
    message.With(PageField(index), std::string(ResultName(page.result)));
    for (const auto& [name, value] : page.values)
      message.With(std::string(kValuePrefix) + std::to_string(index) + ":" + name, value);
  }
  if (answer.edited_screenshot) PutImage(message, *answer.edited_screenshot);
  return message;
}

std::optional<AssistantAnswer> DecodeAssistantAnswer(const HelperMessage& message) {
  if (message.verb != helper::kAssistantEnd) return std::nullopt;
  const auto count = Number(message.Field("page-count"));
  // No assistant has more pages than there are built-in ones many times over.
  if (!count || *count < 0 || *count > 64) return std::nullopt;
  AssistantAnswer answer;
  answer.mail_from = message.Field("mail-from");
  answer.attach_screenshot = message.Field("attach") == "1";
  for (int index = 0; index < *count; ++index) {
    const auto result = ResultOf(message.Field(PageField(static_cast<size_t>(index))));
    if (!result) return std::nullopt;
    answer.pages.push_back({*result, {}});
  }
  for (const auto& [name, value] : message.fields) {
    if (!name.starts_with(kValuePrefix)) continue;
    const std::string_view rest = std::string_view(name).substr(kValuePrefix.size());
    const size_t colon = rest.find(':');
    const auto index = Number(rest.substr(0, colon));
    if (colon == std::string_view::npos || !index || *index < 0 || *index >= *count)
      return std::nullopt;
    answer.pages[static_cast<size_t>(*index)].values.emplace_back(rest.substr(colon + 1), value);
  }
  bool well_formed = true;
  answer.edited_screenshot = TakeImage(message, well_formed);
  if (!well_formed) return std::nullopt;
  return answer;
}

NamedValues PageValues(const AssistantPage& page) {
  NamedValues values;
  for (const PageItem& item : page.Items()) {
    if (item.kind == ItemKind::kEdit) values.emplace_back(item.name, item.text);
    if (item.kind == ItemKind::kCheckBox) values.emplace_back(item.name, item.checked ? "+" : "-");
  }
  return values;
}

}  // namespace userdb::crash
