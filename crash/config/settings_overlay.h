// The settings as one caught exception sees them: an overlay of its own, which starts
// empty and takes every write, in front of its module's list and the default table. So a
// value changed for one exception changes nothing else.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "crash/config/module_settings.h"
#include "crash/config/settings_view.h"

namespace userdb::crash {

class SettingsOverlay : public SettingsView {
 public:
  explicit SettingsOverlay(std::shared_ptr<const ModuleSettings> settings);

  const SettingsOrigin& Origin() const override { return settings_->Origin(); }
  const std::shared_ptr<const ModuleSettings>& Settings() const { return settings_; }

 protected:
  std::optional<Property> FindBeyondOwn(std::string_view name) const override;

 private:
  const std::shared_ptr<const ModuleSettings> settings_;
};

}  // namespace userdb::crash
