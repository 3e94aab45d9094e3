#include "crash/stack/dwarf_cursor.h"

#include <cstring>

namespace userdb::crash::detail {

bool DwarfCursor::Take(size_t count, void* out) {
  if (failed_ || end_ - position_ < count || position_ > end_) {
    failed_ = true;
    std::memset(out, 0, count);
    return false;
  }
  std::memcpy(out, reinterpret_cast<const void*>(position_), count);
  position_ += count;
  return true;
}

uint8_t DwarfCursor::U8() {
  uint8_t value;
  Take(sizeof value, &value);
  return value;
}

uint16_t DwarfCursor::U16() {
  uint16_t value;
  Take(sizeof value, &value);
  return value;
}

uint32_t DwarfCursor::U32() {
  uint32_t value;
  Take(sizeof value, &value);
  return value;
}

uint64_t DwarfCursor::U64() {
  uint64_t value;
  Take(sizeof value, &value);
  return value;
}

uint64_t DwarfCursor::Uleb() {
  uint64_t value = 0;
  for (unsigned shift = 0;; shift += 7) {
    const uint8_t byte = U8();
    if (failed_) return 0;
    if (shift < 64) value |= static_cast<uint64_t>(byte & 0x7F) << shift;
    if (!(byte & 0x80)) return value;
  }
}

int64_t DwarfCursor::Sleb() {
  uint64_t value = 0;
  unsigned shift = 0;
  uint8_t byte = 0;
  do {
    byte = U8();
    if (failed_) return 0;
    if (shift < 64) value |= static_cast<uint64_t>(byte & 0x7F) << shift;
    shift += 7;
  } while (byte & 0x80);
  if (shift < 64 && (byte & 0x40)) value |= ~uint64_t{0} << shift;
  return static_cast<int64_t>(value);
}

void DwarfCursor::Skip(uint64_t count) {
  if (failed_ || count > end_ - position_) {
    failed_ = true;
    return;
  }
  position_ += count;
}

uintptr_t DwarfCursor::Pointer(uint8_t encoding, uintptr_t data_base) {
  if (encoding == kEncodingOmit) return 0;
  const uintptr_t here = position_;
  uint64_t value = 0;
  switch (encoding & 0x0F) {
    case 0x00:
      value = U64();
      break;
    case 0x01:
      value = Uleb();
      break;
    case 0x02:
      value = U16();
      break;
    case 0x03:
      value = U32();
      break;
    case 0x04:
      value = U64();
      break;
    case 0x09:
      value = static_cast<uint64_t>(Sleb());
      break;
    case 0x0A:
      value = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int16_t>(U16())));
      break;
    case 0x0B:
      value = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(U32())));
      break;
    case 0x0C:
      value = U64();
      break;
    default:
      Fail();
      return 0;
  }
  switch (encoding & 0x70) {
    case 0x00:
      break;
    case kEncodingPcRelative:
      value += here;
      break;
    case kEncodingDataRelative:
      value += data_base;
      break;
    default:
      Fail();
      return 0;  // text-, function-relative and aligned forms are not used on x86-64
  }
  return failed_ ? 0 : static_cast<uintptr_t>(value);
}

const char* DwarfCursor::String() {
  const char* start = reinterpret_cast<const char*>(position_);
  while (!failed_ && U8() != 0) {
  }
  return failed_ ? "" : start;
}

}  // namespace userdb::crash::detail
