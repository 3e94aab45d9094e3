#include "crash/stack/exception_table.h"

#include "crash/stack/dwarf_cursor.h"

namespace userdb::crash {

namespace {

constexpr uint8_t kEncodingFormat = 0x0F;  // the low bits of an encoding: the value's form
constexpr uint8_t kFormAbsolute = 0x00, kFormUnsigned2 = 0x02, kFormUnsigned4 = 0x03,
                  kFormUnsigned8 = 0x04, kFormSigned2 = 0x0A, kFormSigned4 = 0x0B,
                  kFormSigned8 = 0x0C;

// The size of one type table entry in the encoding; 0 for a form the table cannot have.
size_t EncodedSize(uint8_t encoding) {
  switch (encoding & kEncodingFormat) {
    case kFormAbsolute:
    case kFormUnsigned8:
    case kFormSigned8:
      return 8;
    case kFormUnsigned4:
    case kFormSigned4:
      return 4;
    case kFormUnsigned2:
    case kFormSigned2:
      return 2;
    default:
      return 0;
  }
}

struct TableReader {
  const UnwindEntry& entry;
  const MemoryReader* memory;  // null: catch clauses are not read
  uintptr_t landing_pad_base = 0;
  uint8_t type_encoding = detail::kEncodingOmit;
  uintptr_t type_table = 0;  // where the type table ends: entries are counted back from here
  uintptr_t actions = 0;     // the action table

  // The type_info address of the type table's entry `filter` (counted from 1); 0 for none.
  uintptr_t TypeInfo(int64_t filter) const {
    const size_t size = EncodedSize(type_encoding);
    if (type_table == 0 || size == 0 || filter <= 0 ||
        static_cast<uint64_t>(filter) * size > type_table - entry.module_start) {
      return 0;
    }
    const uintptr_t at = type_table - static_cast<uintptr_t>(filter) * size;
    // A zero entry stands for "catch (...)" in every encoding, relative ones included.
    uint64_t raw = 0;
    if (at + size > entry.module_end || !memory->Read(at, &raw, size) || raw == 0) return 0;
    detail::DwarfCursor cell(at, entry.module_end);
    uintptr_t value = cell.Pointer(type_encoding & ~detail::kEncodingIndirect);
    if (cell.Failed() || value == 0) return 0;
    if ((type_encoding & detail::kEncodingIndirect) != 0 && !memory->ReadValue(value, value)) {
      return 0;
    }
    return value;
  }

  // Follows the action chain from `action` (an offset + 1 into the action table).
  void ReadActions(uint64_t action, CallSiteHandler& handler) const {
    constexpr int kMostActions = 64;
    uintptr_t at = actions + action - 1;
    for (int count = 0; count < kMostActions; ++count) {
      detail::DwarfCursor record(at, entry.module_end);
      const int64_t filter = record.Sleb();
      const uintptr_t next_field = record.Position();
      const int64_t next = record.Sleb();
      if (record.Failed()) return;
      if (filter == 0) handler.cleanup = true;
      if (filter > 0) handler.catches.push_back(TypeInfo(filter));
      // A negative filter lists the types a function may let through (a dynamic
      // exception list): no clause of the pad's.
      if (next == 0) return;
      at = next_field + static_cast<uintptr_t>(next);
    }
  }

  std::vector<CallSiteHandler> Read() {
    std::vector<CallSiteHandler> handlers;
    if (entry.lsda == 0 || entry.lsda < entry.module_start || entry.lsda >= entry.module_end) {
      return handlers;
    }
    detail::DwarfCursor cursor(entry.lsda, entry.module_end);
    const uint8_t landing_pad_base_encoding = cursor.U8();
    landing_pad_base = entry.start;
    if (landing_pad_base_encoding != detail::kEncodingOmit) {
      landing_pad_base = cursor.Pointer(landing_pad_base_encoding);
    }
    type_encoding = cursor.U8();
    if (type_encoding != detail::kEncodingOmit) {
      const uint64_t offset = cursor.Uleb();
      type_table = cursor.Position() + offset;
    }
    const uint8_t call_site_encoding = cursor.U8();
    const uint64_t table_length = cursor.Uleb();
    if (cursor.Failed() || table_length > cursor.End() - cursor.Position()) return handlers;
    actions = cursor.Position() + table_length;
    detail::DwarfCursor table(cursor.Position(), actions);
    while (!table.AtEnd()) {
      CallSiteHandler handler;
      handler.start = entry.start + table.Pointer(call_site_encoding);
      handler.end = handler.start + table.Pointer(call_site_encoding);
      const uintptr_t pad = table.Pointer(call_site_encoding);
      const uint64_t action = table.Uleb();
      if (table.Failed()) break;
      if (pad == 0) continue;
      handler.landing_pad = landing_pad_base + pad;
      if (action == 0) {
        handler.cleanup = true;
      } else if (memory != nullptr) {
        ReadActions(action, handler);
      }
      handlers.push_back(std::move(handler));
    }
    return handlers;
  }
};

}  // namespace

std::vector<uintptr_t> LandingPads(const UnwindEntry& entry) {
  std::vector<uintptr_t> pads;
  for (const CallSiteHandler& handler : TableReader{entry, nullptr}.Read())
    pads.push_back(handler.landing_pad);
  return pads;
}

std::vector<CallSiteHandler> CallSiteHandlers(const UnwindEntry& entry,
                                              const MemoryReader& memory) {
  return TableReader{entry, &memory}.Read();
}

}  // namespace userdb::crash
