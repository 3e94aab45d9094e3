#include <exception>
#include <memory>

#include "crash/capture/fault_registry.h"
#include "crash/capture/stack_overflow.h"
#include "crash/capture/thread_registry.h"
#include "crash/capture/thread_states.h"
#include "crash/report/code_location.h"
#include "crash/report/report_header_builder.h"
#include "crash/report/report_plugins.h"
#include "crash/report/thread_titles.h"
#include "crash/stack/executable_ranges.h"
#include "crash/stack/stack_snapshot.h"
#include "platform/memory_map.h"

namespace userdb::crash {

namespace {

bool OwnThreadLeftOut(const ThreadRegistry& registry, pid_t thread, bool trace_report) {
  const ThreadLookup lookup = registry.Find(thread);
  if (!lookup.entry || lookup.entry->name != kOwnThreadName) return false;
  return !trace_report || lookup.entry->trace_name.empty();
}

std::vector<pid_t> ListedThreads(const CaughtException& exception, const ThreadRegistry& registry) {
  const ExceptionFacts& facts = exception.Facts();
  const pid_t first = facts.kind == ExceptionKind::kFreeze ? registry.MainThread() : facts.thread;
  std::vector<pid_t> others;
  for (const pid_t thread : ProcessThreads()) {
    if (!OwnThreadLeftOut(registry, thread, facts.trace_request)) others.push_back(thread);
  }
  return ReportThreadOrder(first, registry.MainThread(), others,
                           exception.Settings().ReadBoolean("ListThreads"));
}

// The first frame of the creating code that is not a thread class's own: its constructor or
// start function may be compiled into the program.
uintptr_t CreationAddress(SymbolLookup& symbols, const std::vector<uintptr_t>& frames) {
  for (const uintptr_t frame : frames) {
    const std::string name = DescribeCodeAddressQuickly(symbols, frame).function_name;
    if (!name.starts_with("std.thread.") && !name.starts_with("std.jthread.") &&
        !name.starts_with("QThread.")) {
      return frame;
    }
  }
  return frames.front();
}

// The snapshot of a stack saved at a throw, taken as the thread's signal handler takes one
// of a live stack.
std::vector<TPreStackItem> SnapshotOfSavedStack(const SavedStack& saved,
                                                const ProcessorContext& context) {
  auto code = std::make_unique<ExecutableRanges>();
  code->Refresh();
  std::vector<TPreStackItem> items(ThreadStateCollector::kSnapshotItems);
  std::vector<uintptr_t> frame_slots(ThreadStateCollector::kSnapshotFrameSlots);
  SnapshotRequest request;
  request.registers = RegistersOf(context.registers);
  request.bottom = saved.bottom;
  request.top = saved.bottom + saved.bytes.size();
  request.is_exception = true;
  request.saved = saved.bytes.data();
  items.resize(SnapshotStack(request, *code, {items, frame_slots}).items.size());
  return items;
}

// The top of the stack that holds the entry's stack pointer: the one the snapshot was taken
// up to when it lies on that stack, else the end of the memory region that holds it. A stack
// pointer that overflowed its stack lies in the guard area below it: its stack starts above.
void FindStackBounds(ThreadStackEntry& entry, uintptr_t snapshot_top) {
  auto region = platform::MemoryRegionHolding(entry.stack_pointer);
  if (!region || !region->readable) {
    if (auto stack = StackAboveGuard(entry.stack_pointer)) region = std::move(stack);
  }
  if (!region) return;
  entry.stack_start = region->start;
  const bool same_stack = entry.stack_pointer < snapshot_top && snapshot_top <= region->end;
  entry.stack_end = same_stack ? snapshot_top : region->end;
}

ThreadStackEntry EntryOf(const CaughtException& exception, const ThreadState& state,
                         const ThreadRegistry& registry) {
  const ExceptionFacts& facts = exception.Facts();
  ThreadStackEntry entry;
  entry.thread_id = state.id;
  entry.title = ThreadTitle(GatherTitleFacts(registry, state.id, facts.trace_request));
  entry.exception_thread = state.id == facts.thread && facts.kind != ExceptionKind::kFreeze;
  entry.accessible = state.answered;
  if (state.answered) {
    entry.context = state.context;
    entry.address = state.context.InstructionPointer();
    entry.stack_pointer = state.context.StackPointer();
    entry.frame_pointer = state.context.FramePointer();
    entry.snapshot_taken = state.stack_top != 0;
    entry.stack_snapshot = state.stack_snapshot;
  }
  const FaultRegistry* faults = exception.Services()->faults;
  if (const auto fault = faults != nullptr && !entry.exception_thread ? faults->ContextOf(state.id)
                                                                      : std::nullopt) {
    // Another thread that faulted, waiting in its own handling: shown where it faulted, its
    // stack traced from there as the exception thread's is, and read in place when its
    // answer did not bring it (the stack stays as it was).
    entry.accessible = true;
    entry.external_exception = true;
    entry.context = *fault;
    entry.address = fault->InstructionPointer();
    entry.stack_pointer = fault->StackPointer();
    entry.frame_pointer = fault->FramePointer();
    if (!state.faulted) {
      entry.snapshot_taken = false;
      entry.stack_snapshot.clear();
    }
  }
  if (entry.exception_thread && facts.context) {
    // The thread waits in the capture now (a signal's on its alternate stack): its stack
    // at the raise is what the report shows.
    entry.accessible = true;
    entry.context = facts.context;
    entry.address = facts.context->InstructionPointer();
    entry.stack_pointer = facts.context->StackPointer();
    entry.frame_pointer = facts.context->FramePointer();
    entry.snapshot_taken = !facts.raise_stack.bytes.empty();
    entry.stack_snapshot = entry.snapshot_taken
                               ? SnapshotOfSavedStack(facts.raise_stack, *facts.context)
                               : std::vector<TPreStackItem>();
  }
  if (entry.exception_thread && facts.address != 0) {
    entry.address = facts.address;
    entry.external_exception = facts.raised_by_processor;
    if (facts.context) entry.context = facts.context;
    if (facts.stack_pointer != 0 && facts.raise_stack.bytes.empty()) {
      entry.stack_pointer = facts.stack_pointer;
      // The snapshot shows where the thread waits now, not where the exception was raised:
      // the trace reads the stack from the exception's stack pointer.
      entry.snapshot_taken = false;
      entry.stack_snapshot.clear();
    }
    if (facts.frame_pointer != 0) entry.frame_pointer = facts.frame_pointer;
  }
  const bool saved = entry.exception_thread && !facts.raise_stack.bytes.empty();
  FindStackBounds(
      entry, saved ? facts.raise_stack.bottom + facts.raise_stack.bytes.size() : state.stack_top);
  const ThreadLookup lookup = registry.Find(state.id);
  if (lookup.entry && !lookup.entry->creation_frames.empty()) {
    entry.creator_address =
        CreationAddress(*exception.Services()->symbols, lookup.entry->creation_frames);
    entry.creator_id = lookup.entry->creator_id;
    entry.creator_title =
        ThreadTitleBase(GatherTitleFacts(registry, entry.creator_id, facts.trace_request));
  }
  return entry;
}

std::string FirstContent(CaughtException& exception, const ThreadStackEntry& entry) {
  SymbolLookup& symbols = *exception.Services()->symbols;
  const StackTextOptions options = StackOptionsOf(exception.Settings());
  if (entry.accessible) {
    // Until the worker traces the stack; the box waits for this line.
    return LocationLine(DescribeCodeAddressQuickly(symbols, entry.address), options) + "\r\n" +
           std::string(kStackPlaceholder);
  }
  std::string content(kStackNotAccessible);
  if (entry.exception_thread && exception.Facts().address != 0) {
    content += ", exception location: \r\n" +
               LocationLine(DescribeCodeAddress(symbols, exception.Facts().address), options);
  }
  return content;
}

void AddPlaceholder(BugReport& report, std::string_view title) {
  report.PutSection(title, kSectionPlaceholder);
  report.AddPending();
}

}  // namespace

StackTextOptions StackOptionsOf(const SettingsView& settings) {
  StackTextOptions options;
  options.show_relative_addresses = settings.ReadBoolean("ShowRelAddrs");
  options.show_relative_lines = settings.ReadBoolean("ShowRelLines");
  options.hide_ugly_items = settings.ReadBoolean("HideUglyItems");
  return options;
}

void BuildSectionList(CaughtException& exception) {
  BugReport& report = exception.Report();
  const ReportServices& services = *exception.Services();
  const ThreadRegistry& registry = *services.threads;
  const std::vector<pid_t> threads = ListedThreads(exception, registry);
  const std::vector<ThreadState> states = services.thread_states->Collect(threads);
  for (const ThreadState& state : states) {
    ThreadStackEntry entry = EntryOf(exception, state, registry);
    report.PutSection(entry.title, FirstContent(exception, entry));
    if (entry.accessible) report.AddPending();
    report.Threads().push_back(std::move(entry));
  }

  const SettingsOverlay& settings = exception.Settings();
  for (const ReportPlugin& plugin : services.plugins->Selected(settings.ReadText("Plugins"))) {
    if (plugin.own_section) AddPlaceholder(report, plugin.name);
  }
  const bool context = exception.Facts().context.has_value();
  if (settings.ReadBoolean("CpuRegs") && context) AddPlaceholder(report, kCpuRegistersTitle);
  if (settings.ReadBoolean("StackDump") && context) AddPlaceholder(report, kStackDumpTitle);
  if (settings.ReadBoolean("ShowDisAsm") && services.disassembler != nullptr) {
    AddPlaceholder(report, kDisassemblingTitle);
  }
}

}  // namespace userdb::crash
