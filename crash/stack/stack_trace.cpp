#include "crash/stack/stack_trace.h"

#include <pthread.h>

#include <functional>
#include <utility>

#include "crash/stack/stack_text.h"
#include "crash/stack/trace_state.h"

namespace userdb::crash {
namespace {

using detail::TraceState;

enum Stage : size_t {
  kCollect,
  kRemoveRepeatsFully,
  kDeepChecks,
  kChainSelection,
  kRemoveRepeats,
  kNaming,
  kCompose,
};

// The calling thread's stack base (its highest address); 0 when it cannot be told.
uintptr_t OwnStackTop() {
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return 0;
  void* low = nullptr;
  size_t size = 0;
  const bool known = pthread_attr_getstack(&attributes, &low, &size) == 0;
  pthread_attr_destroy(&attributes);
  return known ? reinterpret_cast<uintptr_t>(low) + size : 0;
}

class Trace {
 public:
  Trace(TraceRequest request, TraceServices services)
      : request_(std::move(request)), services_(services) {}

  TraceResult Run() {
    const std::lock_guard lock(services_.functions.TraceLock());
    const ReadableMemoryMap memory = ReadableMemoryMap::Take();
    if (!memory.IsReadable(request_.bottom, request_.top)) return {};
    TraceContext context(services_, memory);
    TraceState state(request_, context);
    state.current_address = request_.current_address;
    state.top = request_.top;
    state.bottom = request_.bottom;

    const std::pair<Stage, std::function<bool()>> stages[] = {
        {kCollect, [&] { return detail::CollectPossibleStackItems(state); }},
        {kRemoveRepeatsFully, [&] { return detail::RemoveRecursiveAreas(state, true); }},
        {kDeepChecks, [&] { return detail::InDeepChecks(state); }},
        {kChainSelection, [&] { return detail::RealizeOptimalLinkChains(state); }},
        {kRemoveRepeats,
         [&] {
           state.Progress(1000);
           return detail::RemoveRecursiveAreas(state, false);
         }},
        {kNaming,
         [&] {
           result_.ends_with_creation = state.creation_kept && !state.candidates.empty() &&
                                        !state.candidates.front().invalid;
           return detail::FillFinalOutput(state, result_);
         }},
        {kCompose,
         [&] {
           result_.text = request_.compose ? request_.compose(result_, services_.symbols)
                                           : FormatStackPlain(result_);
           return true;
         }},
    };
    for (const auto& [stage, body] : stages) {
      if (!RunStage(state, stage, body)) break;
    }
    return std::move(result_);
  }

 private:
  // Runs a stage guarded: a failure ends the trace with the internal-error text, the abort
  // flag with an empty result. False when the trace ends.
  bool RunStage(TraceState& state, Stage stage, const std::function<bool()>& body) {
    bool finished = false;
    try {
      finished = body() && !state.Aborted();
    } catch (...) {
      result_ = TraceResult();
      result_.failed_stage = kTraceStageNames[stage];
      result_.failure_address = request_.failure_address ? request_.failure_address() : 0;
      result_.text =
          InternalErrorText(services_.symbols, result_.failed_stage, result_.failure_address,
                            request_.is_exception, request_.current_address);
      return false;
    }
    if (!finished) {
      result_ = TraceResult();
      result_.aborted = true;
    }
    return finished;
  }

  TraceRequest request_;
  TraceServices services_;
  TraceResult result_;
};

}  // namespace

// Not inlined, so that its return address is its caller's place.
__attribute__((noinline)) TraceResult TraceStack(const TraceRequest& request,
                                                 TraceServices services) {
  TraceRequest filled = request;
  if (filled.current_address == 0 && !filled.is_exception) {
    filled.current_address = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
  }
  if (filled.top == 0) filled.top = OwnStackTop();
  if (filled.bottom == 0) {
    // The caller's stack pointer: above this frame's saved frame pointer and return address.
    filled.bottom = reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) + 2 * sizeof(void*);
  }
  return Trace(std::move(filled), services).Run();
}

}  // namespace userdb::crash
