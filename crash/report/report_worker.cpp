#include "crash/report/report_worker.h"

#include <sys/resource.h>

#include <exception>
#include <functional>

#include "crash/capture/thread_registry.h"
#include "crash/report/code_location.h"
#include "crash/report/memory_sections.h"
#include "crash/report/report_file_format.h"
#include "crash/report/report_header_builder.h"
#include "crash/report/report_plugins.h"

namespace userdb::crash {

namespace {

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += kLineBreak;
    text += line;
  }
  return text;
}

// Where a part failed, as far as it is known without the throw point: the part's own
// function when it is one, else the code that ran the part.
__attribute__((noinline)) uintptr_t FailureLocation(uintptr_t part) {
  return part != 0 ? part : reinterpret_cast<uintptr_t>(__builtin_return_address(0));
}

uintptr_t FunctionOf(const std::function<std::string()>& procedure) {
  const auto* function = procedure.target<std::string (*)()>();
  return function != nullptr ? reinterpret_cast<uintptr_t>(*function) : 0;
}

class Worker {
 public:
  explicit Worker(CaughtException& exception)
      : exception_(exception),
        report_(exception.Report()),
        services_(*exception.Services()),
        options_(StackOptionsOf(exception.Settings())) {}

  void Run() {
    std::vector<ThreadStackEntry>& threads = report_.Threads();
    checksums_.resize(threads.size());
    if (!threads.empty() && !Stopped()) TraceThread(0);
    const ExceptionFacts& facts = exception_.Facts();
    if (IsPending(kCpuRegistersTitle) && !Stopped()) {
      RunPart("CpuRegistersText", kCpuRegistersTitle,
              [&] { return CpuRegistersText(*facts.context); });
    }
    if (IsPending(kStackDumpTitle) && !Stopped()) {
      const uintptr_t stack_pointer =
          facts.stack_pointer != 0 ? facts.stack_pointer : facts.context->StackPointer();
      RunPart("StackDumpOfProcess", kStackDumpTitle,
              [&] { return StackDumpOfProcess(stack_pointer); });
    }
    if (IsPending(kDisassemblingTitle) && !Stopped()) {
      // A thrown exception's address is the return address of the raising call.
      const ListingOptions options{exception_.Settings().ReadInteger("LimitDisAsm"),
                                   exception_.Settings().ReadBoolean("FormatDisAsm"),
                                   !facts.raised_by_processor};
      RunPart("Disassemble", kDisassemblingTitle,
              [&] { return services_.disassembler->Disassemble(facts.address, options); });
    }
    for (const ReportPlugin& plugin :
         services_.plugins->Selected(exception_.Settings().ReadText("Plugins"))) {
      if (Stopped()) return;
      if (plugin.own_section && IsPending(plugin.name))
        RunPart("plugin", plugin.name, plugin.procedure);
    }
    for (size_t i = 1; i < threads.size(); ++i) {
      if (Stopped()) return;
      TraceThread(i);
    }
  }

 private:
  bool Stopped() const { return report_.StopRequested(); }

  bool IsPending(std::string_view title) const {
    const auto content = report_.Section(title);
    return content && *content == kSectionPlaceholder;
  }

  std::string FailureText(std::string_view part, uintptr_t part_address) {
    const StackItem location =
        DescribeCodeAddress(*services_.symbols, FailureLocation(part_address));
    return ">> internal error in " + std::string(part) + ":" + std::string(kLineBreak) +
           LocationLine(location, options_);
  }

  void RunPart(std::string_view part, std::string_view title,
               const std::function<std::string()>& body) {
    std::string content;
    try {
      content = body();
    } catch (const std::exception&) {
      content = FailureText(part, FunctionOf(body));
    }
    Replace(title, content);
  }

  void TraceThread(size_t index) {
    ThreadStackEntry& thread = report_.Threads()[index];
    if (!thread.accessible) return;
    std::string content;
    try {
      const TracedStack stack = services_.tracer->TraceStack(thread, report_.StopFlag());
      if (stack.aborted) return;
      for (const auto& [module, text] : stack.module_debug_texts)
        debug_texts_.emplace_back(module, text);
      ThreadStackText printed = PrintThreadStack(thread, stack, options_);
      checksums_[index] = printed.checksums;
      content = std::move(printed.text);
    } catch (const std::exception&) {
      content = FailureText("TraceStack", 0);
    }
    Replace(thread.title, content);
  }

  void Replace(std::string_view title, std::string_view content) {
    if (!report_.ReplacedPending()) {
      report_.ReplaceSection(title, title, content);
      return;
    }
    BugReport::UpdateBracket bracket(report_);
    report_.ReplaceSection(title, title, content);
    Finish();
  }

  void Finish() {
    std::vector<StackChecksums> others;
    for (size_t i = 1; i < checksums_.size(); ++i) others.push_back(checksums_[i]);
    const ReportChecksums checksums =
        CombineChecksums(checksums_.empty() ? StackChecksums() : checksums_[0], others);
    report_.SetChecksums(checksums);
    report_.PutHeader("callstack crc", ChecksumsText(checksums));
    for (const auto& [module, text] : debug_texts_) report_.PutHeader(module + ".Vostrel", text);
    report_.MarkComplete();
  }

  CaughtException& exception_;
  BugReport& report_;
  const ReportServices& services_;
  const StackTextOptions options_;
  std::vector<StackChecksums> checksums_;
  std::vector<std::pair<std::string, std::string>> debug_texts_;
};

}  // namespace

std::string InternalErrorText(const TracedStack& stack, const StackTextOptions& options) {
  std::string text = ">> internal error in " + stack.failed_stage;
  if (stack.failure_location) {
    text += ":" + std::string(kLineBreak) + LocationLine(*stack.failure_location, options);
  }
  if (stack.exception_location) {
    text += std::string(kLineBreak) + ">> original exception location: " + std::string(kLineBreak) +
            LocationLine(*stack.exception_location, options);
  }
  return text;
}

ThreadStackText PrintThreadStack(const ThreadStackEntry& thread, const TracedStack& stack,
                                 const StackTextOptions& options) {
  if (!stack.failed_stage.empty()) return {InternalErrorText(stack, options), {}};
  PrintedStack printed = PrintCallStack(stack.items, options);
  std::vector<std::string>& lines = printed.lines;
  const bool starts_with_mark = !lines.empty() && lines.front().starts_with('>');
  if (thread.creator_address != 0 && !starts_with_mark && lines.size() >= 2) {
    lines.insert(lines.end() - 1, ">> created by " + thread.creator_title + " at:");
  }
  return {JoinLines(lines), printed.checksums};
}

void RunReportWorker(CaughtException& exception) {
  BugReport& report = exception.Report();
  if (report.Pending() == 0) {
    // Nothing to fill in: the report is complete as it was started.
    BugReport::UpdateBracket bracket(report);
    Worker(exception).Run();
    report.PutHeader("callstack crc", ChecksumsText({}));
    report.MarkComplete();
    return;
  }
  Worker(exception).Run();
}

}  // namespace userdb::crash
