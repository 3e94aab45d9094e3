#include "platform/case_insensitive_1252.h"

#include <array>
#include <cstdint>

namespace userdb::platform {

namespace {

// Maps every byte to its lower-case form.
constexpr std::array<unsigned char, 256> MakeLowerTable() {
  std::array<unsigned char, 256> table{};
  for (int byte = 0; byte < 256; ++byte) table[byte] = static_cast<unsigned char>(byte);
  for (int byte = 'A'; byte <= 'Z'; ++byte) table[byte] = static_cast<unsigned char>(byte + 32);
  for (int byte = 0xC0; byte <= 0xDE; ++byte) {
    if (byte != 0xD7) table[byte] = static_cast<unsigned char>(byte + 32);
  }
  table[0x8A] = 0x9A;  // Š
  table[0x8C] = 0x9C;  // Œ
  table[0x8E] = 0x9E;  // Ž
  table[0x9F] = 0xFF;  // Ÿ
  return table;
}

constexpr std::array<unsigned char, 256> kLower = MakeLowerTable();

}  // namespace

unsigned char LowerCase1252(char byte) {
  return kLower[static_cast<unsigned char>(byte)];
}

bool EqualIgnoringCase1252(std::string_view left, std::string_view right) {
  if (left.size() != right.size()) return false;
  for (size_t i = 0; i < left.size(); ++i) {
    if (kLower[static_cast<unsigned char>(left[i])] !=
        kLower[static_cast<unsigned char>(right[i])]) {
      return false;
    }
  }
  return true;
}

size_t HashIgnoringCase1252::operator()(std::string_view text) const {
  // FNV-1a over the lower-case forms: texts that compare equal hash alike.
  uint64_t hash = 14695981039346656037u;
  for (const char byte : text) {
    hash ^= kLower[static_cast<unsigned char>(byte)];
    hash *= 1099511628211u;
  }
  return static_cast<size_t>(hash);
}

}  // namespace userdb::platform
