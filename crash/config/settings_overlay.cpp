#include "crash/config/settings_overlay.h"

#include <utility>

#include "crash/config/settings_defaults.h"

namespace userdb::crash {

SettingsOverlay::SettingsOverlay(std::shared_ptr<const ModuleSettings> settings)
    : SettingsView(PropertyList()), settings_(std::move(settings)) {}

std::optional<Property> SettingsOverlay::FindBeyondOwn(std::string_view name) const {
  if (auto property = settings_->FindInList(name)) return property;
  return DefaultProperty(name);
}

}  // namespace userdb::crash
