// Per-line costs of the conversion's steps, on generated lines held in memory.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "conversion/contact_line.h"
#include "conversion/csv_reader.h"
#include "conversion/radio_text.h"
#include "conversion/radioid_csv.h"
#include "conversion/record_preparation.h"
#include "conversion/region_table.h"

namespace {

const char* const kLines[] = {
    "2621001,DL1ABC,Hans Meier,Frankfurt am Main,Hessen,,Germany",
    "3101002,W2DEF,Mary Johnson,New York,New York,Molly,United States",
    "\"2341001\",\"G4JKL\",\"Oliver Brown\",\"London (City)\",\"England\",\"Olly\",\"United "
    "Kingdom\"",
    "2281001,HB9PQR,Ursula Keller,Z\xFCrich,ZH,,Switzerland",
};

void BM_CleanAndSplit(benchmark::State& state) {
  userdb::conversion::StringList fields;
  std::string cleaned;
  size_t line = 0;
  for (auto _ : state) {
    userdb::conversion::BlankToSonderzeichen(kLines[line++ % 4], cleaned);
    userdb::conversion::SplitFields(cleaned, fields);
    benchmark::DoNotOptimize(fields.Count());
  }
}
BENCHMARK(BM_CleanAndSplit);

// Cleaning, splitting and composing: the work of one line of a run.
void BM_ConvertLine(benchmark::State& state) {
  userdb::conversion::ConversionLists lists;
  userdb::conversion::FillRegionTable(lists.RegionNames, lists.RegionCodes);
  const userdb::conversion::RegionLookup regions(lists.RegionNames, lists.RegionCodes);
  const userdb::conversion::LogLine log = [](std::string_view) {};
  std::string line_text;
  std::string cleaned;
  size_t line = 0;
  for (auto _ : state) {
    userdb::conversion::BlankToSonderzeichen(kLines[line++ % 4], cleaned);
    userdb::conversion::SplitFields(cleaned, lists.FieldList);
    line_text = lists.FieldList.Get(0);
    userdb::conversion::ComposeContactLine(
        static_cast<userdb::conversion::RadioType>(state.range(0)),
        static_cast<userdb::conversion::DisplayFormat>(state.range(1)),
        {lists.FieldList, regions, log}, line_text);
    benchmark::DoNotOptimize(line_text.data());
  }
}
BENCHMARK(BM_ConvertLine)->Args({0, 1})->Args({1, 0})->Args({1, 1});

void BM_LoadLines(benchmark::State& state) {
  std::string database;
  for (int i = 0; i < 10000; ++i) database += std::string(kLines[i % 4]) + "\r\n";
  userdb::conversion::StringList lines;
  for (auto _ : state) {
    lines.LoadFromBytes(database);
    benchmark::DoNotOptimize(lines.Count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * database.size());
}
BENCHMARK(BM_LoadLines);

// A radioid.net record read and made into its 7-field line.
void BM_CsvRecordToLine(benchmark::State& state) {
  const std::string records =
      "2621001,DL1ABC,Hans,Meier,Frankfurt am Main,Hessen,Germany,\r\n"
      "3101002,W2DEF,Mary,Johnson,\"Washington, D.C.\",DC,United States,\"DMR, D-STAR\"\r\n";
  const userdb::conversion::CsvColumns columns = *userdb::conversion::CsvColumnsOfHeader(
      {"RADIO_ID", "CALLSIGN", "FIRST_NAME", "LAST_NAME", "CITY", "STATE", "COUNTRY", "REMARKS"},
      "bench.csv");
  userdb::conversion::CsvReader reader(records);
  std::vector<std::string_view> fields;
  std::string line;
  for (auto _ : state) {
    if (reader.Next(fields) != userdb::conversion::CsvReader::Result::kRecord) {
      reader.Reset(records, 1);
      reader.Next(fields);
    }
    userdb::conversion::UserDbLineOfCsvRecord(fields, columns, line);
    benchmark::DoNotOptimize(line.data());
  }
}
BENCHMARK(BM_CsvRecordToLine);

// A line's text made Windows-1252: Latin letters the code page has, and Cyrillic and Greek
// names that were met before (the transliterations are kept).
void BM_RadioTextLine(benchmark::State& state) {
  const char* const lines[] = {
      "2621001,DL1ABC,J\xC3\xBCrgen M\xC3\xBCller,M\xC3\xBCnchen,Bayern,,Germany",
      "2501003,RA3DEF,\xD0\xA1\xD0\xB5\xD1\x80\xD0\xB3\xD0\xB5\xD0\xB9,Moskva,,,Russia",
      "2021004,SV1GHI,\xCE\x9F\xCE\xBB\xCE\xB3\xCE\xB1,Athens,,,Greece",
      "2341001,G4JKL,Oliver Brown,London,England,,United Kingdom",
  };
  userdb::conversion::RadioText radio_text;
  std::string converted;
  size_t line = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        radio_text
            .ConvertLine(userdb::conversion::TextChoice::kCp1252, lines[line++ % 4], converted)
            .data());
  }
}
BENCHMARK(BM_RadioTextLine);

}  // namespace

BENCHMARK_MAIN();
