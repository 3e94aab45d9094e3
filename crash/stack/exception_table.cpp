#include "crash/stack/exception_table.h"

#include "crash/stack/dwarf_cursor.h"

namespace userdb::crash {

std::vector<uintptr_t> LandingPads(const UnwindEntry& entry) {
  std::vector<uintptr_t> pads;
  if (entry.lsda == 0 || entry.lsda < entry.module_start || entry.lsda >= entry.module_end) {
    return pads;
  }
  detail::DwarfCursor cursor(entry.lsda, entry.module_end);
  const uint8_t landing_pad_base_encoding = cursor.U8();
  uintptr_t landing_pad_base = entry.start;
  if (landing_pad_base_encoding != detail::kEncodingOmit) {
    landing_pad_base = cursor.Pointer(landing_pad_base_encoding);
  }
  if (cursor.U8() != detail::kEncodingOmit) cursor.Uleb();  // the type table's offset
  const uint8_t call_site_encoding = cursor.U8();
  const uint64_t table_length = cursor.Uleb();
  if (cursor.Failed() || table_length > cursor.End() - cursor.Position()) return pads;
  detail::DwarfCursor table(cursor.Position(), cursor.Position() + table_length);
  while (!table.AtEnd()) {
    table.Pointer(call_site_encoding);  // the call site's start
    table.Pointer(call_site_encoding);  // and length
    const uintptr_t pad = table.Pointer(call_site_encoding);
    table.Uleb();  // the action
    if (table.Failed()) break;
    if (pad != 0) pads.push_back(landing_pad_base + pad);
  }
  return pads;
}

}  // namespace userdb::crash
