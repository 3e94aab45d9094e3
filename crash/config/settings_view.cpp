#include "crash/config/settings_view.h"

#include <filesystem>
#include <mutex>
#include <utility>

#include "crash/config/module_version_text.h"
#include "crash/config/placeholder_expansion.h"

namespace userdb::crash {

SettingsView::SettingsView(PropertyList own) : own_(std::move(own)) {}

std::optional<Property> SettingsView::FindOwn(std::string_view name) const {
  const std::shared_lock lock(mutex_);
  const Property* property = own_.Find(name);
  if (property == nullptr) return std::nullopt;
  return *property;
}

std::optional<Property> SettingsView::Find(std::string_view name) const {
  if (auto property = FindOwn(name)) return property;
  return FindBeyondOwn(name);
}

bool SettingsView::ReadBoolean(std::string_view name) const {
  const auto property = Find(name);
  return property && property->boolean_value;
}

int32_t SettingsView::ReadInteger(std::string_view name) const {
  const auto property = Find(name);
  return property ? property->integer_value : 0;
}

std::string SettingsView::ReadText(std::string_view name) const {
  const auto property = Find(name);
  if (!property) return {};
  const std::string& text = property->text_value;
  if (text.find('%') == std::string::npos) return text;
  const SettingsOrigin& origin = Origin();
  PlaceholderValues values;
  values.app_name = origin.executable_name;
  values.module_name = std::filesystem::path(origin.module.path).filename().string();
  values.module_version =
      ModuleVersionText(origin.module, ReadInteger("VersionVar"), origin.module_file_version);
  values.app_version = origin.module.is_executable
                           ? *values.module_version
                           : ModuleVersionText({}, 0, origin.executable_file_version);
  values.time = CurrentLocalTime();
  return ExpandPlaceholders(text, values);
}

bool SettingsView::Write(Property property) {
  const std::unique_lock lock(mutex_);
  return own_.Write(std::move(property));
}

bool SettingsView::WriteBoolean(std::string_view name, bool value) {
  return Write(BooleanProperty(name, value));
}

bool SettingsView::WriteInteger(std::string_view name, int32_t value) {
  return Write(IntegerProperty(name, value));
}

bool SettingsView::WriteText(std::string_view name, std::string_view value) {
  return Write(TextProperty(name, value));
}

}  // namespace userdb::crash
