#include "crash/stack/dwarf_units.h"

#include <dwarf.h>
#include <elfutils/libdw.h>
#include <gelf.h>

#include <algorithm>
#include <memory>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/path.h"

namespace userdb::crash::detail {
namespace {

// A damaged tree of entries could be walked for ever; these end the walk instead.
constexpr size_t kMaxEntriesVisited = 100'000'000;
constexpr int kMaxNesting = 200;

struct DwarfCloser {
  void operator()(Dwarf* dwarf) const { dwarf_end(dwarf); }
};

struct Position {
  std::string_view file;  // full path as the line table names it; empty: no position
  uint32_t line = 0;

  bool operator==(const Position&) const = default;
};

struct Row {
  uint64_t address = 0;
  Position position;
};

// A sequence of the line table: rows in ascending address order, and the address where the
// sequence ends.
struct Sequence {
  std::vector<Row> rows;
  uint64_t end = 0;
};

// The code of one inlined call, counted as the line of the call.
struct InlineRange {
  uint64_t low = 0;
  uint64_t high = 0;
  Position call;
};

// The link-time ranges of the file's executable segments. Code that the linker dropped (a
// second copy of an inline function) keeps its line table and ranges, at address 0.
class CodeSegments {
 public:
  explicit CodeSegments(Elf* elf) {
    size_t count = 0;
    if (elf_getphdrnum(elf, &count) != 0) return;
    for (size_t i = 0; i < count; ++i) {
      GElf_Phdr header;
      if (gelf_getphdr(elf, static_cast<int>(i), &header) != nullptr && header.p_type == PT_LOAD &&
          (header.p_flags & PF_X) != 0) {
        ranges_.push_back({header.p_vaddr, header.p_vaddr + header.p_memsz});
      }
    }
  }

  bool Hold(uint64_t address) const {
    return std::any_of(ranges_.begin(), ranges_.end(), [address](const auto& range) {
      return address >= range.first && address < range.second;
    });
  }

 private:
  std::vector<std::pair<uint64_t, uint64_t>> ranges_;
};

// The code ranges a unit claims. libdw sorts a unit's rows by address and puts a sequence's
// end before a row at the same address; a row that a compiler left at the very end of a
// sequence (the end of a function's cold part) thus seems to start the next sequence, which
// would stretch over the code of other units up to that sequence's end. Rows outside the
// unit's ranges are such strays.
class UnitRanges {
 public:
  explicit UnitRanges(Dwarf_Die& unit) {
    Dwarf_Addr base = 0, low = 0, high = 0;
    for (ptrdiff_t offset = 0; (offset = dwarf_ranges(&unit, offset, &base, &low, &high)) > 0;) {
      if (low < high) ranges_.push_back({low, high});
    }
  }

  const std::vector<std::pair<uint64_t, uint64_t>>& All() const { return ranges_; }

  // A unit that names no ranges is taken at its line table's word.
  bool Claim(uint64_t address) const {
    return ranges_.empty() || std::any_of(ranges_.begin(), ranges_.end(), [&](const auto& range) {
             return address >= range.first && address < range.second;
           });
  }

 private:
  std::vector<std::pair<uint64_t, uint64_t>> ranges_;
};

std::vector<Sequence> LineSequences(Dwarf_Die& unit, const CodeSegments& code) {
  std::vector<Sequence> sequences;
  const UnitRanges claimed(unit);
  Dwarf_Lines* lines = nullptr;
  size_t count = 0;
  if (dwarf_getsrclines(&unit, &lines, &count) != 0) return sequences;
  Sequence current;
  for (size_t i = 0; i < count; ++i) {
    Dwarf_Line* line = dwarf_onesrcline(lines, i);
    Dwarf_Addr address = 0;
    int number = 0;
    bool end_sequence = false;
    if (line == nullptr || dwarf_lineaddr(line, &address) != 0 ||
        dwarf_lineno(line, &number) != 0 || dwarf_lineendsequence(line, &end_sequence) != 0) {
      continue;
    }
    if (end_sequence) {
      current.end = address;
      std::erase_if(current.rows, [address](const Row& row) { return row.address >= address; });
      std::stable_sort(
          current.rows.begin(), current.rows.end(),
          [](const Row& left, const Row& right) { return left.address < right.address; });
      if (!current.rows.empty() && code.Hold(current.rows.front().address)) {
        sequences.push_back(std::move(current));
      }
      current = {};
      continue;
    }
    if (!claimed.Claim(address)) continue;
    const char* file = dwarf_linesrc(line, nullptr, nullptr);
    current.rows.push_back(
        {address, {file != nullptr ? file : "", static_cast<uint32_t>(std::max(number, 0))}});
  }
  return sequences;  // rows after the last end of a sequence have no extent: left out
}

class InlineCollector {
 public:
  InlineCollector(Dwarf_Die& unit, size_t& budget) : budget_(budget) {
    if (dwarf_getsrcfiles(&unit, &files_, &file_count_) != 0) files_ = nullptr;
  }

  std::vector<InlineRange> Collect(Dwarf_Die& unit) {
    Walk(unit, 0);
    std::sort(
        ranges_.begin(), ranges_.end(),
        [](const InlineRange& left, const InlineRange& right) { return left.low < right.low; });
    return std::move(ranges_);
  }

 private:
  // Functions lie in the unit, in namespaces, and (for local classes) in other functions;
  // calls inlined into them in lexical blocks too. A call inlined into an inlined call lies
  // within the outer one and counts as its line.
  void Walk(Dwarf_Die& parent, int nesting) {
    Dwarf_Die child;
    if (nesting > kMaxNesting || dwarf_child(&parent, &child) != 0) return;
    do {
      if (budget_ == 0) return;
      --budget_;
      switch (dwarf_tag(&child)) {
        case DW_TAG_inlined_subroutine:
          AddCall(child);
          break;
        case DW_TAG_subprogram:
        case DW_TAG_lexical_block:
        case DW_TAG_namespace:
        case DW_TAG_try_block:
        case DW_TAG_catch_block:
          Walk(child, nesting + 1);
          break;
        default:
          break;
      }
    } while (dwarf_siblingof(&child, &child) == 0);
  }

  void AddCall(Dwarf_Die& call) {
    Dwarf_Attribute attribute;
    Dwarf_Word file = 0, line = 0;
    if (files_ == nullptr ||
        dwarf_formudata(dwarf_attr(&call, DW_AT_call_file, &attribute), &file) != 0 ||
        dwarf_formudata(dwarf_attr(&call, DW_AT_call_line, &attribute), &line) != 0 ||
        file >= file_count_ || line == 0 || line > UINT32_MAX) {
      return;
    }
    const char* name = dwarf_filesrc(files_, file, nullptr, nullptr);
    if (name == nullptr || *name == '\0') return;
    Dwarf_Addr base = 0, low = 0, high = 0;
    for (ptrdiff_t offset = 0; (offset = dwarf_ranges(&call, offset, &base, &low, &high)) > 0;) {
      if (low < high) ranges_.push_back({low, high, {name, static_cast<uint32_t>(line)}});
    }
  }

  size_t& budget_;
  Dwarf_Files* files_ = nullptr;
  size_t file_count_ = 0;
  std::vector<InlineRange> ranges_;
};

// Finds the inlined call that holds an address.
class InlineIndex {
 public:
  explicit InlineIndex(std::vector<InlineRange> ranges) : ranges_(std::move(ranges)) {
    uint64_t highest = 0;
    for (const InlineRange& range : ranges_) {
      highest = std::max(highest, range.high);
      highs_so_far_.push_back(highest);
    }
  }

  const InlineRange* Holding(uint64_t address) const {
    const auto above = std::upper_bound(
        ranges_.begin(), ranges_.end(), address,
        [](uint64_t wanted, const InlineRange& range) { return wanted < range.low; });
    for (size_t i = static_cast<size_t>(above - ranges_.begin());
         i-- > 0 && highs_so_far_[i] > address;) {
      if (address < ranges_[i].high) return &ranges_[i];
    }
    return nullptr;
  }

  // The bounds of inlined calls within [low, high).
  void AddBounds(uint64_t low, uint64_t high, std::vector<uint64_t>& bounds) const {
    for (const InlineRange& range : ranges_) {
      if (range.high <= low || range.low >= high) continue;
      if (range.low > low) bounds.push_back(range.low);
      if (range.high < high) bounds.push_back(range.high);
    }
  }

 private:
  std::vector<InlineRange> ranges_;
  std::vector<uint64_t> highs_so_far_;
};

struct Placed {
  uint64_t address = 0;
  Position position;
};

// The positions of one sequence where they change, outer functions' lines in place of
// inlined code.
std::vector<Placed> PlacedPositions(const Sequence& sequence, const InlineIndex& inlines) {
  std::vector<uint64_t> bounds;
  for (const Row& row : sequence.rows) bounds.push_back(row.address);
  inlines.AddBounds(sequence.rows.front().address, sequence.end, bounds);
  std::sort(bounds.begin(), bounds.end());
  bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());

  std::vector<Placed> placed;
  size_t row = 0;
  for (const uint64_t address : bounds) {
    while (row + 1 < sequence.rows.size() && sequence.rows[row + 1].address <= address) ++row;
    const InlineRange* call = inlines.Holding(address);
    const Position position = call != nullptr ? call->call : sequence.rows[row].position;
    if (placed.empty() || !(placed.back().position == position))
      placed.push_back({address, position});
  }
  return placed;
}

void AddSequence(const std::vector<Placed>& placed, uint64_t end, SymbolData& symbols) {
  for (size_t i = 0; i < placed.size();) {
    const std::string_view file = placed[i].position.file;
    size_t next = i;
    for (; next < placed.size() && placed[next].position.file == file; ++next) {
      if (!file.empty())
        symbols.lines.push_back({placed[next].address, placed[next].position.line});
    }
    const uint64_t segment_end = next < placed.size() ? placed[next].address : end;
    if (!file.empty()) {
      symbols.segments.push_back({placed[i].address, segment_end - placed[i].address,
                                  userdb::platform::FileNamePart(file), true, true});
    }
    i = next;
  }
}

// A unit without a line table: its code ranges, without lines.
void AddUnitRanges(Dwarf_Die& unit, const CodeSegments& code, SymbolData& symbols) {
  const char* name = dwarf_diename(&unit);
  const std::string unit_name = userdb::platform::FileNamePart(name != nullptr ? name : "");
  const UnitRanges ranges(unit);
  for (const auto& [low, high] : ranges.All()) {
    if (code.Hold(low)) symbols.segments.push_back({low, high - low, unit_name, true, false});
  }
}

void ReadUnit(Dwarf_Die& unit, const CodeSegments& code, size_t& budget, SymbolData& symbols) {
  const std::vector<Sequence> sequences = LineSequences(unit, code);
  if (sequences.empty()) {
    AddUnitRanges(unit, code, symbols);
    return;
  }
  const InlineIndex inlines(InlineCollector(unit, budget).Collect(unit));
  for (const Sequence& sequence : sequences) {
    AddSequence(PlacedPositions(sequence, inlines), sequence.end, symbols);
  }
}

// Units that share code (one copy of an inline function kept for all) may describe it twice.
void RemoveRepeats(SymbolData& symbols) {
  auto& segments = symbols.segments;
  const auto segment_key = [](const SegmentData& segment) {
    return std::tie(segment.start, segment.length, segment.unit, segment.code, segment.has_lines);
  };
  std::sort(segments.begin(), segments.end(),
            [&](const SegmentData& left, const SegmentData& right) {
              return segment_key(left) < segment_key(right);
            });
  segments.erase(std::unique(segments.begin(), segments.end(),
                             [&](const SegmentData& left, const SegmentData& right) {
                               return segment_key(left) == segment_key(right);
                             }),
                 segments.end());
  auto& lines = symbols.lines;
  std::stable_sort(lines.begin(), lines.end(), [](const LineData& left, const LineData& right) {
    return left.address < right.address;
  });
  lines.erase(std::unique(lines.begin(), lines.end(),
                          [](const LineData& left, const LineData& right) {
                            return left.address == right.address && left.line == right.line;
                          }),
              lines.end());
}

}  // namespace

bool ReadDwarfUnits(Elf* elf, SymbolData& symbols) {
  const std::unique_ptr<Dwarf, DwarfCloser> dwarf(dwarf_begin_elf(elf, DWARF_C_READ, nullptr));
  if (!dwarf) return false;
  const CodeSegments code(elf);
  size_t budget = kMaxEntriesVisited;
  bool any_unit = false;
  Dwarf_CU* unit = nullptr;
  Dwarf_CU* next = nullptr;
  Dwarf_Half version = 0;
  uint8_t unit_type = 0;
  Dwarf_Die unit_entry, sub_entry;
  while (budget > 0 && dwarf_get_units(dwarf.get(), unit, &next, &version, &unit_type, &unit_entry,
                                       &sub_entry) == 0) {
    unit = next;
    --budget;
    if (unit_type != DW_UT_compile) continue;  // type units hold no code; split units are not read
    any_unit = true;
    ReadUnit(unit_entry, code, budget, symbols);
  }
  RemoveRepeats(symbols);
  return any_unit;
}

}  // namespace userdb::crash::detail
