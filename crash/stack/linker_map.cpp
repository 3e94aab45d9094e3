#include "crash/stack/linker_map.h"

#include <array>
#include <charconv>

#include "crash/stack/demangle.h"
#include "platform/path.h"

namespace userdb::crash::detail {
namespace {

constexpr std::string_view kMemoryMapHeading = "Linker script and memory map";

enum class SectionKind { kNone, kCode, kData };

constexpr std::array<std::string_view, 3> kCodeSections = {".text", ".init", ".fini"};
constexpr std::array<std::string_view, 6> kDataSections = {".data",  ".rodata", ".bss",
                                                           ".tdata", ".tbss",   "COMMON"};

SectionKind KindOf(std::string_view section) {
  for (const std::string_view code : kCodeSections) {
    if (section == code || section.starts_with(std::string(code) + '.')) return SectionKind::kCode;
  }
  for (const std::string_view data : kDataSections) {
    if (section.starts_with(data)) return SectionKind::kData;
  }
  return SectionKind::kNone;
}

std::string_view TrimmedLeft(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view Trimmed(std::string_view text) {
  text = TrimmedLeft(text);
  const size_t last = text.find_last_not_of(" \t\r");
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

// Takes the first blank-separated token off `text`.
std::string_view TakeToken(std::string_view& text) {
  text = TrimmedLeft(text);
  const size_t end = text.find(' ');
  const std::string_view token = text.substr(0, end);
  text = end == std::string_view::npos ? std::string_view() : text.substr(end);
  return token;
}

bool ParseHex(std::string_view token, uint64_t& value) {
  if (!token.starts_with("0x") || token.size() < 3) return false;
  const char* end = token.data() + token.size();
  const auto result = std::from_chars(token.data() + 2, end, value, 16);
  return result.ec == std::errc() && result.ptr == end;
}

std::string UnitOfObject(std::string_view file) {
  std::string_view name = file;
  if (name.ends_with(')')) {  // an archive member: libx.a(part.o)
    const size_t open = name.rfind('(');
    if (open != std::string_view::npos) name = name.substr(open + 1, name.size() - open - 2);
  }
  std::string unit = userdb::platform::FileNamePart(name);
  for (const std::string_view object : {".o", ".obj"}) {
    if (unit.size() > object.size() && unit.ends_with(object)) {
      unit.resize(unit.size() - object.size());
      break;
    }
  }
  return unit;
}

bool IsAssignment(std::string_view name) {
  return name.find('=') != std::string_view::npos || name.starts_with("PROVIDE") ||
         name.starts_with("[");
}

class MapReader {
 public:
  void Line(std::string_view line) {
    if (line.empty()) return;
    if (line[0] != ' ') {  // an output section or a command: input sections follow anew
      EndSection();
      return;
    }
    if (line.size() > 1 && line[1] != ' ') {
      if (line[1] == '*') {  // a pattern or a fill: no section of its own
        pending_ = {};
        return;
      }
      std::string_view rest = line;
      const std::string_view name = TakeToken(rest);
      if (Trimmed(rest).empty()) {  // the name was too long: the rest follows on the next line
        pending_ = name;
        kind_ = SectionKind::kNone;
      } else {
        InputSection(name, rest);
      }
      return;
    }
    if (!pending_.empty()) {
      InputSection(pending_, line);
      pending_ = {};
      return;
    }
    Symbol(line);
  }

  SymbolData Take() { return std::move(symbols_); }

 private:
  void EndSection() {
    pending_ = {};
    kind_ = SectionKind::kNone;
  }

  void InputSection(std::string_view name, std::string_view rest) {
    uint64_t address = 0, size = 0;
    kind_ = SectionKind::kNone;
    if (!ParseHex(TakeToken(rest), address) || !ParseHex(TakeToken(rest), size)) return;
    kind_ = KindOf(name);
    unit_ = UnitOfObject(Trimmed(rest));
    if (kind_ != SectionKind::kNone && size > 0) {
      symbols_.segments.push_back({address, size, unit_, kind_ == SectionKind::kCode, false});
    }
  }

  void Symbol(std::string_view line) {
    if (kind_ == SectionKind::kNone) return;
    std::string_view rest = line;
    uint64_t address = 0;
    if (!ParseHex(TakeToken(rest), address)) return;
    const std::string_view name = Trimmed(rest);
    if (name.empty() || IsAssignment(name)) return;
    symbols_.publics.push_back({address, ReadableName(name), kind_ == SectionKind::kCode});
  }

  SymbolData symbols_;
  SectionKind kind_ = SectionKind::kNone;
  std::string unit_;
  std::string_view pending_;
};

}  // namespace

std::optional<SymbolData> ParseLinkerMap(std::string_view text) {
  bool in_memory_map = false;
  MapReader reader;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!in_memory_map) {
      in_memory_map = line == kMemoryMapHeading;
      continue;
    }
    reader.Line(line);
  }
  if (!in_memory_map) return std::nullopt;
  return reader.Take();
}

}  // namespace userdb::crash::detail
