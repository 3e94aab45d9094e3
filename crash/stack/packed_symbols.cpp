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

bool WalkSegments(BodyReader& in, PackedBodyVisitor& visitor) {
  uint64_t unit_count = 0;
  if (!in.Count(unit_count, 1)) return false;
  for (uint64_t i = 0; i < unit_count; ++i) {
    std::string_view unit;
    if (!in.Text(unit) || !visitor.Unit(unit)) return false;
  }
  uint64_t count = 0;
  if (!in.Count(count, 4)) return false;
  uint64_t start = 0;
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t delta = 0, length = 0, unit = 0;
    uint8_t flags = 0;
    if (!in.Number(delta) || !Advance(start, delta) || !in.Number(length) || !in.Number(unit) ||
        unit >= unit_count || !in.Byte(flags) ||
        !visitor.Segment(start, length, unit, (flags & kCodeFlag) != 0,
                         (flags & kHasLinesFlag) != 0)) {
      return false;
    }
  }
  return true;
}

bool WalkPublics(BodyReader& in, PackedBodyVisitor& visitor) {
  uint64_t count = 0;
  if (!in.Count(count, 3)) return false;
  uint64_t address = 0;
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t delta = 0;
    uint8_t flags = 0;
    std::string_view name;
    if (!in.Number(delta) || !Advance(address, delta) || !in.Byte(flags) || !in.Text(name) ||
        !visitor.Public(address, (flags & kCodeFlag) != 0, name)) {
      return false;
    }
  }
  return true;
}

bool WalkLines(BodyReader& in, PackedBodyVisitor& visitor) {
  uint64_t count = 0;
  if (!in.Count(count, 2)) return false;
  uint64_t address = 0;
  int64_t line = 0;
  for (uint64_t i = 0; i < count; ++i) {
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
    if (!visitor.Line(address, static_cast<uint32_t>(line))) return false;
  }
  return true;
}

// Builds the symbols of a body as it is walked.
class SymbolDataBuilder final : public PackedBodyVisitor {
 public:
  bool Unit(std::string_view name) override {
    units_.push_back(name);
    return true;
  }
  bool Segment(uint64_t start, uint64_t length, uint64_t unit, bool code, bool has_lines) override {
    symbols.segments.push_back({start, length, std::string(units_[unit]), code, has_lines});
    return true;
  }
  bool Public(uint64_t address, bool code, std::string_view name) override {
    symbols.publics.push_back({address, std::string(name), code});
    return true;
  }
  bool Line(uint64_t address, uint32_t line) override {
    symbols.lines.push_back({address, line});
    return true;
  }

  SymbolData symbols;

 private:
  std::vector<std::string_view> units_;
};

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
  std::string packed(kPackedHeaderSize + deflated_size, '\0');
  compress2(reinterpret_cast<Bytef*>(&packed[kPackedHeaderSize]), &deflated_size,
            reinterpret_cast<const Bytef*>(inflated.data()), static_cast<uLong>(inflated.size()),
            Z_BEST_COMPRESSION);
  packed.resize(kPackedHeaderSize + deflated_size);

  // The seed comes from the contents, so that the same symbols always pack the same way.
  const uint64_t seed = Fnv1a64(inflated);
  KeyStream(seed).Apply(&packed[kPackedHeaderSize], deflated_size);
  std::memcpy(&packed[0], kMagic.data(), kMagic.size());
  packed[4] = static_cast<char>(kFormatVersion);
  Put64(packed, 8, seed);
  Put32(packed, 16, static_cast<uint32_t>(deflated_size));
  Put32(packed, 20, static_cast<uint32_t>(inflated.size()));
  Put32(packed, 24, Crc32(inflated));
  return packed;
}

bool WalkPackedBody(std::string_view inflated, PackedBodyVisitor& visitor, PackedBodyTexts* texts) {
  BodyReader in(inflated);
  std::string_view build_id, minimal_debug;
  if (!in.Text(build_id) || !in.Text(minimal_debug) || !WalkSegments(in, visitor) ||
      !WalkPublics(in, visitor) || !WalkLines(in, visitor) || in.Left() != 0) {
    return false;
  }
  if (texts != nullptr) *texts = {build_id, minimal_debug};
  return true;
}

std::optional<PackedHeader> ReadPackedHeader(std::string_view packed) {
  if (packed.size() < kPackedHeaderSize || packed.substr(0, 4) != kMagic ||
      static_cast<uint8_t>(packed[4]) != kFormatVersion ||
      packed.substr(5, 3) != std::string_view("\0\0\0", 3)) {
    return std::nullopt;
  }
  PackedHeader header{Get64(packed, 8), Get32(packed, 16), Get32(packed, 20), Get32(packed, 24)};
  if (header.body_size != packed.size() - kPackedHeaderSize || header.inflated_size == 0 ||
      header.inflated_size > kMaxInflatedSize) {
    return std::nullopt;
  }
  return header;
}

bool InflatePackedInPlace(std::span<char> packed, std::span<char> inflated,
                          const InflateMemory* memory) {
  const auto header = ReadPackedHeader(std::string_view(packed.data(), packed.size()));
  if (!header || inflated.size() != header->inflated_size) return false;
  const std::span<char> body = packed.subspan(kPackedHeaderSize);
  KeyStream(header->seed).Apply(body.data(), body.size());

  z_stream stream{};
  if (memory != nullptr) {
    stream.zalloc = memory->allocate;
    stream.zfree = memory->release;
    stream.opaque = memory->opaque;
  }
  if (inflateInit(&stream) != Z_OK) return false;
  stream.next_in = reinterpret_cast<Bytef*>(body.data());
  stream.avail_in = static_cast<uInt>(body.size());
  stream.next_out = reinterpret_cast<Bytef*>(inflated.data());
  stream.avail_out = static_cast<uInt>(inflated.size());
  const int result = inflate(&stream, Z_FINISH);
  const bool whole = result == Z_STREAM_END && stream.avail_in == 0 && stream.avail_out == 0;
  inflateEnd(&stream);
  return whole && Crc32(std::string_view(inflated.data(), inflated.size())) == header->crc;
}

std::optional<SymbolData> UnpackSymbols(std::string_view packed) {
  const auto header = ReadPackedHeader(packed);
  if (!header) return std::nullopt;
  std::string deciphered(packed);
  std::string inflated(header->inflated_size, '\0');
  if (!InflatePackedInPlace(deciphered, inflated, nullptr)) return std::nullopt;
  SymbolDataBuilder builder;
  PackedBodyTexts texts;
  if (!WalkPackedBody(inflated, builder, &texts)) return std::nullopt;
  builder.symbols.build_id = texts.build_id;
  builder.symbols.minimal_debug = texts.minimal_debug;
  return std::move(builder.symbols);
}

}  // namespace userdb::crash
