#include "crash/config/settings_defaults.h"

#include <array>

namespace userdb::crash {

std::optional<Property> DefaultProperty(std::string_view name) {
  static const std::array<Property, 4> kDefaults = {
      IntegerProperty("AutoDelay", 60),
      TextProperty("MailFrom", ""),
      TextProperty("AddFields", ""),
      IntegerProperty("VersionVar", 0),
  };
  for (const Property& property : kDefaults) {
    if (property.name == name) return property;
  }
  return std::nullopt;
}

}  // namespace userdb::crash
