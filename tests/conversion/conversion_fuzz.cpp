// Fuzzes cleaning, splitting and composition with arbitrary lines. The first byte picks
// the radio type and display format; the rest is the line. Checks the invariants every
// line must keep, whatever its bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "conversion/contact_line.h"
#include "conversion/record_preparation.h"
#include "conversion/region_table.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static userdb::conversion::ConversionLists lists = [] {
    userdb::conversion::ConversionLists filled;
    userdb::conversion::FillRegionTable(filled.RegionNames, filled.RegionCodes);
    return filled;
  }();
  static const userdb::conversion::RegionLookup regions(lists.RegionNames, lists.RegionCodes);
  const userdb::conversion::LogLine log = [](std::string_view) {};
  const userdb::conversion::RadioType radio_type =
      data[0] & 1 ? userdb::conversion::kMd2017 : userdb::conversion::kMd9600;
  const userdb::conversion::DisplayFormat display_format =
      (data[0] >> 1) & 1 ? userdb::conversion::kCompact : userdb::conversion::kFieldPerLine;
  const std::string_view line(reinterpret_cast<const char*>(data) + 1, size - 1);

  const std::string cleaned = userdb::conversion::BlankToSonderzeichen(line);
  Check(cleaned.find_first_of("\"() ") == std::string::npos);
  userdb::conversion::SplitFields(cleaned, lists.FieldList);
  for (int i = 0; i < lists.FieldList.Count(); ++i) {
    for (const char byte : lists.FieldList.Get(i)) {
      Check(byte != ',' && static_cast<unsigned char>(byte) > 0x20);
    }
  }
  if (lists.FieldList.Count() < 4) return 0;

  const std::string id(lists.FieldList.Get(0));
  std::string line_text = id;
  try {
    if (lists.FieldList.Count() >= 6) {
      Check(userdb::conversion::ComposeDisplayName(lists.FieldList, log).size() == 15);
    }
    userdb::conversion::ComposeContactLine(radio_type, display_format,
                                           {lists.FieldList, regions, log}, line_text);
    Check(lists.FieldList.Count() >= 7);
  } catch (const userdb::conversion::ListIndexError&) {
    Check(lists.FieldList.Count() < 7);
  }
  Check(line_text.compare(0, id.size(), id) == 0);
  Check(line_text.size() == id.size() || line_text.substr(id.size(), 1) == ",");
  return 0;
}
