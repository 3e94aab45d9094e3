// The packed symbol format: a program's own symbol information, written by the build tool
// make_symbol_section into the program's section kSymbolSectionName, or into a file beside a
// module named like it up to its last "." followed by kPackedFileExtension. It survives
// `strip --strip-debug` and `strip --strip-all`, which remove only debugging information and
// symbol tables.
//
// Layout (little-endian; 28 header bytes, then the body):
//   0  4 bytes  "VSYM"
//   4  1 byte   format version, 1
//   5  3 bytes  zero
//   8  8 bytes  key seed: the key stream (crash/key_stream.h) that enciphers the body
//  16  4 bytes  body size in bytes; nothing follows the body
//  20  4 bytes  size of the inflated body (at most kMaxInflatedSize)
//  24  4 bytes  CRC-32 (zlib's) of the inflated body
//  28  body: the zlib stream of the inflated body, combined byte by byte with the key stream
//
// The inflated body, numbers as unsigned LEB128 ("n"), texts as n length + bytes ("t"):
//   t build id (raw bytes of the GNU build id of the file described; may be empty)
//   t minimal debug information text
//   n unit count, then that many t unit names
//   n segment count, then per segment in ascending order of start:
//     n start minus the previous segment's start (the first: minus 0), n length,
//     n unit index, 1 byte flags (1 = code, 2 = has lines)
//   n public count, then per public in ascending order of address:
//     n address minus the previous public's, 1 byte flags (1 = code), t name
//   n line count, then per line entry in ascending order of address:
//     n address minus the previous entry's, n line minus the previous entry's line as a
//     zigzag number (0, -1, 1, -2, ... as 0, 1, 2, 3, ...)
// Addresses are those of the module's file (link-time addresses). The body ends exactly after
// the line entries.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "crash/stack/symbol_data.h"

namespace userdb::crash {

inline constexpr std::string_view kSymbolSectionName = "TVOSTREL";
inline constexpr std::string_view kPackedFileExtension = ".Vostrel";
inline constexpr size_t kMaxInflatedSize = 16 << 20;
inline constexpr size_t kPackedHeaderSize = 28;

std::string PackSymbols(const detail::SymbolData& symbols);

// The symbols of packed bytes; none when they are not exactly one well-formed packed record.
std::optional<detail::SymbolData> UnpackSymbols(std::string_view packed);

// Packed bytes read in place, as a signal handler needs them: the functions below allocate
// nothing themselves and take no lock.

struct PackedHeader {
  uint64_t seed = 0;
  uint32_t body_size = 0;
  uint32_t inflated_size = 0;
  uint32_t crc = 0;  // of the inflated body
};

// The header of packed bytes; none when it is not one of this format, or its body is not
// exactly the rest of the bytes, or too large.
std::optional<PackedHeader> ReadPackedHeader(std::string_view packed);

// Where zlib takes its working memory (zlib's alloc_func and free_func); for a signal
// handler, prepared memory.
struct InflateMemory {
  void* (*allocate)(void* opaque, unsigned items, unsigned size);
  void (*release)(void* opaque, void* address);
  void* opaque;
};

// Deciphers the body of `packed` in place and inflates it into `inflated`, which must be
// exactly the header's inflated size; false when the bytes are not well formed or their
// checksum differs. `memory`: zlib's own allocation when null.
bool InflatePackedInPlace(std::span<char> packed, std::span<char> inflated,
                          const InflateMemory* memory);

// What an inflated body holds, in its order. Each visit may stop the walk by answering false.
class PackedBodyVisitor {
 public:
  // The units, in order: a segment names one by its index in this order.
  virtual bool Unit(std::string_view name) = 0;
  virtual bool Segment(uint64_t start, uint64_t length, uint64_t unit, bool code,
                       bool has_lines) = 0;
  virtual bool Public(uint64_t address, bool code, std::string_view name) = 0;
  virtual bool Line(uint64_t address, uint32_t line) = 0;

 protected:
  ~PackedBodyVisitor() = default;
};

struct PackedBodyTexts {
  std::string_view build_id;
  std::string_view minimal_debug;
};

// Walks an inflated body, handing the visitor views into it; false when the body is not well
// formed (the visitor may have seen a part of it) or a visit stopped the walk.
bool WalkPackedBody(std::string_view inflated, PackedBodyVisitor& visitor,
                    PackedBodyTexts* texts = nullptr);

namespace detail {

// The header and the compressed, enciphered form of an inflated body, whatever it holds.
std::string SealPackedBody(std::string_view inflated);

}  // namespace detail

}  // namespace userdb::crash
