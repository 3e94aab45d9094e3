// The key stream that the crash reporter's stored secrets are combined with by exclusive
// or: the bytes of a xorshift64* generator (shifts 12, 25, 27; multiplier
// 0x2545F4914F6CDD1D; each byte the top 8 bits of a product). What it hides lies in the
// program file itself, so it keeps a casual look away, not someone holding the program.
#pragma once

#include <cstdint>
#include <string_view>

namespace userdb::crash {

// The 64-bit FNV-1a hash of `bytes`, continued from `hash`.
inline uint64_t Fnv1a64(std::string_view bytes, uint64_t hash = 0xCBF29CE484222325) {
  for (const char byte : bytes) hash = (hash ^ static_cast<uint8_t>(byte)) * 0x100000001B3;
  return hash;
}

class KeyStream {
 public:
  // A zero seed stands for 1: xorshift stays at zero once there.
  explicit KeyStream(uint64_t seed) : state_(seed != 0 ? seed : 1) {}

  uint8_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<uint8_t>((state_ * 0x2545F4914F6CDD1D) >> 56);
  }

  // Combines every byte of `bytes` with the next key byte; doing it twice with a stream of
  // the same seed gives the bytes back.
  void Apply(char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      bytes[i] = static_cast<char>(static_cast<uint8_t>(bytes[i]) ^ Next());
    }
  }

 private:
  uint64_t state_;
};

}  // namespace userdb::crash
