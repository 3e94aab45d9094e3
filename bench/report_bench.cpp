// Costs of the bug report in a program of 12 threads: the part the exception box waits for
// (header, thread titles and first location lines), the complete report with every section
// (every thread traced, the disassembly), and the report of a trace request. "Cold" figures
// start from a new crash-reporter object each time, so that every symbol table is read and
// every function analysed again, as for the first report of a run; "NoDebugFiles" as on a
// machine without the libraries' separate debug files.
#include <benchmark/benchmark.h>
#include <ucontext.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "crash/crash_reporter.h"
#include "crash/report/compose_bug_report.h"
#include "crash/report/report_header_builder.h"

namespace {

using namespace userdb::crash;

constexpr int kOtherThreads = 11;

// The program's other threads, waiting as a program's threads mostly do.
class WaitingThreads {
 public:
  WaitingThreads() {
    for (int i = 0; i < kOtherThreads; ++i) {
      threads_.emplace_back([this] {
        while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      });
    }
  }
  ~WaitingThreads() {
    stop_ = true;
    for (std::thread& thread : threads_) thread.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
};

__attribute__((noinline)) ExceptionFacts FactsHere() {
  ExceptionFacts facts;
  facts.object = ExceptionObject{{"FileOpenError", "Exception"}, "Datei nicht gefunden"};
  facts.address = reinterpret_cast<uintptr_t>(&FactsHere);
  ucontext_t context;
  getcontext(&context);
  facts.context = ProcessorContext::Of(context);
  facts.stack_pointer = facts.context->StackPointer();
  return facts;
}

// Symbols as on this machine, or as on one without the distribution's debug packages (the
// separate debug file of the C library alone takes some 150 ms to read).
enum class Debug { kFiles, kNone };

SymbolSourceOptions SourcesFor(Debug debug) {
  SymbolSourceOptions sources;
  if (debug == Debug::kNone) sources.debug_root = "/nonexistent-debug-root";
  return sources;
}

// Runs `compose` on a new exception each time; `cold` gives each run a new crash reporter.
template <typename Compose>
void ReportOfAnException(benchmark::State& state, bool cold, Debug debug, Compose compose) {
  WaitingThreads threads;
  auto reporter = std::make_unique<CrashReporter>(ProgramForm::kConsole, SourcesFor(debug));
  size_t bytes = 0;
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      reporter.reset();
      reporter = std::make_unique<CrashReporter>(ProgramForm::kConsole, SourcesFor(debug));
      state.ResumeTiming();
    }
    const auto exception = reporter->NewCaughtException(FactsHere(), nullptr);
    bytes = compose(*exception).size();
  }
  state.counters["report_bytes"] = static_cast<double>(bytes);
}

void FirstStage(benchmark::State& state, bool cold, Debug debug) {
  ReportOfAnException(state, cold, debug, [](CaughtException& exception) {
    BuildReportHeader(exception);
    BuildSectionList(exception);
    return exception.Report().Text();
  });
}

void CompleteReport(benchmark::State& state, bool cold, Debug debug) {
  ReportOfAnException(state, cold, debug, [](CaughtException& exception) {
    exception.Settings().WriteBoolean("CpuRegs", true);
    return ComposeBugReport(exception, true);
  });
}

void BM_BoxWaitsFor_Cold(benchmark::State& state) {
  FirstStage(state, true, Debug::kFiles);
}
void BM_BoxWaitsFor_Cold_NoDebugFiles(benchmark::State& state) {
  FirstStage(state, true, Debug::kNone);
}
void BM_BoxWaitsFor_Warm(benchmark::State& state) {
  FirstStage(state, false, Debug::kFiles);
}
void BM_CompleteReport_Cold(benchmark::State& state) {
  CompleteReport(state, true, Debug::kFiles);
}
void BM_CompleteReport_Cold_NoDebugFiles(benchmark::State& state) {
  CompleteReport(state, true, Debug::kNone);
}
void BM_CompleteReport_Warm(benchmark::State& state) {
  CompleteReport(state, false, Debug::kFiles);
}

void BM_TraceReport(benchmark::State& state) {
  WaitingThreads threads;
  CrashReporter reporter;
  for (auto _ : state) {
    std::string text;
    // On a thread of its own, as the trace request's serving thread composes it.
    std::thread([&] { text = reporter.TraceReport(); }).join();
    benchmark::DoNotOptimize(text);
  }
}

BENCHMARK(BM_BoxWaitsFor_Cold)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_BoxWaitsFor_Cold_NoDebugFiles)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_BoxWaitsFor_Warm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompleteReport_Cold)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CompleteReport_Cold_NoDebugFiles)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CompleteReport_Warm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TraceReport)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
