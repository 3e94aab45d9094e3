// The values of properties that the crash reporter reads but this program's settings
// record does not hold.
#pragma once

#include <optional>
#include <string_view>

#include "crash/config/property_list.h"

namespace userdb::crash {

// The default of a property; none for a property the table does not know.
std::optional<Property> DefaultProperty(std::string_view name);

}  // namespace userdb::crash
