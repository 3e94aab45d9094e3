#include "crash/stack/unwind_entry.h"

#include <dlfcn.h>

#include <cstring>

#include "crash/stack/dwarf_cursor.h"

namespace userdb::crash {
namespace {

using detail::DwarfCursor;

// The search table form that the linker writes: 4-byte signed values relative to the
// table's header. Other forms are not searched.
constexpr uint8_t kSearchTableEncoding = 0x3B;
constexpr uint32_t kLongLength = 0xFFFFFFFF;

struct ModuleBounds {
  uintptr_t start;
  uintptr_t end;
};

// The length field of a CIE or FDE; the cursor is then bounded by the record's end.
bool OpenRecord(uintptr_t at, ModuleBounds module, DwarfCursor& record) {
  DwarfCursor cursor(at, module.end);
  uint64_t length = cursor.U32();
  if (length == kLongLength) length = cursor.U64();
  if (cursor.Failed() || length == 0 || length > module.end - cursor.Position()) return false;
  record = DwarfCursor(cursor.Position(), cursor.Position() + length);
  return true;
}

struct CommonEntryExtras {
  bool has_augmentation_data = false;  // a "z" augmentation: FDEs carry a length and data
  uint8_t lsda_encoding = detail::kEncodingOmit;
};

bool ReadCommonEntry(uintptr_t at, ModuleBounds module, UnwindEntry& entry,
                     CommonEntryExtras& extras) {
  DwarfCursor cie(0, 0);
  if (at < module.start || !OpenRecord(at, module, cie)) return false;
  if (cie.U32() != 0) return false;  // not a CIE
  const uint8_t version = cie.U8();
  const char* augmentation = cie.String();
  if (cie.Failed() || (version != 1 && version != 3)) return false;
  if (augmentation[0] != '\0' && augmentation[0] != 'z') return false;  // an unknown form
  entry.code_alignment = cie.Uleb();
  entry.data_alignment = cie.Sleb();
  entry.return_column = version == 1 ? cie.U8() : static_cast<unsigned>(cie.Uleb());
  extras = CommonEntryExtras();
  entry.pointer_encoding = 0;
  if (augmentation[0] == 'z') {
    extras.has_augmentation_data = true;
    const uint64_t length = cie.Uleb();
    const uintptr_t after = cie.Position() + length;
    for (const char* letter = augmentation + 1; *letter != '\0' && !cie.Failed(); ++letter) {
      switch (*letter) {
        case 'L':
          extras.lsda_encoding = cie.U8();
          break;
        case 'R':
          entry.pointer_encoding = cie.U8();
          break;
        case 'P':
          cie.Pointer(cie.U8());
          break;  // the personality routine is not needed
        case 'S':
          entry.signal_frame = true;
          break;
        default:
          break;  // the augmentation length lets unknown letters be passed over
      }
    }
    if (cie.Failed() || after > cie.End() || after < cie.Position()) return false;
    cie.Skip(after - cie.Position());
  }
  entry.cie_program = cie.Position();
  entry.cie_program_end = cie.End();
  return !cie.Failed();
}

bool ReadFrameEntry(uintptr_t at, ModuleBounds module, UnwindEntry& entry) {
  DwarfCursor fde(0, 0);
  if (at < module.start || !OpenRecord(at, module, fde)) return false;
  const uintptr_t pointer_position = fde.Position();
  const uint32_t cie_offset = fde.U32();
  if (fde.Failed() || cie_offset == 0 || cie_offset > pointer_position) return false;
  CommonEntryExtras extras;
  if (!ReadCommonEntry(pointer_position - cie_offset, module, entry, extras)) return false;
  entry.start = fde.Pointer(entry.pointer_encoding);
  entry.end = entry.start + fde.Pointer(entry.pointer_encoding & 0x0F);
  entry.lsda = 0;
  if (extras.has_augmentation_data) {
    const uint64_t length = fde.Uleb();
    const uintptr_t data = fde.Position();
    if (fde.Failed() || length > fde.End() - data) return false;
    if (extras.lsda_encoding != detail::kEncodingOmit)
      entry.lsda = fde.Pointer(extras.lsda_encoding);
    fde = DwarfCursor(data + length, fde.End());
  }
  entry.fde_program = fde.Position();
  entry.fde_program_end = fde.End();
  return !fde.Failed() && entry.end > entry.start;
}

}  // namespace

bool FindUnwindEntry(uintptr_t pc, UnwindEntry& entry) {
  dl_find_object found;
  if (_dl_find_object(reinterpret_cast<void*>(pc), &found) != 0 || found.dlfo_eh_frame == nullptr) {
    return false;
  }
  const ModuleBounds module{reinterpret_cast<uintptr_t>(found.dlfo_map_start),
                            reinterpret_cast<uintptr_t>(found.dlfo_map_end)};
  const uintptr_t header = reinterpret_cast<uintptr_t>(found.dlfo_eh_frame);
  DwarfCursor cursor(header, module.end);
  const uint8_t version = cursor.U8();
  const uint8_t frame_pointer_encoding = cursor.U8();
  const uint8_t count_encoding = cursor.U8();
  const uint8_t table_encoding = cursor.U8();
  cursor.Pointer(frame_pointer_encoding, header);
  const uint64_t count = cursor.Pointer(count_encoding, header);
  if (cursor.Failed() || version != 1 || table_encoding != kSearchTableEncoding || count == 0) {
    return false;
  }
  const uintptr_t table = cursor.Position();
  if (count > (module.end - table) / 8) return false;

  // The last row whose start lies at or below the address.
  auto row_start = [&](uint64_t row) {
    int32_t value;
    std::memcpy(&value, reinterpret_cast<const void*>(table + row * 8), sizeof value);
    return header + static_cast<intptr_t>(value);
  };
  uint64_t low = 0, high = count;
  while (low < high) {
    const uint64_t middle = low + (high - low) / 2;
    if (row_start(middle) <= pc) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low == 0) return false;
  int32_t fde_offset;
  std::memcpy(&fde_offset, reinterpret_cast<const void*>(table + (low - 1) * 8 + 4),
              sizeof fde_offset);
  entry = UnwindEntry();
  entry.module_start = module.start;
  entry.module_end = module.end;
  if (!ReadFrameEntry(header + static_cast<intptr_t>(fde_offset), module, entry)) return false;
  return entry.start <= pc && pc < entry.end;
}

}  // namespace userdb::crash
