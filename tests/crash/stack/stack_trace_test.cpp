#include "crash/stack/stack_trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "crash/stack/call_test.h"
#include "crash/stack/readable_memory_map.h"
#include "tests/crash/stack/stack_layout.h"
#include "tests/crash/stack/symbol_test_support.h"
#include "tests/crash/stack/traced_code.h"

namespace userdb::crash {
namespace {

using test::StackLayout;

uintptr_t AddressOf(void (*function)()) {
  return reinterpret_cast<uintptr_t>(function);
}

class StackTraceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    stacktest::Outer();
    stacktest::RecurseA(1);
    stacktest::CallThrough(stacktest::RecordReturnAddress);
    try {
      stacktest::ConvertAll(5);
    } catch (const std::runtime_error&) {
    }
  }

  TraceResult Trace(const StackLayout& stack, uintptr_t current, bool exception, bool external) {
    TraceRequest request;
    request.current_address = current;
    request.is_exception = exception;
    request.external_exception = external;
    request.top = stack.Top();
    request.bottom = stack.Bottom();
    request.frame_pointer = stack.FramePointer();
    request.abort = &abort_;
    request.progress = progress_;
    request.compose = compose_;
    request.creation_address = creation_address_;
    request.relative_lines = relative_lines_;
    return TraceStack(request, Services());
  }

  TraceServices Services() { return {symbols_, functions_, routines_}; }

  static std::vector<uintptr_t> Addresses(const TraceResult& result) {
    std::vector<uintptr_t> addresses;
    for (const TraceItem& item : result.items) addresses.push_back(item.address);
    return addresses;
  }

  static const stacktest::RecordedAddresses& Recorded() { return stacktest::recorded; }

  SymbolLookup symbols_;
  FunctionList functions_;
  RuntimeRoutines routines_ = RuntimeRoutines::OfThisProcess(symbols_);
  std::atomic<bool> abort_{false};
  IProgressAlert* progress_ = nullptr;
  StackComposer compose_;
  uintptr_t creation_address_ = 0;
  bool relative_lines_ = false;
};

TEST_F(StackTraceTest, FindsTheChainOfRealReturnAddresses) {
  StackLayout stack;
  stack.PushFrame(Recorded().in_caller, true);
  stack.PushFrame(Recorded().in_outer, true);
  stack.PushFrame(Recorded().in_middle, true);
  const TraceResult result = Trace(stack, AddressOf(stacktest::Inner), true, true);

  ASSERT_EQ(result.items.size(), 4u) << result.text;
  EXPECT_TRUE(result.items[0].top);
  EXPECT_EQ(result.items[0].code_address, AddressOf(stacktest::Inner));
  EXPECT_NE(result.items[0].function_name.find("stacktest.Inner"), std::string::npos);
  EXPECT_NE(result.items[1].function_name.find("stacktest.Middle"), std::string::npos);
  EXPECT_NE(result.items[2].function_name.find("stacktest.Outer"), std::string::npos);
  EXPECT_EQ(result.items[1].address, Recorded().in_middle);
  EXPECT_EQ(result.items[1].unit_name, "traced_code.cpp");
  EXPECT_GT(result.items[1].line, 0);
  EXPECT_EQ(result.newest_code_address, AddressOf(stacktest::Inner));
  EXPECT_FALSE(result.text.empty());
}

// The place where the thread was created is the chain's oldest item.
TEST_F(StackTraceTest, TheCreationAddressIsTheOldestItem) {
  creation_address_ = Recorded().in_caller;
  StackLayout stack;
  stack.PushFrame(Recorded().in_outer, true);
  stack.PushFrame(Recorded().in_middle, true);
  const TraceResult result = Trace(stack, AddressOf(stacktest::Inner), true, true);

  ASSERT_EQ(result.items.size(), 4u) << result.text;
  EXPECT_EQ(result.items.back().code_address, Recorded().in_caller);
  EXPECT_FALSE(result.items.back().top);
  EXPECT_EQ(result.items[2].address, Recorded().in_outer);
}

// With relative lines, an item's line counts from its function's first line, and the second
// line field holds the absolute line.
TEST_F(StackTraceTest, RelativeLinesCountFromTheFunctionsFirstLine) {
  StackLayout stack;
  stack.PushFrame(Recorded().in_caller, true);
  stack.PushFrame(Recorded().in_outer, true);
  stack.PushFrame(Recorded().in_middle, true);
  const TraceResult absolute = Trace(stack, AddressOf(stacktest::Inner), true, true);
  relative_lines_ = true;
  const TraceResult relative = Trace(stack, AddressOf(stacktest::Inner), true, true);

  ASSERT_EQ(absolute.items.size(), relative.items.size());
  const TraceItem& middle = relative.items[1];
  EXPECT_EQ(middle.second_line, absolute.items[1].line);
  EXPECT_GT(middle.line, 0);
  EXPECT_LT(middle.line, middle.second_line);
  EXPECT_EQ(middle.second_line - middle.line,
            test::LineOf(TRACED_CODE_SOURCE, "__attribute__((noinline)) void Middle() {"));
}

// Values that point into data, or into code but not behind a call, are no return addresses.
TEST_F(StackTraceTest, DropsValuesIntoDataAndNotAfterACall) {
  static const char data_text[] = "a string of the program's data";
  const uintptr_t not_after_call = AddressOf(stacktest::Middle);
  ASSERT_FALSE(IsAfterCall(ReadableMemoryMap::Take(), not_after_call));
  StackLayout stack;
  stack.PushFrame(Recorded().in_caller, false, {reinterpret_cast<uintptr_t>(data_text)});
  stack.PushFrame(Recorded().in_outer, false, {not_after_call, 12345});
  stack.PushFrame(Recorded().in_middle, false, {reinterpret_cast<uintptr_t>(&stack)});
  const TraceResult result = Trace(stack, AddressOf(stacktest::Inner), true, true);

  const std::vector<uintptr_t> expected = {result.items.empty() ? 0 : result.items[0].address,
                                           Recorded().in_middle, Recorded().in_outer,
                                           Recorded().in_caller};
  EXPECT_EQ(Addresses(result), expected) << result.text;
}

// A return address left by a call that has returned, between two frame-pointer anchors,
// explains nothing of the chain.
TEST_F(StackTraceTest, DropsAStaleReturnAddressBetweenAnchors) {
  StackLayout stack;
  stack.PushFrame(Recorded().in_caller, true);
  stack.PushFrame(Recorded().in_outer, true, {Recorded().b_to_a, 7});
  stack.PushFrame(Recorded().in_middle, true);
  const TraceResult result = Trace(stack, AddressOf(stacktest::Inner), true, true);

  const std::vector<uintptr_t> addresses = Addresses(result);
  EXPECT_EQ(std::count(addresses.begin(), addresses.end(), Recorded().b_to_a), 0) << result.text;
  EXPECT_EQ(addresses.size(), 4u) << result.text;
}

TEST_F(StackTraceTest, ShowsARepeatedRecursionOnce) {
  StackLayout stack;
  for (int i = 0; i < 3; ++i) {
    stack.PushFrame(Recorded().a_to_b, false);
    stack.PushFrame(Recorded().b_to_a, false);
  }
  const TraceResult result =
      Trace(stack, AddressOf(reinterpret_cast<void (*)()>(stacktest::RecurseA)), true, true);

  ASSERT_EQ(result.items.size(), 3u) << result.text;
  EXPECT_TRUE(result.items[0].top);
  EXPECT_EQ(result.items[1].address, Recorded().b_to_a);
  EXPECT_EQ(result.items[2].address, Recorded().a_to_b);
}

// A C++ exception raised through a routine named "...Error" is shown at the call of that
// routine, in the function that called it.
TEST_F(StackTraceTest, ShowsAnExceptionRaisedThroughAnErrorRoutineAtItsCall) {
  StackLayout stack;
  stack.PushFrame(Recorded().in_convert_all, true);
  const TraceResult result = Trace(stack, Recorded().convert_to_raise, true, false);

  ASSERT_GE(result.items.size(), 2u) << result.text;
  const TraceItem& top = result.items[0];
  EXPECT_TRUE(top.top);
  EXPECT_EQ(top.code_address, Recorded().convert_to_raise - 5);  // the call rel32 instruction
  EXPECT_NE(top.function_name.find("ConvertRecord"), std::string::npos);
  EXPECT_EQ(top.line, test::LineOf(TRACED_CODE_SOURCE, "// the raising call"));
  EXPECT_NE(result.items[1].function_name.find("ConvertAll"), std::string::npos);
}

TEST_F(StackTraceTest, ACallThroughABadPointerStillGivesATopItem) {
  StackLayout stack;
  stack.PushFrame(Recorded().in_call_through_caller, true);
  stack.PushFrame(Recorded().after_indirect_call, false);
  const uintptr_t bad_address = 0x10;
  const TraceResult result = Trace(stack, bad_address, true, true);

  ASSERT_GE(result.items.size(), 2u) << result.text;
  EXPECT_TRUE(result.items[0].top);
  EXPECT_EQ(result.items[0].code_address, bad_address);
  EXPECT_EQ(result.items[0].module_name, "???");
  EXPECT_EQ(result.items[1].address, Recorded().after_indirect_call);
  EXPECT_NE(result.items[1].function_name.find("CallThrough"), std::string::npos);
}

// Through the relay library: relay_caller calls relay_entry, which jumps on to relay_hidden;
// that one calls relay_hidden_callee through a register, which calls back. Stripped to its
// exports, no symbol names the two hidden functions.
class RelayTrace : public StackTraceTest {
 protected:
  explicit RelayTrace(const char* path) : library_(path) {}

  uintptr_t At(const char* label) const { return library_.Address(label); }

  // The callback's frame on top, called from the hidden function; relay_caller (or the
  // caller whose return address is given) below.
  TraceResult TraceThroughTheLibrary(const char* caller_return = "relay_caller_return") {
    StackLayout stack;
    stack.PushFrame(At(caller_return), true);
    stack.PushFrame(At("relay_hidden_return"), true);
    stack.PushFrame(At("relay_callee_return"), true);
    return Trace(stack, AddressOf(stacktest::Inner), true, true);
  }

  static const TraceItem* ItemAt(const TraceResult& result, uintptr_t address) {
    for (const TraceItem& item : result.items) {
      if (item.address == address) return &item;
    }
    return nullptr;
  }

  test::LoadedLibrary library_;
};

class StrippedLibraryTrace : public RelayTrace {
 protected:
  StrippedLibraryTrace() : RelayTrace(STACKTEST_RELAY) {}
};

class LibraryWithSymbolsTrace : public RelayTrace {
 protected:
  LibraryWithSymbolsTrace() : RelayTrace(STACKTEST_RELAY_SYMBOLS) {}
};

TEST_F(StrippedLibraryTrace, AFunctionWithoutAnyNameKeepsItsFrame) {
  const TraceResult result = TraceThroughTheLibrary();
  EXPECT_TRUE(result.items.front().top);
  // No symbol confirms the function that jumped: no frame is made of the jump.
  EXPECT_EQ(ItemAt(result, At("relay_entry_jump_end")), nullptr) << result.text;
  const struct {
    const char* return_address;
    const char* function_start;  // "relay_caller" is named by its export
    const char* name;
    uintptr_t call_length;
  } cases[] = {
      // Called through a register only: its start comes from the unwind tables.
      {"relay_callee_return", "relay_callee_start", "", 2},
      // Reached by a jump from an export that was analysed: its start is known from that.
      {"relay_hidden_return", "relay_hidden_start", "", 2},
      {"relay_caller_return", "relay_caller", "relay_caller", 5},
  };
  for (const auto& c : cases) {
    const TraceItem* item = ItemAt(result, At(c.return_address));
    ASSERT_NE(item, nullptr) << c.return_address << "\n" << result.text;
    EXPECT_EQ(item->module_name, "libstacktest_relay.so");
    EXPECT_EQ(item->function_name, c.name);
    EXPECT_EQ(item->code_address, At(c.return_address) - c.call_length) << c.return_address;
    EXPECT_EQ(item->function_entry, At(c.function_start)) << c.return_address;
  }
}

// relay_entry left no return address: it jumped on to relay_hidden. Its frame lies between
// relay_caller's call and relay_hidden, at its jump.
TEST_F(LibraryWithSymbolsTrace, ATailCallKeepsTheFrameOfTheFunctionThatJumped) {
  const TraceResult result = TraceThroughTheLibrary();
  std::vector<std::string> names;
  for (const TraceItem& item : result.items) names.push_back(item.function_name);
  ASSERT_EQ(names.size(), 5u) << result.text;
  EXPECT_EQ(std::vector<std::string>(names.begin() + 1, names.end()),
            (std::vector<std::string>{"relay_hidden_callee", "relay_hidden", "relay_entry",
                                      "relay_caller"}))
      << result.text;
  const TraceItem& tail_call = result.items[3];
  EXPECT_EQ(tail_call.address, At("relay_entry_jump_end"));
  EXPECT_EQ(tail_call.code_address, At("relay_entry_jump_end") - 2);  // jmp rel8
  EXPECT_EQ(tail_call.function_entry, At("relay_entry"));
  EXPECT_EQ(tail_call.module_name, "libstacktest_relay_symbols.so");
  EXPECT_TRUE(tail_call.tail_call);
  EXPECT_FALSE(tail_call.top);
}

// fork_entry reaches relay_hidden through fork_join, either straight or through fork_side
// first: the stack cannot tell which, so none of the three gets a frame of its jump.
TEST_F(LibraryWithSymbolsTrace, JumpsThatReachTheRunningFunctionInTwoWaysGetNoFrames) {
  const TraceResult result = TraceThroughTheLibrary("fork_caller_return");
  std::vector<std::string> names;
  for (const TraceItem& item : result.items) names.push_back(item.function_name);
  ASSERT_EQ(names.size(), 4u) << result.text;
  EXPECT_EQ(std::vector<std::string>(names.begin() + 1, names.end()),
            (std::vector<std::string>{"relay_hidden_callee", "relay_hidden", "fork_caller"}))
      << result.text;
  for (const TraceItem& item : result.items) EXPECT_FALSE(item.tail_call) << result.text;
}

class ProgressAction : public IProgressAlert {
 public:
  explicit ProgressAction(std::function<void(int)> action) : action_(std::move(action)) {}
  void Progress(int position) override {
    positions.push_back(position);
    action_(position);
  }
  std::vector<int> positions;

 private:
  std::function<void(int)> action_;
};

TEST_F(StackTraceTest, ReportsProgressUpToAThousand) {
  ProgressAction recorder([](int) {});
  progress_ = &recorder;
  StackLayout stack;
  stack.PushFrame(Recorded().in_caller, true);
  stack.PushFrame(Recorded().in_outer, true);
  Trace(stack, AddressOf(stacktest::Middle), true, true);

  ASSERT_FALSE(recorder.positions.empty());
  EXPECT_LT(recorder.positions.front(), 25);
  EXPECT_EQ(recorder.positions.back(), 1000);
  EXPECT_TRUE(std::is_sorted(recorder.positions.begin(), recorder.positions.end()));
  EXPECT_NE(std::find(recorder.positions.begin(), recorder.positions.end(), 650),
            recorder.positions.end());
}

TEST_F(StackTraceTest, TheAbortFlagDuringTheDeepChecksEndsWithoutText) {
  ProgressAction aborter([this](int position) {
    if (position > 25 && position < 650) abort_ = true;
  });
  progress_ = &aborter;
  StackLayout stack;
  stack.PushFrame(Recorded().in_caller, true);
  stack.PushFrame(Recorded().in_outer, true);
  const TraceResult result = Trace(stack, AddressOf(stacktest::Middle), true, true);

  EXPECT_TRUE(result.aborted);
  EXPECT_TRUE(result.text.empty());
  EXPECT_TRUE(result.items.empty());
  EXPECT_TRUE(result.failed_stage.empty());
}

struct FailingStage {
  // The receiver fails at the first progress position from `low` up to `high` (excluded);
  // with none, the composition fails.
  int low;
  int high;
  const char* stage;
};

class StackTraceFailureTest : public StackTraceTest,
                              public ::testing::WithParamInterface<FailingStage> {};

TEST_P(StackTraceFailureTest, AFailingStageGivesTheInternalErrorText) {
  const FailingStage failing = GetParam();
  bool failed = false;
  ProgressAction thrower([&](int position) {
    const bool here = failing.low <= position && position < failing.high;
    if (here && !failed) {
      failed = true;
      throw std::runtime_error("failure in a stage");
    }
  });
  progress_ = &thrower;
  if (failing.high == 0) {
    compose_ = [](const TraceResult&, SymbolLookup&) -> std::string {
      throw std::runtime_error("failure in the composition");
    };
  }
  StackLayout stack;
  stack.PushFrame(Recorded().in_caller, true);
  stack.PushFrame(Recorded().in_outer, true);
  const TraceResult plain = Trace(stack, AddressOf(stacktest::Middle), false, false);
  EXPECT_EQ(plain.text, std::string(">> internal error in ") + failing.stage);
  EXPECT_EQ(plain.failed_stage, failing.stage);
  EXPECT_TRUE(plain.items.empty());

  failed = false;
  const TraceResult exception = Trace(stack, AddressOf(stacktest::Middle), true, true);
  EXPECT_TRUE(exception.text.starts_with(std::string(">> internal error in ") + failing.stage +
                                         "\r\n>> original exception location: \r\n"))
      << exception.text;
}

INSTANTIATE_TEST_SUITE_P(Stages, StackTraceFailureTest,
                         ::testing::Values(FailingStage{0, 25, "CollectPossibleStackItems"},
                                           FailingStage{26, 650, "InDeepChecks"},
                                           FailingStage{650, 651, "RealizeOptimalLinkChains"},
                                           FailingStage{1000, 1001, "RemoveRecursiveAreas"},
                                           FailingStage{0, 0, "ComposeResult"}));

TEST_F(StackTraceTest, AStackThatCannotBeReadGivesNothing) {
  StackLayout stack;
  TraceRequest request;
  request.current_address = AddressOf(stacktest::Inner);
  request.is_exception = true;
  request.top = 0x1000;  // the first page is never mapped
  request.bottom = 0x800;
  const TraceResult result = TraceStack(request, Services());
  EXPECT_TRUE(result.items.empty());
  EXPECT_TRUE(result.text.empty());
}

// Without an exception and without a current address, the trace starts at its caller.
TEST_F(StackTraceTest, TracesItsCallerWithoutAnyAddress) {
  const TraceResult result = TraceStack(TraceRequest(), Services());
  ASSERT_FALSE(result.items.empty()) << result.text;
  EXPECT_NE(result.items[0].function_name.find("TracesItsCallerWithoutAnyAddress"),
            std::string::npos)
      << result.text;
}

}  // namespace
}  // namespace userdb::crash
