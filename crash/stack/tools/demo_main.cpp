// userdb-stack-demo: runs a small program to a crash (or a throw) and prints the call chain
// that the stack trace finds, as the crash reporter would. For developers, the tests and the
// accuracy benchmark.
//
//   userdb-stack-demo [--compare] [--time [--tables-first]] [--snapshot] [--no-debug-files]
//   <scenario>
//
// --compare also prints, for the trace, a plain frame-pointer walk and a naive scan, how many
// frames of the reference chain (libunwind at the same point) each found and invented;
// --time prints the first trace's time and that of later (warm) traces (with --tables-first,
// the symbol tables of the modules met are built and timed before the first trace);
// --snapshot lists the values that the snapshot kept; --no-debug-files names the libraries
// without their separate debug files, as on a machine without debug packages.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "crash/stack/tools/demo_capture.h"
#include "crash/stack/tools/demo_scenarios.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: userdb-stack-demo [--compare] [--time [--tables-first]] [--snapshot] "
               "<scenario>\nscenarios:");
  for (std::string_view name : userdb::crash::demo::kScenarioNames) {
    std::fprintf(stderr, " %.*s", static_cast<int>(name.size()), name.data());
  }
  std::fprintf(stderr, "\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  userdb::crash::demo::CaptureOptions options;
  const char* scenario = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--compare") == 0) {
      options.compare = true;
    } else if (std::strcmp(argv[i], "--time") == 0) {
      options.time = true;
    } else if (std::strcmp(argv[i], "--snapshot") == 0) {
      options.snapshot = true;
    } else if (std::strcmp(argv[i], "--tables-first") == 0) {
      options.tables_first = true;
    } else if (std::strcmp(argv[i], "--no-debug-files") == 0) {
      options.no_debug_files = true;
    } else if (scenario == nullptr && argv[i][0] != '-') {
      scenario = argv[i];
    } else {
      return Usage();
    }
  }
  if (scenario == nullptr) return Usage();
  bool known = false;
  for (std::string_view name : userdb::crash::demo::kScenarioNames) known |= name == scenario;
  if (!known) return Usage();
  userdb::crash::demo::StartCapturing(options, scenario);
  userdb::crash::demo::RunScenario(scenario, argc, argv);
  std::fprintf(stderr, "userdb-stack-demo: the scenario ended without a crash\n");
  return 1;
}
