// The settings of one module (the executable or a shared library) that carries a settings
// record. A property missing from the module's list is answered by the process's main
// settings, and for the main settings themselves by the default table. A write changes the
// module's list for the rest of the process run.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "crash/config/property_list.h"
#include "crash/config/settings_view.h"

namespace userdb::crash {

class ModuleSettings : public SettingsView {
 public:
  // `main` is null for the main settings themselves.
  ModuleSettings(SettingsOrigin origin, PropertyList properties,
                 std::shared_ptr<const ModuleSettings> main);

  const SettingsOrigin& Origin() const override { return origin_; }

  // Whether the module uses its own settings: its "NoSettings" is not true.
  bool HasOwnSettings() const;

  // The property from the module's own list only.
  std::optional<Property> FindInList(std::string_view name) const { return FindOwn(name); }

 protected:
  std::optional<Property> FindBeyondOwn(std::string_view name) const override;

 private:
  const SettingsOrigin origin_;
  const std::shared_ptr<const ModuleSettings> main_;
};

}  // namespace userdb::crash
