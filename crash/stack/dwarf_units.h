// Segments and line entries from an ELF file's DWARF.
//
// Every code address is named by the source position of the function that holds it: code
// inlined from another file counts as the line that called it. A segment is a stretch of
// code whose positions lie in one source file, so a unit's own functions form its segments,
// and a function that a header defines (a template, an inline function compiled out of line)
// forms a segment of that header. The unit of an address and its line thus always belong
// together, and to the function that the address lies in.
#pragma once

#include <libelf.h>

#include "crash/stack/symbol_data.h"

namespace userdb::crash::detail {

// Adds the segments and line entries of every compilation unit; false when the file has no
// DWARF that could be read.
bool ReadDwarfUnits(Elf* elf, SymbolData& symbols);

}  // namespace userdb::crash::detail
