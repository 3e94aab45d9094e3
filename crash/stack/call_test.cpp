#include "crash/stack/call_test.h"

namespace userdb::crash {
namespace {

// Byte index in BytesBeforeAddress of the byte at a - distance.
constexpr size_t At(size_t distance) {
  return 8 - distance;
}

bool IsIndirectCallAt(const BytesBeforeAddress& bytes, size_t distance) {
  const uint8_t modrm = bytes[At(distance) + 1];
  return bytes[At(distance)] == 0xFF && (modrm & 0x30) == 0x10;
}

}  // namespace

bool EndsWithCall(const BytesBeforeAddress& bytes) {
  return CallLengthBefore(bytes) != 0;
}

size_t CallLengthBefore(const BytesBeforeAddress& bytes) {
  if (bytes[At(5)] == 0xE8) return 5;
  for (size_t distance : {2, 3, 4, 6, 7}) {
    if (!IsIndirectCallAt(bytes, distance)) continue;
    const uint8_t before = bytes[At(distance + 1)];
    return (before & 0xF0) == 0x40 ? distance + 1 : distance;
  }
  return 0;
}

bool IsAfterCall(const MemoryReader& memory, uintptr_t address) {
  BytesBeforeAddress bytes;
  if (address < bytes.size() || !memory.Read(address - bytes.size(), bytes.data(), bytes.size())) {
    return false;
  }
  return EndsWithCall(bytes);
}

}  // namespace userdb::crash
