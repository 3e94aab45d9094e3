#include "crash/box/assistant_lookup.h"

#include "crash/box/page_definitions.h"
#include "platform/case_insensitive_1252.h"

namespace userdb::crash {

AssistantDefinition ParseAssistant(std::string_view value) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    const size_t bar = value.find('|', start);
    fields.emplace_back(value.substr(start, bar == std::string_view::npos ? bar : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  AssistantDefinition assistant;
  assistant.name = fields[0];
  if (fields.size() > 1) assistant.title = fields[1];
  for (size_t i = 2; i < fields.size(); ++i) assistant.pages.push_back(fields[i]);
  return assistant;
}

std::optional<AssistantDefinition> FindAssistant(const SettingsView& settings,
                                                 std::string_view name) {
  for (int number = 1;; ++number) {
    const std::string value = settings.ReadText("Assistant" + std::to_string(number));
    if (value.empty()) return std::nullopt;
    AssistantDefinition assistant = ParseAssistant(value);
    if (platform::EqualIgnoringCase1252(assistant.name, name)) return assistant;
  }
}

std::vector<std::string> PagesToShow(const AssistantDefinition& assistant, bool has_screenshot,
                                     int screenshot_depth) {
  const bool screenshot_page = has_screenshot && screenshot_depth != 0;
  std::vector<std::string> pages;
  for (const std::string& page : assistant.pages) {
    if (!BuiltInPage(page)) continue;
    if (!screenshot_page && platform::EqualIgnoringCase1252(page, kScreenshotPage)) continue;
    pages.push_back(page);
  }
  return pages;
}

}  // namespace userdb::crash
