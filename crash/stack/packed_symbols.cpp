#include "crash/stack/packed_symbols.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <vector>

#include "crash/key_stream.h"

namespace userdb::crash {
namespace {

static_assert(std::endian::native == std::endian::little);

using detail::LineData;
using detail::PublicData;
using detail::SegmentData;
using detail::SymbolData;

constexpr std::string_view kMagic = "VSYM";
constexpr uint8_t kFormatVersion = 1;
constexpr size_t kHeaderSize = 28;
constexpr uint8_t kCodeFlag = 1;
constexpr uint8_t kHasLinesFlag = 2;

// --- Writing

class BodyWriter {
 public:
  void Number(uint64_t value) {
    do {
      const auto low = static_cast<uint8_t>(value & 0x7F);
      value >>= 7;
      bytes_ += static_cast<char>(value != 0 ? low | 0x80 : low);
    } while (value != 0);
  }
  void Byte(uint8_t value) { bytes_ += static_cast<char>(value); }
  void Text(std::string_view text) {
    Number(text.size());
    bytes_.append(text);
  }
  std::string& Bytes() { return bytes_; }

 private:
  std::string bytes_;
};

uint64_t Zigzag(int64_t value) {
  return (static_cast<uint64_t>(value) << 1) ^ static_cast<uint64_t>(value >> 63);
}

template <typename Entry>
std::vector<Entry> SortedByAddress(std::vector<Entry> entries) {
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& left, const Entry& right) {
    return left.address < right.address;
  });
  return entries;
}

void WriteSegments(const SymbolData& symbols, BodyWriter& out) {
  std::vector<std::string_view> units;
  std::unordered_map<std::string_view, uint64_t> unit_index;
  for (const SegmentData& segment : symbols.segments) {
    if (unit_index.emplace(segment.unit, units.size()).second) units.push_back(segment.unit);
  }
  out.Number(units.size());
  for (const std::string_view unit : units) out.Text(unit);

  std::vector<SegmentData> segments = symbols.segments;
  std::stable_sort(
      segments.begin(), segments.end(),
      [](const SegmentData& left, const SegmentData& right) { return left.start < right.start; });
  out.Number(segments.size());
  uint64_t previous = 0;
  for (const SegmentData& segment : segments) {
    out.Number(segment.start - previous);
    out.Number(segment.length);
    out.Number(unit_index.at(segment.unit));
    out.Byte((segment.code ? kCodeFlag : 0) | (segment.has_lines ? kHasLinesFlag : 0));
    previous = segment.start;
  }
}

void WritePublics(const SymbolData& symbols, BodyWriter& out) {
  const std::vector<PublicData> publics = SortedByAddress(symbols.publics);
  out.Number(publics.size());
  uint64_t previous = 0;
  for (const PublicData& symbol : publics) {
    out.Number(symbol.address - previous);
    out.Byte(symbol.code ? kCodeFlag : 0);
    out.Text(symbol.name);
    previous = symbol.address;
  }
}

void WriteLines(const SymbolData& symbols, BodyWriter& out) {
  const std::vector<LineData> lines = SortedByAddress(symbols.lines);
  out.Number(lines.size());
  uint64_t previous_address = 0;
  int64_t previous_line = 0;
  for (const LineData& line : lines) {
    out.Number(line.address - previous_address);
    out.Number(Zigzag(static_cast<int64_t>(line.line) - previous_line));
    previous_address = line.address;
    previous_line = line.line;
  }
}

void Put32(std::string& bytes, size_t at, uint32_t value) {
  std::memcpy(&bytes[at], &value, 4);
}
void Put64(std::string& bytes, size_t at, uint64_t value) {
  std::memcpy(&bytes[at], &value, 8);
}

// --- Reading: every read checks the bytes left.

class BodyReader {
 public:
  explicit BodyReader(std::string_view bytes) : bytes_(bytes) {}

  bool Number(uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      if (at_ >= bytes_.size()) return false;
      const auto byte = static_cast<uint8_t>(bytes_[at_++]);
      const uint64_t bits = byte & 0x7F;
      if (shift == 63 && bits > 1) return false;  // more than 64 bits
      value |= bits << shift;
      if ((byte & 0x80) == 0) return true;
    }
    return false;
  }
  bool Byte(uint8_t& value) {
    if (at_ >= bytes_.size()) return false;
    value = static_cast<uint8_t>(bytes_[at_++]);
    return true;
  }
  bool Text(std::string_view& text) {
    uint64_t size = 0;
    if (!Number(size) || size > Left()) return false;
    text = bytes_.substr(at_, size);
    at_ += size;
    return true;
  }
  bool Text(std::string& text) {
    std::string_view view;
    if (!Text(view)) return false;
    text.assign(view);
    return true;
  }
  // A count of entries that need at least `entry_size` bytes each.
  bool Count(uint64_t& count, size_t entry_size) {
    return Number(count) && count <= Left() / entry_size;
  }
  size_t Left() const { return bytes_.size() - at_; }

 private:
  std::string_view bytes_;
  size_t at_ = 0;
};

// `previous` moved on by `delta`; false when that leaves 64 bits.
bool Advance(uint64_t& previous, uint64_t delta) {
  if (delta > std::numeric_limits<uint64_t>::max() - previous) return false;
  previous += delta;
  return true;
}

bool ReadSegments(BodyReader& in, SymbolData& symbols) {
  uint64_t unit_count = 0;
  if (!in.Count(unit_count, 1)) return false;
  std::vector<std::string_view> units(unit_count);
  for (std::string_view& unit : units) {
    if (!in.Text(unit)) return false;
  }
  uint64_t count = 0;
  if (!in.Count(count, 4)) return false;
  symbols.segments.resize(count);
  uint64_t start = 0;
  for (SegmentData& segment : symbols.segments) {
    uint64_t delta = 0, unit = 0;
    uint8_t flags = 0;
    if (!in.Number(delta) || !Advance(start, delta) || !in.Number(segment.length) ||
        !in.Number(unit) || unit >= units.size() || !in.Byte(flags)) {
      return false;
    }
    segment.start = start;
    segment.unit = units[unit];
    segment.code = (flags & kCodeFlag) != 0;
    segment.has_lines = (flags & kHasLinesFlag) != 0;
  }
  return true;
}

bool ReadPublics(BodyReader& in, SymbolData& symbols) {
  uint64_t count = 0;
  if (!in.Count(count, 3)) return false;
  symbols.publics.resize(count);
  uint64_t address = 0;
  for (PublicData& symbol : symbols.publics) {
    uint64_t delta = 0;
    uint8_t flags = 0;
    if (!in.Number(delta) || !Advance(address, delta) || !in.Byte(flags) || !in.Text(symbol.name)) {
      return false;
    }
    symbol.address = address;
    symbol.code = (flags & kCodeFlag) != 0;
  }
  return true;
}

bool ReadLines(BodyReader& in, SymbolData& symbols) {
  uint64_t count = 0;
  if (!in.Count(count, 2)) return false;
  symbols.lines.resize(count);
  uint64_t address = 0;
  int64_t line = 0;
  for (LineData& entry : symbols.lines) {
    uint64_t delta = 0, zigzag = 0;
    if (!in.Number(delta) || !Advance(address, delta) || !in.Number(zigzag)) return false;
    const int64_t line_delta =
        static_cast<int64_t>(zigzag >> 1) ^ -static_cast<int64_t>(zigzag & 1);
    if (line_delta > static_cast<int64_t>(UINT32_MAX) ||
        line_delta < -static_cast<int64_t>(UINT32_MAX)) {
      return false;
    }
    line += line_delta;
    if (line < 0 || line > static_cast<int64_t>(UINT32_MAX)) return false;
    entry.address = address;
    entry.line = static_cast<uint32_t>(line);
  }
  return true;
}

std::optional<SymbolData> ReadBody(std::string_view body) {
  BodyReader in(body);
  SymbolData symbols;
  if (!in.Text(symbols.build_id) || !in.Text(symbols.minimal_debug) || !ReadSegments(in, symbols) ||
      !ReadPublics(in, symbols) || !ReadLines(in, symbols) || in.Left() != 0) {
    return std::nullopt;
  }
  return symbols;
}

uint32_t Get32(std::string_view bytes, size_t at) {
  uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

uint64_t Get64(std::string_view bytes, size_t at) {
  uint64_t value = 0;
  std::memcpy(&value, bytes.data() + at, 8);
  return value;
}

uint32_t Crc32(std::string_view bytes) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

}  // namespace

std::string PackSymbols(const SymbolData& symbols) {
  BodyWriter body;
  body.Text(symbols.build_id);
  body.Text(symbols.minimal_debug);
  WriteSegments(symbols, body);
  WritePublics(symbols, body);
  WriteLines(symbols, body);
  return detail::SealPackedBody(body.Bytes());
}

std::string detail::SealPackedBody(std::string_view inflated) {
  uLongf deflated_size = compressBound(static_cast<uLong>(inflated.size()));
  std::string packed(kHeaderSize + deflated_size, '\0');
  compress2(reinterpret_cast<Bytef*>(&packed[kHeaderSize]), &deflated_size,
            reinterpret_cast<const Bytef*>(inflated.data()), static_cast<uLong>(inflated.size()),
            Z_BEST_COMPRESSION);
  packed.resize(kHeaderSize + deflated_size);

  // The seed comes from the contents, so that the same symbols always pack the same way.
  const uint64_t seed = Fnv1a64(inflated);
  KeyStream(seed).Apply(&packed[kHeaderSize], deflated_size);
  std::memcpy(&packed[0], kMagic.data(), kMagic.size());
  packed[4] = static_cast<char>(kFormatVersion);
  Put64(packed, 8, seed);
  Put32(packed, 16, static_cast<uint32_t>(deflated_size));
  Put32(packed, 20, static_cast<uint32_t>(inflated.size()));
  Put32(packed, 24, Crc32(inflated));
  return packed;
}

std::optional<SymbolData> UnpackSymbols(std::string_view packed) {
  if (packed.size() < kHeaderSize || packed.substr(0, 4) != kMagic ||
      static_cast<uint8_t>(packed[4]) != kFormatVersion ||
      packed.substr(5, 3) != std::string_view("\0\0\0", 3)) {
    return std::nullopt;
  }
  const uint32_t body_size = Get32(packed, 16);
  const uint32_t inflated_size = Get32(packed, 20);
  if (body_size != packed.size() - kHeaderSize || inflated_size == 0 ||
      inflated_size > kMaxInflatedSize) {
    return std::nullopt;
  }
  std::string body(packed.substr(kHeaderSize));
  KeyStream(Get64(packed, 8)).Apply(body.data(), body.size());

  std::string inflated(inflated_size, '\0');
  uLongf inflated_length = inflated_size;
  uLong consumed = body.size();
  if (uncompress2(reinterpret_cast<Bytef*>(inflated.data()), &inflated_length,
                  reinterpret_cast<const Bytef*>(body.data()), &consumed) != Z_OK ||
      inflated_length != inflated_size || consumed != body.size() ||
      Crc32(inflated) != Get32(packed, 24)) {
    return std::nullopt;
  }
  return ReadBody(inflated);
}

}  // namespace userdb::crash
