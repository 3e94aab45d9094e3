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
  StringList fields;
  std::string cleaned;
  size_t line = 0;
  for (auto _ : state) {
    BlankToSonderzeichen(kLines[line++ % 4], cleaned);
    SplitFields(cleaned, fields);
    benchmark::DoNotOptimize(fields.Count());
  }
}
BENCHMARK(BM_CleanAndSplit);

// Cleaning, splitting and composing: the work of one line of a run.
void BM_ConvertLine(benchmark::State& state) {
  ConversionLists lists;
  FillRegionTable(lists.RegionNames, lists.RegionCodes);
  const RegionLookup regions(lists.RegionNames, lists.RegionCodes);
  const LogLine log = [](std::string_view) {};
  std::string line_text;
  std::string cleaned;
  size_t line = 0;
  for (auto _ : state) {
    BlankToSonderzeichen(kLines[line++ % 4], cleaned);
    SplitFields(cleaned, lists.FieldList);
    line_text = lists.FieldList.Get(0);
    ComposeContactLine(static_cast<RadioType>(state.range(0)),
                       static_cast<DisplayFormat>(state.range(1)), {lists.FieldList, regions, log},
                       line_text);
    benchmark::DoNotOptimize(line_text.data());
  }
}
BENCHMARK(BM_ConvertLine)->Args({0, 1})->Args({1, 0})->Args({1, 1});

void BM_LoadLines(benchmark::State& state) {
  std::string database;
  for (int i = 0; i < 10000; ++i) database += std::string(kLines[i % 4]) + "\r\n";
  StringList lines;
  for (auto _ : state) {
    lines.LoadFromBytes(database);
    benchmark::DoNotOptimize(lines.Count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * database.size());
}
BENCHMARK(BM_LoadLines);

}  // namespace

BENCHMARK_MAIN();
