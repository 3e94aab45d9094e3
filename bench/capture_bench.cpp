// The cost of the crash reporter to a conversion: 1,000,000 lines, one in a hundred defective
// so that its composition fails and its exception passes the throw point (where the crash
// reporter records every throw), converted without and with the crash reporter installed;
// and the same people as a radioid.net CSV export.
// Prints the best of several runs of each and the difference, and the time the crash
// reporter's start-up adds to a program's.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "conversion/conversion_run.h"
#include "conversion/transform_command.h"
#include "crash/crash_reporter.h"

namespace {

constexpr int kLines = 1000000;
constexpr int kDefectEvery = 100;
constexpr int kRounds = 5;

// The same people as a radioid.net export: a record short of a column is malformed and
// ignored, without an exception; one name in ten is Cyrillic, made Latin for the radio.
std::string CsvDatabase() {
  std::string bytes = "RADIO_ID,CALLSIGN,FIRST_NAME,LAST_NAME,CITY,STATE,COUNTRY\r\n";
  bytes.reserve(static_cast<size_t>(kLines) * 60);
  for (int i = 0; i < kLines; ++i) {
    const std::string id = std::to_string(2620000 + i % 1000000).substr(0, 7);
    const char* const first =
        i % 10 == 0 ? "\xD0\xA1\xD0\xB5\xD1\x80\xD0\xB3\xD0\xB5\xD0\xB9" : "Hans";
    if (i % kDefectEvery == kDefectEvery - 1) {
      bytes += id + ",DL" + std::to_string(i % 10000) + "," + first + ",Meier\r\n";
    } else {
      bytes += id + ",DL" + std::to_string(i % 10000) + "," + first +
               ",Meier,Frankfurt am Main,Hessen,Germany\r\n";
    }
  }
  return bytes;
}

// The MD-2017 layout reads the state field: a line that ends before it fails.
std::string Database() {
  std::string bytes;
  bytes.reserve(static_cast<size_t>(kLines) * 60);
  for (int i = 0; i < kLines; ++i) {
    const std::string id = std::to_string(2620000 + i % 1000000).substr(0, 7);
    if (i % kDefectEvery == kDefectEvery - 1) {
      bytes += id + ",DL" + std::to_string(i % 10000) + ",Hans Meier,Frankfurt\r\n";
    } else {
      bytes += id + ",DL" + std::to_string(i % 10000) +
               ",Hans Meier,Frankfurt am Main,Hessen,,Germany\r\n";
    }
  }
  return bytes;
}

struct RunResult {
  double seconds = 0;
  double cpu_seconds = 0;  // of the whole process, the crash reporter's threads included
  int mismatches = 0;
};

// The processor time the process used so far: unlike the wall time, it holds no waits for a
// processor that other work on a busy machine keeps.
double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The best of each time over the rounds.
struct BestTimes {
  double seconds = 1e9;
  double cpu_seconds = 1e9;

  void Add(const RunResult& run) {
    seconds = std::min(seconds, run.seconds);
    cpu_seconds = std::min(cpu_seconds, run.cpu_seconds);
  }
};

void PrintComparison(const BestTimes& without, const BestTimes& with) {
  std::printf("  without the crash reporter: %.3f s, processor %.3f s\n", without.seconds,
              without.cpu_seconds);
  std::printf("  with the crash reporter:    %.3f s (%+.1f %%), processor %.3f s (%+.1f %%)\n",
              with.seconds, (with.seconds / without.seconds - 1) * 100, with.cpu_seconds,
              (with.cpu_seconds / without.cpu_seconds - 1) * 100);
}

RunResult Convert(const std::string& input) {
  userdb::conversion::TransformSelections selections;
  selections.input_path = input;
  selections.radio_type = userdb::conversion::kMd2017;
  selections.display_format = userdb::conversion::kCompact;
  const auto lists = userdb::conversion::CreateConversionLists();
  RunResult result;
  userdb::conversion::ConversionSinks sinks;
  sinks.log = [&result](std::string_view line) {
    if (line == "Data mismatch in line ") ++result.mismatches;
  };
  sinks.set_total_parts = [](int32_t) {};
  sinks.set_parts_complete = [](int32_t) {};
  const auto start = std::chrono::steady_clock::now();
  const double cpu_start = ProcessCpuSeconds();
  userdb::conversion::ConversionRun(userdb::conversion::TransformRequest(selections), *lists,
                                    sinks);
  result.cpu_seconds = ProcessCpuSeconds() - cpu_start;
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}

__attribute__((noinline)) void Raise(int depth) {
  if (depth == 0) throw std::runtime_error("bench");
  Raise(depth - 1);
  asm volatile("" ::: "memory");
}

// The best time of one throw through ten frames and its catch, in microseconds.
double ThrowMicroseconds() {
  constexpr int kThrows = 20000;
  double best = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kThrows; ++i) {
      try {
        Raise(10);
      } catch (const std::runtime_error&) {
      }
    }
    best = std::min(
        best, std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                      .count() /
                  kThrows);
  }
  return best;
}

}  // namespace

int main() {
  const std::string folder =
      (std::filesystem::temp_directory_path() / ("capture-bench-" + std::to_string(getpid())))
          .string();
  std::filesystem::create_directories(folder);
  const std::string input = folder + "/UserDb.bin";
  std::ofstream(input, std::ios::binary) << Database();
  const std::string csv_input = folder + "/user.csv";
  std::ofstream(csv_input, std::ios::binary) << CsvDatabase();

  const double throw_without = ThrowMicroseconds();
  double throw_with = 0;
  BestTimes without, with, csv_without, csv_with;
  double start_up = 1e9;
  int mismatches = 0;
  for (int round = 0; round < kRounds; ++round) {
    without.Add(Convert(input));
    csv_without.Add(Convert(csv_input));
    const auto created = std::chrono::steady_clock::now();
    auto reporter = std::make_unique<userdb::crash::CrashReporter>();
    start_up =
        std::min(start_up,
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - created).count());
    if (!reporter->Installed()) {
      std::fputs("capture_bench: the crash reporter did not install itself\n", stderr);
      return 1;
    }
    if (round == 0) throw_with = ThrowMicroseconds();
    const RunResult run = Convert(input);
    with.Add(run);
    mismatches = run.mismatches;
    csv_with.Add(Convert(csv_input));
  }
  std::filesystem::remove_all(folder);
  std::printf("start-up of the crash reporter (installed): %.2f ms\n", start_up * 1000);
  std::printf("a throw through ten frames and its catch: %.2f us without, %.2f us with\n",
              throw_without, throw_with);
  std::printf("conversion of %d lines, %d of them failing (exceptions through the throw point)\n",
              kLines, mismatches);
  PrintComparison(without, with);
  std::printf("the same as a radioid.net CSV export, one name in ten Cyrillic\n");
  PrintComparison(csv_without, csv_with);
  return 0;
}
