// Finding an assistant: the settings "Assistant1", "Assistant2", … each hold one as
// "|"-separated fields: its name, its window title, then its pages' names in order.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crash/config/settings_view.h"

namespace userdb::crash {

struct AssistantDefinition {
  std::string name;
  std::string title;
  std::vector<std::string> pages;
  friend bool operator==(const AssistantDefinition&, const AssistantDefinition&) = default;
};

AssistantDefinition ParseAssistant(std::string_view value);

// Reads "Assistant1", "Assistant2", … until one whose name is `name` (letter case ignored);
// none when an empty value comes first: the action then goes on without an assistant.
std::optional<AssistantDefinition> FindAssistant(const SettingsView& settings,
                                                 std::string_view name);

// The pages to show: without "ScrShotForm" when the exception has no screenshot or
// "ScrShotDepth" is 0, and without names that no built-in page has.
std::vector<std::string> PagesToShow(const AssistantDefinition& assistant, bool has_screenshot,
                                     int screenshot_depth);

}  // namespace userdb::crash
