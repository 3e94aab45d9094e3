// The region table arranged for look-ups during a run: the rows of each name length in
// table order, so that a field is compared only with names of its own length and first
// letter, and the first matching row still wins.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/string_list.h"

namespace userdb::conversion {

class RegionLookup {
 public:
  // Row k of `region_names` is abbreviated to row k of `region_codes`.
  RegionLookup(const StringList& region_names, const StringList& region_codes);

  // The code of the first row whose name equals `field` apart from letter case
  // (Windows-1252); nothing is trimmed.
  std::optional<std::string_view> CodeFor(std::string_view field) const;

 private:
  struct Row {
    unsigned char first_letter;  // in lower case
    std::string name;
    std::string code;
  };
  std::vector<std::vector<Row>> rows_by_length_;
};

}  // namespace userdb::conversion
