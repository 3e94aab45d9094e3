#include "conversion/region_lookup.h"

#include "platform/case_insensitive_1252.h"

namespace userdb::conversion {

RegionLookup::RegionLookup(const StringList& region_names, const StringList& region_codes) {
  for (int row = 0; row < region_names.Count(); ++row) {
    const std::string_view name = region_names.Get(row);
    if (name.empty()) continue;  // an empty field matches no row
    if (name.size() >= rows_by_length_.size()) rows_by_length_.resize(name.size() + 1);
    rows_by_length_[name.size()].push_back(Row{platform::LowerCase1252(name[0]), std::string(name),
                                               std::string(region_codes.Get(row))});
  }
}

std::optional<std::string_view> RegionLookup::CodeFor(std::string_view field) const {
  if (field.empty() || field.size() >= rows_by_length_.size()) return std::nullopt;
  // Most fields are no region at all: their first letter tells at once.
  const unsigned char first_letter = platform::LowerCase1252(field[0]);
  for (const Row& row : rows_by_length_[field.size()]) {
    if (row.first_letter == first_letter && platform::EqualIgnoringCase1252(field, row.name)) {
      return row.code;
    }
  }
  return std::nullopt;
}

}  // namespace userdb::conversion
