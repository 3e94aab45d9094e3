// Any bytes as a packed symbol record, and (first byte 0) any bytes as the inflated body of a
// well-sealed record: reading never reads past them or crashes, and what it accepts makes a
// table that every look-up can search.
#include <cstdint>
#include <string>
#include <string_view>

#include "crash/stack/map_file_lookup.h"
#include "crash/stack/packed_symbols.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace userdb::crash;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const bool body_only = !bytes.empty() && bytes[0] == '\0';
  const auto symbols =
      UnpackSymbols(body_only ? detail::SealPackedBody(bytes.substr(1)) : std::string(bytes));
  if (!symbols) return 0;
  ModuleInfo module;
  module.code = {0x1000, 0x100000};
  module.bias = 0x1000;
  const auto table = TMapFile::Build(module, *symbols);
  for (const auto& line : symbols->lines) LocationInfo(*table, line.address + module.bias);
  for (const auto& symbol : symbols->publics) {
    QualifiedProcName(*table, symbol.address + module.bias);
  }
  for (const auto& segment : symbols->segments) {
    FindPublicByName(*table, segment.code, segment.unit, false, "main");
  }
  return 0;
}
