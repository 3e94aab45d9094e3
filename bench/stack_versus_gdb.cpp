// stack_versus_gdb REPORT GDB_BACKTRACES [LABEL]: compares the call stacks of a trace request's
// report with gdb's backtraces of the same process, thread by thread, and prints the share of
// gdb's frames that the report shows and the share of shown frames that gdb does not have,
// with the frames that differ, and the frames it shows without a name where gdb names them. The
// last line sums the threads up for adding over several runs:
//   total LABEL gdb=N found=N printed=N not_in_gdb=N unnamed=N
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/backtrace_comparison.h"

namespace {

std::string ReadFile(const char* path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

double Share(size_t part, size_t whole) {
  return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: stack_versus_gdb REPORT GDB_BACKTRACES [LABEL]\n");
    return 2;
  }
  const std::string label = argc == 4 ? argv[3] : "run";
  const auto report = userdb::bench::ParseReportStacks(ReadFile(argv[1]));
  const auto gdb = userdb::bench::ParseGdbBacktraces(ReadFile(argv[2]));
  if (report.empty() || gdb.empty()) {
    std::fprintf(stderr, "stack_versus_gdb: no %s threads found\n",
                 report.empty() ? "report" : "gdb");
    return 1;
  }
  std::printf("%-8s %-28s %5s %6s %8s %10s %8s\n", "thread", "name", "gdb", "found", "printed",
              "not-in-gdb", "unnamed");
  userdb::bench::ThreadScore total;
  for (const auto& [id, frames] : gdb) {
    const auto shown = report.find(id);
    if (shown == report.end()) {
      std::printf("%-8d %-28s %5zu  (not in the report)\n", id, frames.title.c_str(),
                  frames.pcs.size());
      continue;
    }
    const userdb::bench::ThreadScore score = userdb::bench::CompareThread(frames, shown->second);
    std::printf("%-8d %-28s %5zu %6zu %8zu %10zu %8zu\n", id, frames.title.c_str(),
                score.gdb_frames, score.found, score.printed, score.not_in_gdb,
                score.unnamed.size());
    for (const std::string& line : score.missing) std::printf("    missing: %s\n", line.c_str());
    for (const std::string& line : score.invented)
      std::printf("    not in gdb: %s\n", line.c_str());
    for (const std::string& line : score.unnamed) std::printf("    unnamed: %s\n", line.c_str());
    total.gdb_frames += score.gdb_frames;
    total.found += score.found;
    total.printed += score.printed;
    total.not_in_gdb += score.not_in_gdb;
    total.unnamed.insert(total.unnamed.end(), score.unnamed.begin(), score.unnamed.end());
  }
  std::printf(
      "%s: %.1f %% of gdb's frames found (%zu of %zu), %.1f %% of printed frames not in "
      "gdb (%zu of %zu)\n",
      label.c_str(), Share(total.found, total.gdb_frames), total.found, total.gdb_frames,
      Share(total.not_in_gdb, total.printed), total.not_in_gdb, total.printed);
  std::printf("total %s gdb=%zu found=%zu printed=%zu not_in_gdb=%zu unnamed=%zu\n", label.c_str(),
              total.gdb_frames, total.found, total.printed, total.not_in_gdb, total.unnamed.size());
  return 0;
}
