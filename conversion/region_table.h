#pragma once

#include "conversion/string_list.h"

namespace userdb::conversion {

// Adds the 62 rows of the region abbreviation table, in their fixed order, to the two
// lists: row k of `region_names` is abbreviated to row k of `region_codes`.
void FillRegionTable(StringList& region_names, StringList& region_codes);

}  // namespace userdb::conversion
