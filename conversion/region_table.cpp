#include "conversion/region_table.h"

namespace userdb::conversion {

namespace {

struct Region {
  const char* name;  // 0xA0 separates words; rows 7 and 40 are cut at 20 bytes
  const char* code;
};

// The first matching row wins, so the order matters.
constexpr Region kRegions[] = {
    {"Canada", "CAN"},
    {"United\xA0States", "USA"},
    {"Greece", "GRC"},
    {"Netherlands", "NLD"},
    {"Belgium", "BEL"},
    {"France", "FRA"},
    {"Hungary", "HUN"},
    {"Bosnia\xA0"
     "and\xA0Hercegovi",
     "BIH"},
    {"Romania", "RO"},
    {"Switzerland", "CH"},
    {"Czech\xA0Republic", "CZ"},
    {"Slovakia", "SK"},
    {"United\xA0Kingdom", "UK"},
    {"Denmark", "DK"},
    {"Sweden", "SWE"},
    {"Norway", "NOR"},
    {"Finland", "FI"},
    {"Poland", "POL"},
    {"Portugal", "POR"},
    {"Luxemburg", "LX"},
    {"Ireland", "IRL"},
    {"Bulgaria", "BUL"},
    {"Slovenia", "SLO"},
    {"Macedonia", "MKD"},
    {"Liechtenstein", "LIE"},
    {"Puerto\xA0Rico", "PRI"},
    {"Dominican\xA0Republic", "DOM"},
    {"Trinidad\xA0"
     "and\xA0Tobago",
     "TTO"},
    {"United\xA0"
     "Arab\xA0"
     "Emirates",
     "UAE"},
    {"Malaysia", "MYS"},
    {"Australia", "AUS"},
    {"Philippines", "PHL"},
    {"Thailand", "THA"},
    {"New\xA0Zealand", "NZL"},
    {"South\xA0"
     "Africa",
     "RSA"},
    {"Argentina\xA0Republic", "ARG"},
    {"Germany", "GER"},
    {"Deutschland", "GER"},
    {"Sachsen-Anhalt", "SAH"},
    {"Saxony-Anhalt", "SAH"},
    {"Mecklenburg-Vorpomme", "MV"},
    {"cnty", "???"},
    {"Berlin", "BER"},
    {"Brandenburg", "BRA"},
    {"Schleswig-Holstein", "SH"},
    {"Hamburg", "HH"},
    {"Lower\xA0Saxony", "NDS"},
    {"Niedersachsen", "NDS"},
    {"Niedersachen", "NDS"},
    {"Bremen", "HB"},
    {"Hesse", "HE"},
    {"Hessen", "HE"},
    {"Nordrhein-Westfalen", "NRW"},
    {"Rheinland-Pfalz", "RLP"},
    {"Rhineland-Palatinate", "RLP"},
    {"Saarland", "SAR"},
    {"Baden-Wuerttemberg", "BW"},
    {"Bayern", "BAY"},
    {"Thuringia", "THG"},
    {"Thuringen", "THG"},
    {"Saxony", "SAC"},
    {"Sachsen", "SAC"},
};

}  // namespace

void FillRegionTable(StringList& region_names, StringList& region_codes) {
  for (const Region& region : kRegions) {
    region_names.Add(region.name);
    region_codes.Add(region.code);
  }
}

}  // namespace userdb::conversion
