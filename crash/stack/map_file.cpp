#include "crash/stack/map_file.h"

#include <algorithm>
#include <unordered_map>

namespace userdb::crash {
namespace {

// The address moved by the bias; false when it would leave the address space.
bool Moved(uint64_t address, uintptr_t bias, uintptr_t& moved) {
  if (address > UINTPTR_MAX - bias) return false;
  moved = static_cast<uintptr_t>(address) + bias;
  return true;
}

std::vector<uintptr_t> EndsSoFar(const std::vector<TMfSegment>& segments) {
  std::vector<uintptr_t> ends;
  ends.reserve(segments.size());
  uintptr_t greatest = 0;
  for (const TMfSegment& segment : segments) {
    greatest = std::max(greatest, segment.start + segment.length);
    ends.push_back(greatest);
  }
  return ends;
}

template <typename Entry>
void SortByAddress(std::vector<Entry>& entries) {
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& left, const Entry& right) {
    return left.address < right.address;
  });
}

}  // namespace

TMapFile::TMapFile(PrivateTag, const ModuleInfo& module)
    : path_(module.path),
      handle_(module.handle),
      code_range_(module.code),
      data_range_(module.data) {}

std::shared_ptr<const TMapFile> TMapFile::Invalid(const ModuleInfo& module) {
  return std::make_shared<const TMapFile>(PrivateTag{}, module);
}

std::shared_ptr<const TMapFile> TMapFile::Build(const ModuleInfo& module,
                                                const detail::SymbolData& symbols) {
  auto table = std::make_shared<TMapFile>(PrivateTag{}, module);
  table->TakeSymbols(symbols, module.bias);
  return table;
}

std::string_view TMapFile::ModuleFileName() const {
  const std::string_view path = path_;
  return path.substr(path.rfind('/') + 1);  // npos + 1 is 0: the whole path
}

std::string_view TMapFile::Keep(std::string_view text) {
  const size_t at = names_.size();
  names_.append(text);  // within the reserved room: earlier views stay valid
  return std::string_view(names_).substr(at, text.size());
}

void TMapFile::TakeSymbols(const detail::SymbolData& symbols, uintptr_t bias) {
  std::unordered_map<std::string_view, std::string_view> units;
  size_t room = 0;
  for (const auto& segment : symbols.segments) {
    if (units.emplace(segment.unit, std::string_view()).second) room += segment.unit.size();
  }
  for (const auto& symbol : symbols.publics) room += symbol.name.size();
  names_.reserve(room);
  for (auto& [unit, kept] : units) kept = Keep(unit);

  for (const auto& segment : symbols.segments) {
    uintptr_t start = 0;
    if (segment.length == 0 || !Moved(segment.start, bias, start) ||
        segment.length > UINTPTR_MAX - start) {
      continue;
    }
    auto& kind = segment.code ? code_segments_ : data_segments_;
    kind.push_back({true, segment.code, start, static_cast<uintptr_t>(segment.length),
                    units[segment.unit], segment.has_lines});
  }
  for (auto* kind : {&code_segments_, &data_segments_}) {
    std::stable_sort(
        kind->begin(), kind->end(),
        [](const TMfSegment& left, const TMfSegment& right) { return left.start < right.start; });
  }
  code_ends_so_far_ = EndsSoFar(code_segments_);
  data_ends_so_far_ = EndsSoFar(data_segments_);

  for (const auto& symbol : symbols.publics) {
    uintptr_t address = 0;
    if (Moved(symbol.address, bias, address)) {
      publics_.push_back({true, symbol.code, address, Keep(symbol.name)});
    }
  }
  SortByAddress(publics_);
  // One name an address: the first that the source listed.
  publics_.erase(std::unique(publics_.begin(), publics_.end(),
                             [](const TMfPublic& kept, const TMfPublic& next) {
                               return kept.address == next.address;
                             }),
                 publics_.end());

  for (const auto& line : symbols.lines) {
    uintptr_t address = 0;
    if (Moved(line.address, bias, address)) lines_.push_back({address, line.line});
  }
  SortByAddress(lines_);
  // Of several entries at one address the last holds, as in a line table.
  std::vector<TMfLine> distinct;
  distinct.reserve(lines_.size());
  for (const TMfLine& line : lines_) {
    if (!distinct.empty() && distinct.back().address == line.address) {
      distinct.back() = line;
    } else {
      distinct.push_back(line);
    }
  }
  lines_ = std::move(distinct);

  minimal_debug_ = symbols.minimal_debug;
  valid_ = !code_segments_.empty() || !data_segments_.empty() || !publics_.empty();
}

}  // namespace userdb::crash
