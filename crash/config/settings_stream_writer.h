// Writes a settings stream: the build tool writes this program's record with it, and tests
// write streams of every kind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "crash/config/property_list.h"

namespace userdb::crash {

class SettingsStreamWriter {
 public:
  SettingsStreamWriter();  // starts with the signature, class name and object name

  // Texts as type 12, numbers as type 4, booleans as type 8 or 9.
  void Add(const Property& property);

  // A record of any value type with its value bytes as given. Names are at most 255 bytes
  // long (std::length_error otherwise).
  void AddRecord(std::string_view name, uint8_t type, std::string_view value_bytes);

  // The stream with its end mark.
  std::string Finish() const;

 private:
  std::string bytes_;
};

// `value` as `size` little-endian bytes.
std::string LittleEndianBytes(uint32_t value, size_t size);

}  // namespace userdb::crash
