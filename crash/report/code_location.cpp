#include "crash/report/code_location.h"

#include "crash/stack/symbol_lookup.h"
#include "crash/stack/unwind_entry.h"
#include "platform/path.h"

namespace userdb::crash {

StackItem DescribeCodeAddress(SymbolLookup& symbols, uintptr_t address) {
  StackItem item;
  item.address = address;
  if (address == 0) return item;
  const Location location = symbols.LocationInfo(address);
  item.module_name = platform::FileNamePart(location.found ? location.module_file_name
                                                           : location.table->FileName());
  if (!location.found) return item;
  item.unit = std::string(location.unit);
  item.line = location.line > 0 ? location.line : 0;
  if (location.public_address != 0 && !location.public_name.empty()) {
    item.function_start = location.public_address;
    item.function_name = std::string(location.public_name);
    const LineLookup first = FindLine(*location.table, location.public_address);
    if (first.line > 0 && first.line <= item.line) item.function_first_line = first.line;
  }
  return item;
}

StackItem DescribeCodeAddressQuickly(SymbolLookup& symbols, uintptr_t address) {
  StackItem item;
  item.address = address;
  const auto module = address != 0 ? symbols.Modules().Add(address) : std::nullopt;
  if (!module) return item;
  const ModuleRecord record = symbols.Modules().At(*module);
  if (record.table || record.info->is_main) return DescribeCodeAddress(symbols, address);
  item.module_name = record.info->file_name;
  UnwindEntry unwind;
  if (FindUnwindEntry(address, unwind)) {
    item.function_name = symbols.ExportNameAt(record.info->handle, unwind.start, true);
    if (!item.function_name.empty()) item.function_start = unwind.start;
  }
  return item;
}

}  // namespace userdb::crash
