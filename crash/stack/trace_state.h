// The working state of one stack trace, shared by its stages: the candidates in stack order
// (index 0 the oldest) with their links.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "crash/stack/stack_trace.h"
#include "crash/stack/trace_context.h"

namespace userdb::crash::detail {

struct TStackLink {
  std::optional<size_t> other;  // the linked candidate; none for the candidate's own function
  uintptr_t code_address = 0;   // the call instruction
  bool has_target = false;
  uintptr_t target = 0;            // the call's target
  std::optional<size_t> function;  // in the function list
  uint64_t score = 0;              // 0: not scored yet
};

struct TStackLinks {
  std::vector<TStackLink> links;
  std::optional<size_t> best;  // index into links
};

struct TInternalStackItem {
  uintptr_t address = 0;   // the presumed return address; see TraceItem::address
  uintptr_t examined = 0;  // the address the tests look at: address - 1, the top item's address
  bool anchor = false;
  bool top = false;
  bool invalid = false;
  std::optional<size_t> module;
  TStackLinks newer;  // the calls that this candidate's function performed
  TStackLinks older;  // the calls that led here, and the candidate's own function
  TraceItem output;
};

struct CallSiteFound {
  bool found = false;
  uintptr_t code_address = 0;
  uintptr_t target = 0;
  bool has_target = false;
};

struct TraceState {
  TraceState(const TraceRequest& trace_request, TraceContext& trace_context)
      : request(trace_request), context(trace_context) {}

  const TraceRequest& request;
  TraceContext& context;
  uintptr_t current_address = 0;
  uintptr_t top = 0;
  uintptr_t bottom = 0;
  std::vector<TInternalStackItem> candidates;
  bool creation_kept = false;  // candidate 0 is the address where the thread was created

  bool Aborted() const { return request.abort != nullptr && request.abort->load(); }
  void Progress(int position) const {
    if (request.progress != nullptr) request.progress->Progress(position);
  }
  FunctionListEntry& Function(size_t index) { return context.Functions()[index]; }
};

// FindCallSite: where, in the function, the call that the candidate returns to lies. For a top
// item the candidate's address may move to the raising call's next address.
CallSiteFound FindCallSite(TraceState& state, size_t function, TInternalStackItem& candidate,
                           bool top);

// One jump of a tail call: the function that jumped on, its jump and the address after it
// (where the function's frame shows it, as a return address shows a call).
struct TailCallHop {
  size_t function = 0;  // in the function list
  uintptr_t jump = 0;
  uintptr_t next = 0;
};

// The frames that tail calls left between the named caller and the function running above it
// (its first byte `callee_entry`), the caller's first: the one chain of jumps from the function
// that the caller's call reached to the callee, without the entries that only jump on (PLT).
// Empty when there is no such chain, more than one, or a function of it that the module's
// symbols do not name.
std::vector<TailCallHop> TailCallsBetween(TraceState& state, const TraceItem& caller,
                                          uintptr_t callee_entry);

// The link lists of the candidate lose every link to `other`.
void RemoveLinksTo(TInternalStackItem& candidate, size_t other);
// The candidate loses all its links, and its partners their links to it.
void RemoveAllLinks(TraceState& state, size_t candidate);

// The stages; false when the abort flag ended them.
bool CollectPossibleStackItems(TraceState& state);
bool RemoveRecursiveAreas(TraceState& state, bool full_invalidation);
bool InDeepChecks(TraceState& state);
bool RealizeOptimalLinkChains(TraceState& state);
bool FillFinalOutput(TraceState& state, TraceResult& result);

}  // namespace userdb::crash::detail
