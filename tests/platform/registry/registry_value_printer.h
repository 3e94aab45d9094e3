// Lets test failures show registry values as text instead of raw object bytes.
#pragma once

#include <ostream>

#include "platform/registry/registry_value.h"

namespace userdb::registry {

inline void PrintTo(const RegistryValue& value, std::ostream* out) {
  *out << "{\"" << value.name << "\", type " << value.type << ", data";
  for (const char byte : value.data) {
    *out << ' ' << std::hex << static_cast<int>(static_cast<unsigned char>(byte)) << std::dec;
  }
  *out << '}';
}

}  // namespace userdb::registry
