// Symbols from the GNU linker's map file (the output of `-Wl,-Map=<file>`).
#pragma once

#include <optional>
#include <string_view>

#include "crash/stack/symbol_data.h"

namespace userdb::crash::detail {

// Below the heading "Linker script and memory map", each input section of code (.text*,
// .init, .fini) or data (.data*, .rodata*, .bss*, .tdata*, .tbss*, COMMON) of non-zero size
// becomes a segment whose unit is its object file's name without folder and without ".o"
// ("CMakeFiles/x.dir/main.cpp.o" gives "main.cpp", "libx.a(part.o)" gives "part"), and each
// symbol line under it a public of the same kind, named as ReadableName makes it. Assignments
// ("PROVIDE (...)", ". = ALIGN (...)") are no symbols. A map names no lines. None for a text
// without that heading.
std::optional<SymbolData> ParseLinkerMap(std::string_view text);

}  // namespace userdb::crash::detail
