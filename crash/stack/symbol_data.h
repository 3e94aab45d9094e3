// The symbol information of one module as a source delivers it, before it becomes a table:
// addresses as the module's file gives them (link-time addresses, before the load bias).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace userdb::crash::detail {

struct SegmentData {
  uint64_t start = 0;
  uint64_t length = 0;
  std::string unit;  // source file name without folder
  bool code = true;
  bool has_lines = false;
};

struct PublicData {
  uint64_t address = 0;
  std::string name;  // readable, as DemangleName makes it
  bool code = true;
};

struct LineData {
  uint64_t address = 0;
  uint32_t line = 0;
};

struct SymbolData {
  std::vector<SegmentData> segments;
  std::vector<PublicData> publics;
  std::vector<LineData> lines;
  std::string minimal_debug;  // which source was used, and the module's build id
  std::string build_id;       // the GNU build id of the file described, raw bytes

  bool HasSymbols() const { return !segments.empty() || !publics.empty(); }
};

// The build id as lower-case hexadecimal text.
std::string BuildIdText(const std::string& build_id);

// "<source>, build id <hex>", or the source alone without a build id.
std::string MinimalDebugText(const std::string& source, const std::string& build_id);

}  // namespace userdb::crash::detail
