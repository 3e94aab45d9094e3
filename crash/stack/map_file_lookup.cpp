#include "crash/stack/map_file_lookup.h"

#include <algorithm>

#include "platform/case_insensitive_1252.h"

namespace userdb::crash {
namespace {

// The index of the first entry whose address lies above `address`.
template <typename Entry>
size_t FirstAbove(std::span<const Entry> entries, uintptr_t address) {
  const auto above =
      std::upper_bound(entries.begin(), entries.end(), address,
                       [](uintptr_t wanted, const Entry& entry) { return wanted < entry.address; });
  return static_cast<size_t>(above - entries.begin());
}

bool BelowCodeEnd(const TMapFile& table, uintptr_t address) {
  const uintptr_t end = table.CodeRange().end;
  return end == 0 || address < end;
}

// `unit` + `extension` equals the segment's unit, letter case ignored.
bool UnitIs(std::string_view segment_unit, std::string_view unit, std::string_view extension) {
  return segment_unit.size() == unit.size() + extension.size() &&
         platform::EqualIgnoringCase1252(segment_unit.substr(0, unit.size()), unit) &&
         platform::EqualIgnoringCase1252(segment_unit.substr(unit.size()), extension);
}

uintptr_t FindPublicInUnit(const TMapFile& table, bool code, std::string_view unit,
                           std::string_view extension, bool case_sensitive, std::string_view name) {
  const auto publics = table.Publics();
  for (const TMfSegment& segment : table.Segments(code)) {
    if (!UnitIs(segment.unit, unit, extension)) continue;
    const auto first = std::lower_bound(
        publics.begin(), publics.end(), segment.start,
        [](const TMfPublic& entry, uintptr_t wanted) { return entry.address < wanted; });
    for (auto it = first; it != publics.end() && it->address - segment.start <= segment.length;
         ++it) {
      if (it->code != code) continue;
      if (case_sensitive ? it->name == name : platform::EqualIgnoringCase1252(it->name, name)) {
        return it->address;
      }
    }
  }
  return 0;
}

}  // namespace

TMfSegment FindSegment(const TMapFile& table, bool code, uintptr_t address) {
  const auto segments = table.Segments(code);
  const auto ends_so_far = table.SegmentEndsSoFar(code);
  const auto above = std::upper_bound(
      segments.begin(), segments.end(), address,
      [](uintptr_t wanted, const TMfSegment& segment) { return wanted < segment.start; });
  // Walk back while some segment so far may still reach the address.
  for (size_t i = static_cast<size_t>(above - segments.begin());
       i-- > 0 && ends_so_far[i] > address;) {
    if (address - segments[i].start < segments[i].length) return segments[i];
  }
  return {};
}

TMfPublic FindPublic(const TMapFile& table, uintptr_t address) {
  const auto publics = table.Publics();
  const size_t above = FirstAbove(publics, address);
  if (above == 0) return {};
  if (above == publics.size() && !BelowCodeEnd(table, address)) return {};
  return publics[above - 1];
}

uintptr_t FindPublicByName(const TMapFile& table, bool code, std::string_view unit,
                           bool case_sensitive, std::string_view name) {
  if (const uintptr_t found = FindPublicInUnit(table, code, unit, "", case_sensitive, name)) {
    return found;
  }
  if (unit.find('.') != std::string_view::npos) return 0;
  for (const std::string_view extension : {".cpp", ".h", ".c"}) {
    if (const uintptr_t found =
            FindPublicInUnit(table, code, unit, extension, case_sensitive, name)) {
      return found;
    }
  }
  return 0;
}

LineLookup FindLine(const TMapFile& table, uintptr_t address) {
  LineLookup result{0, address + 1};
  const auto lines = table.Lines();
  const TMfSegment segment = FindSegment(table, true, address);
  if (lines.empty()) {
    result.line = segment.valid && segment.has_lines ? -1 : 0;
    return result;
  }
  const size_t above = FirstAbove(lines, address);
  if (above == 0 || (above == lines.size() && !BelowCodeEnd(table, address))) return result;
  const TMfLine& entry = lines[above - 1];
  if (!segment.valid || entry.address < segment.start) return result;
  result.line = static_cast<int>(std::min<uint32_t>(entry.line, INT32_MAX));
  if (above < lines.size()) result.next_line_address = lines[above].address;
  return result;
}

TableLocation LocationInfo(const TMapFile& table, uintptr_t address) {
  TableLocation location;
  if (!table.Valid()) return location;
  location.found = true;
  location.module_file_name = table.FileName();
  location.unit = FindSegment(table, true, address).unit;
  const TMfPublic found = FindPublic(table, address);
  if (found.valid) {
    location.public_address = found.address;
    location.public_name = found.name;
  }
  location.line = std::max(FindLine(table, address).line, 0);
  return location;
}

std::string QualifiedProcName(const TMapFile& table, uintptr_t address) {
  const TMfPublic found = FindPublic(table, address);
  if (!found.valid || found.address != address) return {};
  const std::string_view unit = FindSegment(table, true, found.address).unit;
  std::string name;
  if (!unit.empty()) {
    name.append(unit);
    name += '.';
  }
  name.append(found.name);
  if (name.find('%') != std::string::npos) {
    name += " (";
    name.append(table.ModuleFileName());
    name += ')';
  }
  return name;
}

void CachedLineLookup(const TMapFile& table, uintptr_t address, int& line, uintptr_t& low,
                      uintptr_t& high) {
  if (address == 0) return;
  if (line != 0 && low <= address && address < high) return;
  const LineLookup found = FindLine(table, address);
  line = std::max(found.line, 0);
  low = address;
  high = found.next_line_address;
}

}  // namespace userdb::crash
