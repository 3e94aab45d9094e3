// Look-ups on one module's symbol table. They read the built table only: no lock, no
// allocation (but QualifiedProcName, which composes a text), safe from any number of threads
// at once. An invalid table finds nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "crash/stack/map_file.h"

namespace userdb::crash {

// The segment of the kind whose range holds the address (start included, start plus length
// excluded); an invalid record when there is none.
TMfSegment FindSegment(const TMapFile& table, bool code, uintptr_t address);

// The public with the greatest address at or below the given one. The last public counts
// only when the table knows no end of the code range or the address lies below it. An
// address below the first public gives an invalid record.
TMfPublic FindPublic(const TMapFile& table, uintptr_t address);

// The address of the first public of the kind named `name` (letter case observed or not, as
// asked) within a segment of the kind whose unit is `unit` (letter case ignored); when there
// is none and the unit has no ".", the same with the unit followed by ".cpp", ".h", ".c".
// 0 when nothing is found.
uintptr_t FindPublicByName(const TMapFile& table, bool code, std::string_view unit,
                           bool case_sensitive, std::string_view name);

struct LineLookup {
  // The line number; 0 when none is known; -1 when the table has no line entries at all but
  // the code segment holding the address is marked as having lines.
  int line = 0;
  uintptr_t next_line_address = 0;  // where the next line entry starts; address + 1 for none
};

// The line entry with the greatest address at or below the given one (the last entry only
// below the end of the code range, when the table knows it), counted only when the code
// segment holding the address holds the entry too.
LineLookup FindLine(const TMapFile& table, uintptr_t address);

struct TableLocation {
  bool found = false;                 // false for an invalid table
  std::string_view module_file_name;  // full path
  std::string_view unit;              // of the code segment holding the address
  int line = 0;                       // 0 when none is known
  uintptr_t public_address = 0;       // the public at or below the address; 0 for none
  std::string_view public_name;
};

TableLocation LocationInfo(const TMapFile& table, uintptr_t address);

// "<unit>.<name>" of the public that starts exactly at the address (its name alone when its
// unit is empty); empty when no public starts there. A name holding "%" gets
// " (<module file name>)" appended.
std::string QualifiedProcName(const TMapFile& table, uintptr_t address);

// Keeps `line`, `low` and `high` when the line is already known (not 0) and
// low <= address < high; otherwise looks the line up (a negative one counts as 0), and sets
// low to the address and high to the next line entry's address. A null address changes
// nothing.
void CachedLineLookup(const TMapFile& table, uintptr_t address, int& line, uintptr_t& low,
                      uintptr_t& high);

}  // namespace userdb::crash
