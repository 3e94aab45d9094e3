#include "crash/stack/tools/demo_capture.h"

#define UNW_LOCAL_ONLY
#include <dlfcn.h>
#include <libunwind.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "crash/stack/readable_memory_map.h"
#include "crash/stack/stack_text.h"
#include "crash/stack/stack_trace.h"
#include "crash/stack/tools/chain_comparison.h"

namespace userdb::crash::demo {
namespace {

constexpr size_t kMostItems = 16384;
constexpr size_t kMostFrameSlots = 4096;
constexpr size_t kMostReferenceFrames = 512;
constexpr size_t kAlternateStackSize = 256 * 1024;
constexpr int kWarmTraces = 20;

struct Moment {
  UnwindRegisters registers;
  bool external = false;
  std::array<TPreStackItem, kMostItems> items;
  size_t item_count = 0;
  std::array<uintptr_t, kMostFrameSlots> frame_slots;
  std::array<uintptr_t, kMostReferenceFrames> reference;
  size_t reference_count = 0;
};

// Where no separate debug files are: as on a machine without the distribution's debug packages.
constexpr char kNoDebugRoot[] = "/nonexistent-debug-root";

SymbolSourceOptions SourcesFor(const CaptureOptions& options) {
  SymbolSourceOptions sources;
  if (options.no_debug_files) sources.debug_root = kNoDebugRoot;
  return sources;
}

struct Demo {
  explicit Demo(const CaptureOptions& capture_options)
      : options(capture_options), symbols(SourcesFor(capture_options)) {}

  CaptureOptions options;
  std::string scenario;
  SymbolLookup symbols;
  FunctionList functions;
  RuntimeRoutines routines = RuntimeRoutines::At({});
  ExecutableRanges code;
  uintptr_t stack_top = 0;
  Moment moment;
  int wake[2] = {-1, -1};
  std::atomic<bool> captured{false};
};

// The signal handler and the throw reach the demo through this; set before any scenario runs.
Demo* the_demo = nullptr;

uintptr_t OwnStackTop() {
  pthread_attr_t attributes;
  void* low = nullptr;
  size_t size = 0;
  pthread_getattr_np(pthread_self(), &attributes);
  pthread_attr_getstack(&attributes, &low, &size);
  pthread_attr_destroy(&attributes);
  return reinterpret_cast<uintptr_t>(low) + size;
}

void ReadReference(unw_cursor_t& cursor, Moment& moment) {
  do {
    unw_word_t ip = 0;
    unw_get_reg(&cursor, UNW_REG_IP, &ip);
    if (ip == 0) break;
    moment.reference[moment.reference_count++] = ip;
  } while (moment.reference_count < moment.reference.size() && unw_step(&cursor) > 0);
}

// The reference chain of a fault. At an address whose code cannot be read (a call through a
// bad pointer) no unwind entry exists; the call has just pushed its return address, so the
// chain goes on from the caller's state: that return address, with the stack pointer above it.
void ReadReferenceAtFault(ucontext_t& state, Moment& moment) {
  unw_cursor_t cursor;
  greg_t* registers = state.uc_mcontext.gregs;
  uint8_t code;
  if (KernelMemoryReader().ReadValue(static_cast<uintptr_t>(registers[REG_RIP]), code)) {
    if (unw_init_local2(&cursor, &state, UNW_INIT_SIGNAL_FRAME) == 0) ReadReference(cursor, moment);
    return;
  }
  moment.reference[moment.reference_count++] = static_cast<uintptr_t>(registers[REG_RIP]);
  ucontext_t caller = state;
  uintptr_t return_address;
  if (!KernelMemoryReader().ReadValue(static_cast<uintptr_t>(registers[REG_RSP]), return_address)) {
    return;
  }
  caller.uc_mcontext.gregs[REG_RIP] = static_cast<greg_t>(return_address);
  caller.uc_mcontext.gregs[REG_RSP] += static_cast<greg_t>(sizeof(uintptr_t));
  if (unw_init_local2(&cursor, &caller, 0) == 0) ReadReference(cursor, moment);
}

// Runs in the crashed thread (in its signal handler, or at its throw): snapshot, reference,
// then the tracer takes over and this thread waits for the process to end.
void TakeMoment(Demo& demo, const UnwindRegisters& registers, bool external) {
  Moment& moment = demo.moment;
  moment.registers = registers;
  moment.external = external;
  SnapshotRequest request;
  request.registers = registers;
  request.top = demo.stack_top;
  request.is_exception = true;
  const TDAPreStackItem snapshot =
      SnapshotStack(request, demo.code, {moment.items, moment.frame_slots});
  moment.item_count = snapshot.items.size();
}

void Release(Demo& demo) {
  const char go = 1;
  if (write(demo.wake[1], &go, 1) != 1) _exit(3);
  for (;;) pause();
}

void OnFault(int, siginfo_t*, void* context) {
  Demo& demo = *the_demo;
  if (demo.captured.exchange(true)) _exit(4);  // a fault in the capture itself
  auto& state = *static_cast<ucontext_t*>(context);
  TakeMoment(demo, RegistersOf(state), true);
  if (demo.options.compare) ReadReferenceAtFault(state, demo.moment);
  Release(demo);
}

void PrintScore(const char* method, const ChainScore& score) {
  std::printf("%s %s reference=%zu found=%zu printed=%zu invented=%zu\n",
              the_demo->scenario.c_str(), method, score.reference, score.found, score.printed,
              score.invented);
}

double Milliseconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

void* TraceWhenWoken(void*) {
  Demo& demo = *the_demo;
  char go;
  if (read(demo.wake[0], &go, 1) != 1) _exit(5);
  const Moment& moment = demo.moment;
  const TDAPreStackItem snapshot{std::span(moment.items.data(), moment.item_count)};
  TraceRequest request;
  request.current_address = moment.registers.value[kDwarfReturnAddress];
  request.is_exception = true;
  request.external_exception = moment.external;
  request.top = demo.stack_top;
  request.bottom = moment.registers.value[kDwarfRsp];
  request.frame_pointer = moment.registers.value[kDwarfRbp];
  request.snapshot = &snapshot;
  const TraceServices services{demo.symbols, demo.functions, demo.routines};

  double tables_ms = 0;
  if (demo.options.tables_first) {
    // The symbol tables of every module the snapshot names, built before the trace: what is
    // left of the first trace is its own work (function analyses).
    const auto tables_start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < moment.item_count; ++i)
      demo.symbols.SymbolTableFor(moment.items[i].value);
    demo.symbols.SymbolTableFor(request.current_address);
    tables_ms = Milliseconds(std::chrono::steady_clock::now() - tables_start);
  }
  const auto start = std::chrono::steady_clock::now();
  const TraceResult result = TraceStack(request, services);
  const auto first = std::chrono::steady_clock::now() - start;
  std::printf("%s\n", result.text.c_str());
  if (demo.options.snapshot) {
    std::printf("snapshot of %zu (rsp %lx rbp %lx):\n", moment.item_count,
                static_cast<unsigned long>(request.bottom),
                static_cast<unsigned long>(request.frame_pointer));
    for (size_t i = 0; i < moment.item_count; ++i) {
      std::printf("  %c %s\n", moment.items[i].frame ? 'F' : ' ',
                  FormatLocationLine(demo.symbols, moment.items[i].value).c_str());
    }
  }
  if (demo.options.time) {
    const auto warm_start = std::chrono::steady_clock::now();
    for (int i = 0; i < kWarmTraces; ++i) TraceStack(request, services);
    const auto warm = (std::chrono::steady_clock::now() - warm_start) / kWarmTraces;
    std::printf(
        "%s timing items=%zu snapshot=%zu tables_first_ms=%.3f first_ms=%.3f warm_ms=%.3f\n",
        demo.scenario.c_str(), result.items.size(), moment.item_count, tables_ms,
        Milliseconds(first), Milliseconds(warm));
  }
  if (demo.options.compare) {
    const Chain reference(
        moment.reference.begin(),
        moment.reference.begin() + static_cast<ptrdiff_t>(moment.reference_count));
    const ReadableMemoryMap memory = ReadableMemoryMap::Take();
    std::printf("reference:\n");
    for (uintptr_t address : reference) {
      std::printf("  %s\n", FormatLocationLine(demo.symbols, address).c_str());
    }
    // The trace shows a recursion once, by design: its reference is shown the same way.
    const Chain shown_once = WithRepeatsRemoved(reference);
    PrintScore("trace", CompareChains(shown_once, ChainOfTrace(result, shown_once)));
    PrintScore("frame-pointers",
               CompareChains(reference, FramePointerChain(memory, request.current_address,
                                                          request.frame_pointer, request.bottom,
                                                          request.top)));
    PrintScore("naive-scan",
               CompareChains(reference, NaiveScanChain(memory, request.current_address,
                                                       request.bottom, request.top)));
  }
  std::fflush(stdout);
  _exit(0);
}

void InstallHandlers() {
  stack_t alternate{};
  alternate.ss_sp = std::malloc(kAlternateStackSize);
  alternate.ss_size = kAlternateStackSize;
  sigaltstack(&alternate, nullptr);
  struct sigaction action {};
  action.sa_sigaction = OnFault;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) sigaction(signal, &action, nullptr);
}

}  // namespace

void StartCapturing(const CaptureOptions& options, const char* scenario) {
  the_demo = new Demo(options);  // lives until the process ends
  Demo& demo = *the_demo;
  demo.scenario = scenario;
  demo.routines = RuntimeRoutines::OfThisProcess(demo.symbols);
  demo.stack_top = OwnStackTop();
  demo.code.Refresh();
  if (pipe(demo.wake) != 0) std::exit(6);
  pthread_t tracer;
  pthread_create(&tracer, nullptr, TraceWhenWoken, nullptr);
  InstallHandlers();
}

}  // namespace userdb::crash::demo

// The throw point of every C++ exception of this program: the moment is taken here, as the
// crash reporter takes it, with the thrower's registers right after its call.
// (The compiler's own declaration takes the type as void*.)
extern "C" [[noreturn]] __attribute__((noinline)) void __cxa_throw(void* object, void* type,
                                                                   void (*destroy)(void*)) {
  using namespace userdb::crash;
  using demo::the_demo;
  if (the_demo != nullptr && !the_demo->captured.exchange(true)) {
    const auto frame = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    UnwindRegisters registers;
    registers.Set(kDwarfReturnAddress, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
    registers.Set(kDwarfRsp, frame + 2 * sizeof(void*));
    registers.Set(kDwarfRbp, *reinterpret_cast<const uintptr_t*>(frame));
    registers.rip_is_return_address = true;
    demo::TakeMoment(*the_demo, registers, false);
    if (the_demo->options.compare) {
      unw_context_t context;
      unw_cursor_t cursor;
      unw_getcontext(&context);
      if (unw_init_local(&cursor, &context) == 0 && unw_step(&cursor) > 0) {
        demo::ReadReference(cursor, the_demo->moment);
      }
    }
    demo::Release(*the_demo);
  }
  using Throw = void (*)(void*, void*, void (*)(void*));
  const auto real = reinterpret_cast<Throw>(dlsym(RTLD_NEXT, "__cxa_throw"));
  real(object, type, destroy);
  std::abort();
}
