// A typed value of the current user's registry. The data is kept exactly as stored, byte
// for byte: a string's terminating zero is part of its data, and a type number this
// program does not know is kept as read.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace userdb::registry {

// Type numbers as the registry defines them.
namespace registry_type {
inline constexpr uint32_t kString = 1;        // REG_SZ
inline constexpr uint32_t kExpandString = 2;  // REG_EXPAND_SZ, kept unexpanded
inline constexpr uint32_t kBinary = 3;        // REG_BINARY
inline constexpr uint32_t kDword = 4;         // REG_DWORD, little-endian
inline constexpr uint32_t kMultiString = 7;   // REG_MULTI_SZ
}  // namespace registry_type

struct RegistryValue {
  std::string name;  // empty for the key's default value
  uint32_t type = registry_type::kBinary;
  std::string data;

  friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// The data of a REG_DWORD: four bytes, least significant first.
inline std::string DwordData(uint32_t number) {
  std::string bytes(4, '\0');
  for (char& byte : bytes) {
    byte = static_cast<char>(number & 0xFF);
    number >>= 8;
  }
  return bytes;
}

// The number in up to four bytes of REG_DWORD data; missing high bytes count as zero.
inline uint32_t DwordNumber(std::string_view data) {
  uint32_t number = 0;
  for (size_t i = std::min<size_t>(data.size(), 4); i-- > 0;) {
    number = number << 8 | static_cast<unsigned char>(data[i]);
  }
  return number;
}

}  // namespace userdb::registry
