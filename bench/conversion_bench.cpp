// Per-line costs of the conversion's steps, on generated lines held in memory.
#include <benchmark/benchmark.h>

#include <string>

#include "conversion/contact_line.h"
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

}  // namespace

BENCHMARK_MAIN();
