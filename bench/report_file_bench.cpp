// Costs of the crash reporter's file work: planning a bug report file update on a file at
// its size limit, and one value written to and read from the registry store.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "crash/report/report_file_format.h"
#include "crash/report/report_file_update.h"
#include "platform/registry/registry_access.h"
#include "tests/crash/report/sample_report.h"

namespace {

constexpr size_t kFileSize = 190000;  // just below the default limit of 200,000 bytes

std::string ReportNumber(int number) {
  userdb::test_support::SampleReport report;
  char first[16];
  snprintf(first, sizeof first, "$%08x", static_cast<unsigned>(number));
  report.checksums = std::string(first) + ", $00ff00ff, $12345678";
  report.filler = std::string(800, 'x');
  return report.Text();
}

// Distinct reports up to kFileSize; report 7 is the one a new report repeats.
std::string FullFile() {
  std::string file;
  for (int number = 0; file.size() < kFileSize; ++number) {
    file += ReportNumber(number);
    file += userdb::crash::kReportSeparator;
  }
  return file;
}

void PlanUpdate(benchmark::State& state, const std::string& report, bool keeps_contents) {
  const std::string contents = FullFile();
  const userdb::crash::ReportFileRules rules;
  if (userdb::crash::PlanReportFileUpdate(contents, report, rules).keeps_contents !=
      keeps_contents) {
    state.SkipWithError("the report did not do what this benchmark measures");
    return;
  }
  for (auto _ : state) {
    userdb::crash::ReportFileUpdate update = PlanReportFileUpdate(contents, report, rules);
    benchmark::DoNotOptimize(update.appended.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * contents.size()));
}

void BM_PlanAppendNewReport(benchmark::State& state) {
  PlanUpdate(state, ReportNumber(-1), true);
}
BENCHMARK(BM_PlanAppendNewReport);

void BM_PlanReplaceDuplicate(benchmark::State& state) {
  PlanUpdate(state, ReportNumber(7), false);
}
BENCHMARK(BM_PlanReplaceDuplicate);

// The registry store in a folder of its own, removed afterwards.
class StoreFolder {
 public:
  StoreFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "registry-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~StoreFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  std::string File() const { return path_ + "/registry.reg"; }

 private:
  std::string path_;
};

// Each write is a locked read-modify-write, flushed to disk and renamed into place.
void BM_RegistryWriteString(benchmark::State& state) {
  StoreFolder folder;
  std::ostringstream diagnostics;
  userdb::registry::RegistryStore store(folder.File(), diagnostics);
  int round = 0;
  for (auto _ : state) {
    userdb::registry::RegistryAccess access(store);
    access.OpenOrCreateKey("\\Software\\ZID\\DefaultUserbinPath");
    access.WriteString("Path", "/home/operator/radio/UserDb" + std::to_string(round++) + ".bin");
  }
}
BENCHMARK(BM_RegistryWriteString)->Unit(benchmark::kMillisecond);

void BM_RegistryReadString(benchmark::State& state) {
  StoreFolder folder;
  std::ostringstream diagnostics;
  userdb::registry::RegistryStore store(folder.File(), diagnostics);
  {
    userdb::registry::RegistryAccess access(store);
    access.OpenOrCreateKey("\\Software\\ZID\\DefaultUserbinPath");
    access.WriteString("Path", "/home/operator/radio/UserDb.bin");
  }
  for (auto _ : state) {
    userdb::registry::RegistryAccess access(store);
    access.OpenExistingKey("\\Software\\ZID\\DefaultUserbinPath");
    benchmark::DoNotOptimize(access.ReadString("Path"));
  }
}
BENCHMARK(BM_RegistryReadString)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
