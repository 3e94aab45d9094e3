#include "crash/config/module_settings.h"

#include <utility>

#include "crash/config/settings_defaults.h"

namespace userdb::crash {

ModuleSettings::ModuleSettings(SettingsOrigin origin, PropertyList properties,
                               std::shared_ptr<const ModuleSettings> main)
    : SettingsView(std::move(properties)), origin_(std::move(origin)), main_(std::move(main)) {}

bool ModuleSettings::HasOwnSettings() const {
  const auto no_settings = FindOwn("NoSettings");
  return !(no_settings && no_settings->boolean_value);
}

std::optional<Property> ModuleSettings::FindBeyondOwn(std::string_view name) const {
  if (main_) return main_->Find(name);
  return DefaultProperty(name);
}

}  // namespace userdb::crash
