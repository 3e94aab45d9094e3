#include "crash/capture/emergency_report_text.h"

#include <fcntl.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "crash/capture/signal_texts.h"

namespace userdb::crash {

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr size_t kMostModules = 512;

std::string_view FileNameOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// A value on one line: line breaks become blanks, runs of blanks one blank.
void AppendOnOneLine(FixedText& out, std::string_view value) {
  bool after_blank = false;
  for (const char c : value) {
    const bool blank = c == ' ' || c == '\r' || c == '\n';
    if (blank && after_blank) continue;
    out.Append(blank ? ' ' : c);
    after_blank = blank;
  }
}

// The header's values, kept in room of their own until the widest name is known.
class HeaderLines {
 public:
  HeaderLines(char* room, size_t size) : values_(room, size) {}

  // The value is what `write` appends; an empty value leaves the line out.
  template <typename Write>
  void Add(std::string_view name, Write write) {
    if (count_ == kMostLines) return;
    const size_t start = values_.Size();
    write(values_);
    if (values_.Size() == start) return;
    lines_[count_++] = {name, start, values_.Size() - start};
  }

  void WriteTo(FixedText& out) const {
    size_t width = 0;
    for (size_t i = 0; i < count_; ++i) width = std::max(width, lines_[i].name.size() + 1);
    for (size_t i = 0; i < count_; ++i) {
      if (i > 0) out.Append(kLineBreak);
      const size_t start = out.Size();
      out.Append(lines_[i].name).PadFrom(start, width).Append(": ");
      AppendOnOneLine(out, values_.View().substr(lines_[i].start, lines_[i].size));
    }
  }

 private:
  static constexpr size_t kMostLines = 24;
  struct Line {
    std::string_view name;
    size_t start, size;
  };
  FixedText values_;
  Line lines_[kMostLines];
  size_t count_ = 0;
};

// The days since 1970-01-01 as a civil date (proleptic Gregorian).
void CivilDate(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto of_era = static_cast<unsigned>(days - era * 146097);
  const unsigned year_of_era = (of_era - of_era / 1460 + of_era / 36524 - of_era / 146096) / 365;
  const unsigned day_of_year = of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned shifted_month = (5 * day_of_year + 2) / 153;
  day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
  month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
  year = static_cast<int64_t>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0);
}

// "2024-03-07, 14:05:09, 87ms" in local time by the offset taken at start.
void WriteLocalTime(FixedText& out, int64_t utc_offset_seconds) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const int64_t local = now.tv_sec + utc_offset_seconds;
  int64_t days = local / 86400, seconds = local % 86400;
  if (seconds < 0) {
    seconds += 86400;
    --days;
  }
  int64_t year = 0;
  unsigned month = 0, day = 0;
  CivilDate(days, year, month, day);
  out.Digits(static_cast<uint64_t>(year), 4).Append('-').Digits(month, 2).Append('-');
  out.Digits(day, 2).Append(", ").Digits(static_cast<uint64_t>(seconds / 3600), 2).Append(':');
  out.Digits(static_cast<uint64_t>(seconds / 60 % 60), 2).Append(':');
  out.Digits(static_cast<uint64_t>(seconds % 60), 2).Append(", ");
  out.Decimal(now.tv_nsec / 1000000).Append("ms");
}

// The arguments joined by blanks, one with a blank (or none) in quotes; nothing for a
// program started without parameters.
void WriteCommandLine(FixedText& out) {
  const int fd = open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  char bytes[4096];
  const ssize_t got = read(fd, bytes, sizeof bytes);
  close(fd);
  if (got <= 0) return;
  std::string_view rest(bytes, static_cast<size_t>(got));
  if (rest.back() == '\0') rest.remove_suffix(1);
  if (rest.find('\0') == std::string_view::npos) return;
  bool first = true;
  while (true) {
    const size_t end = rest.find('\0');
    const std::string_view argument = rest.substr(0, end);
    if (!first) out.Append(' ');
    first = false;
    const bool quoted = argument.empty() || argument.find(' ') != std::string_view::npos;
    if (quoted) out.Append('"');
    out.Append(argument);
    if (quoted) out.Append('"');
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
}

void WriteTitle(FixedText& out, const EmergencyThread& thread,
                const EmergencyProgramFacts& program) {
  const auto id = static_cast<uint64_t>(thread.id);
  if (thread.id == program.main_thread) {
    out.Append("main thread ($").Hex(id).Append("):");
  } else if (thread.id == program.handling_thread) {
    out.Append("HandleExceptionThread ($").Hex(id).Append("):");
  } else {
    out.Append("thread $").Hex(id).Append(':');
  }
}

bool HasRelativeLine(const NamedAddress& entry) {
  return entry.line != 0 && entry.function_first_line != 0;
}

bool KnownStart(const NamedAddress& entry) {
  return entry.function_start != 0 && entry.function_start <= entry.address;
}

// The single location line of the report's layout (relative addresses and lines shown).
void WriteLocationLine(FixedText& out, const NamedAddress& entry) {
  out.Hex(entry.address, 16);
  if (entry.function.empty()) {
    out.Append(" +0 ???");
    return;
  }
  out.Append(" +").Hex(KnownStart(entry) ? entry.address - entry.function_start : 0);
  out.Append(' ').Append(entry.module).Append(' ').Append(entry.unit).Append(' ');
  if (entry.line != 0) {
    out.Decimal(entry.line).Append(' ');
    if (HasRelativeLine(entry)) {
      out.Append('+').Decimal(int64_t{entry.line} - entry.function_first_line).Append(' ');
    } else {
      out.Append("+0 ");
    }
  }
  out.Append(entry.function);
}

int LineColumnWidth(const NamedAddress& entry) {
  if (entry.line == 0) return 0;
  if (HasRelativeLine(entry)) {
    return 1 + FixedText::DigitCount(entry.line - entry.function_first_line, 10);
  }
  return FixedText::DigitCount(entry.line, 10);
}

// Right-aligned in a column of `width` (the longest text plus a blank); nothing when no
// entry fills the column.
void RightAligned(FixedText& out, std::string_view text, size_t width) {
  if (width == 0) return;
  const size_t start = out.Size();
  out.PadFrom(start, width - 1 - std::min(width - 1, text.size())).Append(text).Append(' ');
}

// The call stack's lines in columns, as the report lays them out; every frame is shown, with
// its module where no function is known.
void WriteStackLines(FixedText& out, std::span<const NamedAddress> entries) {
  size_t module_width = 0, unit_width = 0;
  int absolute_width = 0, line_width = 0, offset_digits = 0;
  for (const NamedAddress& entry : entries) {
    module_width = std::max(module_width, entry.module.size());
    unit_width = std::max(unit_width, entry.unit.size());
    if (HasRelativeLine(entry)) {
      absolute_width = std::max(absolute_width, FixedText::DigitCount(entry.line, 10));
    }
    line_width = std::max(line_width, LineColumnWidth(entry));
    if (KnownStart(entry) && entry.function_start < entry.address) {
      offset_digits =
          std::max(offset_digits, FixedText::DigitCount(entry.address - entry.function_start, 16));
    }
  }
  const auto column = [](size_t longest) { return longest == 0 ? 0 : longest + 1; };
  const NamedAddress* previous = nullptr;
  for (const NamedAddress& entry : entries) {
    if (previous != nullptr && previous->address == entry.address) continue;
    previous = &entry;
    out.Append(kLineBreak).Hex(entry.address, 16).Append(' ');
    if (offset_digits > 0) {
      out.Append('+').Hex(KnownStart(entry) ? entry.address - entry.function_start : 0,
                          offset_digits);
      out.Append(' ');
    }
    size_t start = out.Size();
    out.Append(entry.module).PadFrom(start, module_width + 1);
    start = out.Size();
    out.Append(entry.unit).PadFrom(start, unit_width + 1);
    char number[24];
    FixedText absolute(number, sizeof number);
    if (HasRelativeLine(entry)) absolute.Decimal(entry.line);
    RightAligned(out, absolute.View(), column(static_cast<size_t>(absolute_width)));
    FixedText line(number, sizeof number);
    if (HasRelativeLine(entry)) {
      line.Append('+').Decimal(int64_t{entry.line} - entry.function_first_line);
    } else if (entry.line != 0) {
      line.Decimal(entry.line);
    }
    RightAligned(out, line.View(), column(static_cast<size_t>(line_width)));
    out.Append(entry.function);
  }
}

void WriteModules(FixedText& out, EmergencyNaming& naming) {
  ListedModule modules[kMostModules];
  const size_t count = naming.ListModules(modules);
  size_t width = 0;
  for (size_t i = 0; i < count; ++i) width = std::max(width, FileNameOf(modules[i].path).size());
  out.Append(kLineBreak).Append(kLineBreak).Append("modules:");
  for (size_t i = 0; i < count; ++i) {
    out.Append(kLineBreak).Hex(modules[i].load_bias, 16).Append(' ');
    const size_t start = out.Size();
    // No version column: the files' version records are not read here.
    out.Append(FileNameOf(modules[i].path)).PadFrom(start, width + 2);
    const std::string_view path = modules[i].path;
    out.Append(path.substr(0, std::max<size_t>(path.rfind('/'), 1)));
  }
}

// The order of the report: the faulting thread, the main thread, the others as listed.
size_t NextThread(std::span<EmergencyThread> threads, size_t written, pid_t main_thread) {
  if (written == 0) return 0;
  size_t main_index = threads.size();
  for (size_t i = 1; i < threads.size(); ++i) {
    if (threads[i].id == main_thread) main_index = i;
  }
  if (main_index == threads.size()) return written;
  if (written == 1) return main_index;
  return written <= main_index ? written - 1 : written;
}

}  // namespace

void ComposeEmergencyReport(FixedText& out, const FaultFacts& fault,
                            const EmergencyProgramFacts& program,
                            std::span<EmergencyThread> threads, EmergencyNaming& naming,
                            std::span<NamedAddress> entries) {
  // Every thread's frames, named at once: the program's symbols are walked once.
  size_t begin[EmergencyStacks::kMaxThreads + 1] = {};
  size_t used = 0;
  for (size_t i = 0; i < threads.size(); ++i) {
    begin[i] = used;
    const EmergencyThread& thread = threads[i];
    if (!thread.answered || used == entries.size()) continue;
    entries[used++] = EmergencyNaming::OfInstruction(thread.context.InstructionPointer());
    for (size_t f = 0; f < thread.frame_count && used < entries.size(); ++f) {
      entries[used++] = EmergencyNaming::OfReturnAddress(thread.frames[f]);
    }
  }
  begin[threads.size()] = used;
  naming.Name(entries.first(used));
  const std::string_view module = used > 0 ? entries[0].module : std::string_view();

  char values[8192];
  HeaderLines header(values, sizeof values);
  header.Add("date/time", [&](FixedText& t) { WriteLocalTime(t, program.utc_offset_seconds); });
  utsname system{};
  const bool named = uname(&system) == 0;
  header.Add("computer name", [&](FixedText& t) {
    if (named) t.Append(system.nodename);
  });
  header.Add("process id",
             [](FixedText& t) { t.Append('$').Hex(static_cast<uint64_t>(getpid())); });
  header.Add("command line", &WriteCommandLine);
  header.Add("executable", [&](FixedText& t) { t.Append(naming.ExecutablePath()); });
  header.Add("version", [&](FixedText& t) { t.Append(program.version); });
  header.Add("compiled with", [&](FixedText& t) { t.Append(program.compiler); });
  header.Add("Quorvex version", [&](FixedText& t) { t.Append(program.reporter_version); });
  header.Add("exception number", [&](FixedText& t) { t.Decimal(program.exception_number); });
  header.Add("exception class",
             [&](FixedText& t) { t.Append(SignalTextOf(fault.signal, fault.code).class_name); });
  header.Add("exception message", [&](FixedText& t) {
    const greg_t* registers = fault.context != nullptr ? fault.context->uc_mcontext.gregs : nullptr;
    SignalMessageFacts facts;
    facts.signal = fault.signal;
    facts.code = fault.code;
    facts.address = registers != nullptr ? static_cast<uintptr_t>(registers[REG_RIP]) : 0;
    facts.fault_address = fault.fault_address;
    facts.write = registers != nullptr && FaultedOnWriting(registers[REG_ERR]);
    facts.module = module;
    WriteSignalMessage(t, facts);
  });
  header.Add("emergency report", [](FixedText& t) { t.Append(kEmergencyNote); });
  header.WriteTo(out);

  for (size_t written = 0; written < threads.size(); ++written) {
    const size_t i = NextThread(threads, written, program.main_thread);
    out.Append(kLineBreak).Append(kLineBreak);
    WriteTitle(out, threads[i], program);
    if (begin[i] == begin[i + 1]) {
      out.Append(kLineBreak).Append(">> stack not accessible");
      continue;
    }
    const std::span<const NamedAddress> stack = entries.subspan(begin[i], begin[i + 1] - begin[i]);
    out.Append(kLineBreak);
    WriteLocationLine(out, stack.front());
    WriteStackLines(out, stack);
  }
  WriteModules(out, naming);
}

}  // namespace userdb::crash
