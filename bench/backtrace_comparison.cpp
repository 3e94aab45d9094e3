#include "bench/backtrace_comparison.h"

#include <algorithm>
#include <charconv>

#include "bench/frame_names.h"
#include "crash/stack/tools/chain_comparison.h"

namespace userdb::bench {
namespace {

// The longest instruction of x86-64: a call ends at most this far after its first byte.
constexpr uintptr_t kLongestInstruction = 15;
constexpr size_t kAddressDigits = 16;

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool ParseHex(std::string_view digits, uintptr_t& value) {
  if (digits.empty()) return false;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  return error == std::errc() && end == digits.data() + digits.size();
}

template <typename Number>
bool ParseLeadingNumber(std::string_view text, Number& value, int base = 10) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end != text.data();
}

// "Thread 7 (Thread 0x7f... (LWP 32200) "name"):" gives 32200 and the name.
bool ParseGdbThreadTitle(std::string_view line, pid_t& id, std::string& name) {
  if (!line.starts_with("Thread ")) return false;
  const size_t lwp = line.find("(LWP ");
  if (lwp == std::string_view::npos) return false;
  if (!ParseLeadingNumber(line.substr(lwp + 5), id)) return false;
  const size_t open = line.find('"', lwp);
  const size_t close = line.rfind('"');
  name = open != std::string_view::npos && close > open
             ? std::string(line.substr(open + 1, close - open - 1))
             : std::string();
  return true;
}

// "#3  0x00007f... in function (...)": false for a frame without an address.
bool ParseGdbFrame(std::string_view line, uintptr_t& pc) {
  if (!line.starts_with('#')) return false;
  const size_t gap = line.find_first_of(' ');
  if (gap == std::string_view::npos) return false;
  const size_t start = line.find_first_not_of(' ', gap);
  if (start == std::string_view::npos || line.substr(start, 2) != "0x") return false;
  const std::string_view rest = line.substr(start + 2);
  const size_t digits = rest.find_first_not_of("0123456789abcdef");
  return ParseHex(rest.substr(0, digits), pc);
}

bool IsStackLine(std::string_view line, uintptr_t& address) {
  return line.size() > kAddressDigits && line[kAddressDigits] == ' ' &&
         ParseHex(line.substr(0, kAddressDigits), address);
}

// The thread id of a report section's title: its first "$" and the hexadecimal digits after.
bool ParseReportThreadId(std::string_view title, pid_t& id) {
  const size_t dollar = title.find('$');
  if (dollar == std::string_view::npos) return false;
  return ParseLeadingNumber(title.substr(dollar + 1), id, 16);
}

const std::vector<std::string>& NamesOf(const ThreadFrames& frames, size_t frame) {
  static const std::vector<std::string> none;
  return frame < frames.names.size() ? frames.names[frame] : none;
}

void CompareNames(const std::vector<std::string>& gdb_names, const std::string& gdb_line,
                  const std::vector<std::string>& report_names, const std::string& report_line,
                  ThreadScore& score) {
  if (gdb_names.empty()) {
    if (!report_names.empty()) score.named_by_report_alone.push_back(report_line);
    return;
  }
  ++score.named_by_gdb;
  if (report_names.empty()) {
    score.unnamed.push_back(report_line);
    return;
  }
  const std::string& shown = report_names.front();
  if (std::find(gdb_names.begin(), gdb_names.end(), shown) != gdb_names.end()) {
    ++score.names_matched;
    return;
  }
  for (const std::string& name : gdb_names) {
    if (SameCLibraryFunction(shown, name)) {
      ++score.names_matched;
      ++score.other_c_library_name;
      return;
    }
  }
  score.misnamed.push_back(report_line + "  <>  " + gdb_line);
}

}  // namespace

std::map<pid_t, ThreadFrames> ParseGdbBacktraces(std::string_view text) {
  std::map<pid_t, ThreadFrames> threads;
  ThreadFrames* current = nullptr;
  for (const std::string_view line : Lines(text)) {
    pid_t id = 0;
    std::string name;
    if (ParseGdbThreadTitle(line, id, name)) {
      current = &threads[id];
      current->title = name;
      continue;
    }
    uintptr_t pc = 0;
    if (current == nullptr || !ParseGdbFrame(line, pc) || pc == 0) continue;
    std::string function = GdbFrameName(line);
    // An inline frame has the pc of the frame that holds it.
    if (current->pcs.empty() || current->pcs.back() != pc) {
      current->pcs.push_back(pc);
      current->text.emplace_back(line);
      current->names.emplace_back();
    }
    if (!function.empty()) current->names.back().push_back(std::move(function));
  }
  return threads;
}

std::map<pid_t, ThreadFrames> ParseReportStacks(std::string_view text) {
  std::map<pid_t, ThreadFrames> threads;
  const std::vector<std::string_view> lines = Lines(text);
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    uintptr_t address = 0;
    pid_t id = 0;
    const bool section_start = i == 0 || lines[i - 1].empty();
    if (!section_start || IsStackLine(lines[i], address) || !IsStackLine(lines[i + 1], address) ||
        !ParseReportThreadId(lines[i], id)) {
      continue;
    }
    ThreadFrames& thread = threads[id];
    thread.title = std::string(lines[i]);
    for (size_t k = i + 1; k < lines.size() && !lines[k].starts_with(">> created by"); ++k) {
      if (!IsStackLine(lines[k], address)) {
        if (lines[k].starts_with(">>")) continue;
        break;
      }
      thread.pcs.push_back(address);
      thread.text.emplace_back(lines[k]);
      thread.names.emplace_back();
      if (std::string function = ReportFrameName(lines[k]); !function.empty()) {
        thread.names.back().push_back(std::move(function));
      }
    }
  }
  return threads;
}

ThreadScore CompareThread(const ThreadFrames& gdb, const ThreadFrames& report) {
  const crash::demo::Chain reference = crash::demo::WithRepeatsRemoved(gdb.pcs);
  // Each report frame stands for the gdb frame it names, so that the chains compare by value.
  crash::demo::Chain shown;
  for (const uintptr_t address : report.pcs) {
    const auto named = std::find_if(reference.begin(), reference.end(), [&](uintptr_t pc) {
      return address <= pc && pc - address <= kLongestInstruction;
    });
    shown.push_back(named != reference.end() ? *named : address);
  }
  const crash::demo::ChainScore score = crash::demo::CompareChains(reference, shown);
  ThreadScore result;
  result.gdb_frames = score.reference;
  result.found = score.found;
  result.printed = score.printed;
  result.not_in_gdb = score.invented;
  for (size_t i = 0; i < gdb.pcs.size(); ++i) {
    if (std::find(shown.begin(), shown.end(), gdb.pcs[i]) == shown.end()) {
      result.missing.push_back(gdb.text[i]);
    }
  }
  for (size_t i = 0; i < shown.size(); ++i) {
    const auto in_gdb = std::find(gdb.pcs.begin(), gdb.pcs.end(), shown[i]);
    if (in_gdb == gdb.pcs.end()) {
      result.invented.push_back(report.text[i]);
    } else {
      const size_t at = static_cast<size_t>(in_gdb - gdb.pcs.begin());
      CompareNames(NamesOf(gdb, at), gdb.text[at], NamesOf(report, i), report.text[i], result);
    }
  }
  return result;
}

}  // namespace userdb::bench
