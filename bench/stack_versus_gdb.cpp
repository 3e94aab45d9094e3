// stack_versus_gdb REPORT GDB_BACKTRACES [LABEL]: compares the call stacks of a trace request's
// report with gdb's backtraces of the same process, thread by thread, and prints the share of
// gdb's frames that the report shows and the share of shown frames that gdb does not have,
// with the frames that differ; of the frames found that gdb names, those the report names
// alike, those it shows without a name and those it names otherwise. The last line sums the
// threads up for adding over several runs:
//   total LABEL gdb=N found=N printed=N not_in_gdb=N unnamed=N named_by_gdb=N names_matched=N
//         misnamed=N named_by_report_alone=N
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
  std::printf("%-8s %-28s %5s %6s %8s %10s %6s %8s %8s %9s\n", "thread", "name", "gdb", "found",
              "printed", "not-in-gdb", "named", "matched", "unnamed", "misnamed");
  userdb::bench::ThreadScore total;
  for (const auto& [id, frames] : gdb) {
    const auto shown = report.find(id);
    if (shown == report.end()) {
      std::printf("%-8d %-28s %5zu  (not in the report)\n", id, frames.title.c_str(),
                  frames.pcs.size());
      continue;
    }
    const userdb::bench::ThreadScore score = userdb::bench::CompareThread(frames, shown->second);
    std::printf("%-8d %-28s %5zu %6zu %8zu %10zu %6zu %8zu %8zu %9zu\n", id, frames.title.c_str(),
                score.gdb_frames, score.found, score.printed, score.not_in_gdb, score.named_by_gdb,
                score.names_matched, score.unnamed.size(), score.misnamed.size());
    for (const std::string& line : score.missing) std::printf("    missing: %s\n", line.c_str());
    for (const std::string& line : score.invented)
      std::printf("    not in gdb: %s\n", line.c_str());
    for (const std::string& line : score.unnamed) std::printf("    unnamed: %s\n", line.c_str());
    for (const std::string& line : score.misnamed) std::printf("    misnamed: %s\n", line.c_str());
    for (const std::string& line : score.named_by_report_alone) {
      std::printf("    named where gdb has no name: %s\n", line.c_str());
    }
    total.gdb_frames += score.gdb_frames;
    total.found += score.found;
    total.printed += score.printed;
    total.not_in_gdb += score.not_in_gdb;
    total.named_by_gdb += score.named_by_gdb;
    total.names_matched += score.names_matched;
    total.other_c_library_name += score.other_c_library_name;
    total.unnamed.insert(total.unnamed.end(), score.unnamed.begin(), score.unnamed.end());
    total.misnamed.insert(total.misnamed.end(), score.misnamed.begin(), score.misnamed.end());
    total.named_by_report_alone.insert(total.named_by_report_alone.end(),
                                       score.named_by_report_alone.begin(),
                                       score.named_by_report_alone.end());
  }
  std::printf(
      "%s: %.1f %% of gdb's frames found (%zu of %zu), %.1f %% of printed frames not in "
      "gdb (%zu of %zu)\n",
      label.c_str(), Share(total.found, total.gdb_frames), total.found, total.gdb_frames,
      Share(total.not_in_gdb, total.printed), total.not_in_gdb, total.printed);
  std::printf(
      "%s: %.1f %% of the found frames that gdb names named alike (%zu of %zu, %zu by another "
      "name of the C library's), %zu without a name, %zu by another name; %zu named where gdb "
      "has no name\n",
      label.c_str(), Share(total.names_matched, total.named_by_gdb), total.names_matched,
      total.named_by_gdb, total.other_c_library_name, total.unnamed.size(), total.misnamed.size(),
      total.named_by_report_alone.size());
  std::printf(
      "total %s gdb=%zu found=%zu printed=%zu not_in_gdb=%zu unnamed=%zu named_by_gdb=%zu "
      "names_matched=%zu misnamed=%zu named_by_report_alone=%zu\n",
      label.c_str(), total.gdb_frames, total.found, total.printed, total.not_in_gdb,
      total.unnamed.size(), total.named_by_gdb, total.names_matched, total.misnamed.size(),
      total.named_by_report_alone.size());
  return 0;
}
