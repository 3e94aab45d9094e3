// Shows a property in a test's failure message.
#pragma once

#include <ostream>

#include "crash/config/property_list.h"
#include "platform/display_text.h"

namespace userdb::crash {

inline void PrintTo(const Property& property, std::ostream* out) {
  *out << property.name;
  switch (property.kind) {
    case PropertyKind::kBoolean:
      *out << " boolean " << (property.boolean_value ? "true" : "false");
      break;
    case PropertyKind::kInteger:
      *out << " integer " << property.integer_value;
      break;
    case PropertyKind::kText:
      *out << " text \"" << platform::DisplayUtf8(property.text_value) << "\"";
      break;
  }
}

}  // namespace userdb::crash
