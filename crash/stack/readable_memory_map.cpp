#include "crash/stack/readable_memory_map.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <string>

#include "platform/unique_fd.h"

namespace userdb::crash {
namespace {

constexpr size_t kFirstRoom = 64;

std::string ReadMapsFile() {
  std::string text;
  const platform::UniqueFd fd(open("/proc/self/maps", O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return text;
  char buffer[16384];
  for (;;) {
    const ssize_t got = read(fd.Get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  return text;
}

bool ParseHex(std::string_view text, uintptr_t& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool ParseMapsLine(std::string_view line, uintptr_t& start, uintptr_t& end, bool& readable) {
  const size_t dash = line.find('-');
  const size_t blank = line.find(' ');
  if (dash == std::string_view::npos || blank == std::string_view::npos || dash > blank ||
      blank + 1 >= line.size()) {
    return false;
  }
  if (!ParseHex(line.substr(0, dash), start) ||
      !ParseHex(line.substr(dash + 1, blank - dash - 1), end) || end <= start) {
    return false;
  }
  readable = line[blank + 1] == 'r';
  return true;
}

ReadableMemoryMap ReadableMemoryMap::Take() {
  return Parse(ReadMapsFile());
}

std::vector<AddressRange> ReadableMappings(std::string_view maps_text) {
  std::vector<AddressRange> mappings;
  mappings.reserve(kFirstRoom);
  while (!maps_text.empty()) {
    const size_t line_end = std::min(maps_text.find('\n'), maps_text.size());
    uintptr_t start = 0, end = 0;
    bool readable = false;
    if (ParseMapsLine(maps_text.substr(0, line_end), start, end, readable) && readable) {
      if (mappings.size() == mappings.capacity()) mappings.reserve(mappings.capacity() * 3 / 2);
      mappings.push_back({start, end});
    }
    maps_text.remove_prefix(std::min(line_end + 1, maps_text.size()));
  }
  std::sort(mappings.begin(), mappings.end(),
            [](const AddressRange& a, const AddressRange& b) { return a.start < b.start; });
  return mappings;
}

std::vector<AddressRange> ReadableMappings() {
  return ReadableMappings(ReadMapsFile());
}

ReadableMemoryMap ReadableMemoryMap::Parse(std::string_view maps_text) {
  ReadableMemoryMap map;
  map.ranges_ = ReadableMappings(maps_text);
  map.MergeNeighbours();
  return map;
}

void ReadableMemoryMap::MergeNeighbours() {
  size_t kept = 0;
  for (const AddressRange& range : ranges_) {
    if (kept > 0 && ranges_[kept - 1].end >= range.start) {
      ranges_[kept - 1].end = std::max(ranges_[kept - 1].end, range.end);
    } else {
      ranges_[kept++] = range;
    }
  }
  ranges_.resize(kept);
}

std::optional<AddressRange> ReadableMemoryMap::ReadableRangeAt(uintptr_t address) const {
  auto after =
      std::upper_bound(ranges_.begin(), ranges_.end(), address,
                       [](uintptr_t value, const AddressRange& r) { return value < r.start; });
  if (after == ranges_.begin()) return std::nullopt;
  const AddressRange& range = *(after - 1);
  if (address >= range.end) return std::nullopt;
  return range;
}

bool ReadableMemoryMap::IsReadable(uintptr_t start, uintptr_t end) const {
  if (end <= start) return false;
  const auto range = ReadableRangeAt(start);
  return range && end <= range->end;
}

bool ReadableMemoryMap::Read(uintptr_t address, void* out, size_t count) const {
  if (address == 0 || !IsReadable(address)) return false;
  return kernel_.Read(address, out, count);
}

}  // namespace userdb::crash
