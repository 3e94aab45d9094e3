// Reading the DWARF encodings of a loaded module's unwind and exception tables (.eh_frame,
// .eh_frame_hdr, .gcc_except_table), which lie in its read-only segment and are read in
// place. Every read stays inside the bounds it was given and fails instead of going beyond.
//
// Safe inside a signal handler: no allocation, no lock, no system call.
#pragma once

#include <cstddef>
#include <cstdint>

namespace userdb::crash::detail {

// DW_EH_PE_* pointer encodings.
inline constexpr uint8_t kEncodingOmit = 0xFF;
inline constexpr uint8_t kEncodingPcRelative = 0x10;
inline constexpr uint8_t kEncodingDataRelative = 0x30;
inline constexpr uint8_t kEncodingIndirect = 0x80;

class DwarfCursor {
 public:
  DwarfCursor(uintptr_t position, uintptr_t end) : position_(position), end_(end) {}

  uintptr_t Position() const { return position_; }
  uintptr_t End() const { return end_; }
  bool Failed() const { return failed_; }
  bool AtEnd() const { return failed_ || position_ >= end_; }
  void Fail() { failed_ = true; }

  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  uint64_t U64();
  uint64_t Uleb();
  int64_t Sleb();
  void Skip(uint64_t count);
  // A pointer in the DW_EH_PE encoding; `data_base` serves the data-relative form. For the
  // indirect form this is the address of the cell that holds the pointer: the cell lies in
  // writable data and is not read here.
  uintptr_t Pointer(uint8_t encoding, uintptr_t data_base = 0);

  // Where a string that ends with a zero byte begins; the cursor goes past its end.
  const char* String();

 private:
  bool Take(size_t count, void* out);

  uintptr_t position_;
  uintptr_t end_;
  bool failed_ = false;
};

}  // namespace userdb::crash::detail
