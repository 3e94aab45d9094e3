// The values of one section key below a base key, in the manner of an ini file: read with
// a default when the section or the value is missing, a string taken as a number where a
// number is asked for, and the section created by each write.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry/registry_access.h"
#include "platform/registry/registry_store.h"

namespace userdb::settings {

class SectionValues {
 public:
  // `base_key` and `section` are key paths from the hive root and below the base key.
  SectionValues(registry::RegistryStore& store, std::string base_key, std::string section);

  // A string value parsed as a decimal integer (the default when it is not one); any
  // other value read as a 32-bit integer, which throws RegistryDataReadError or
  // RegistryDataTypeError when it is not one.
  int32_t ReadInteger(std::string_view name, int32_t default_value);
  // True when the value reads as a non-zero integer; false when it is missing.
  bool ReadFlag(std::string_view name);

  // Writes a 32-bit integer, or its decimal text where the value exists as a string.
  // Throws RegistryKeyCreateError (naming the section) or RegistryDataWriteError.
  void WriteInteger(std::string_view name, int32_t number);
  void WriteString(std::string_view name, std::string_view text);

 private:
  // Opens the section for reading; the base key is created on the way.
  bool OpenSection(registry::RegistryAccess& registry) const;
  // Opens the section, created when missing.
  void CreateSection(registry::RegistryAccess& registry) const;

  registry::RegistryStore& store_;
  std::string base_key_;
  std::string section_;
};

}  // namespace userdb::settings
