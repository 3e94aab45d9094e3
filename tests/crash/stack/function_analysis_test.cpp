#include "crash/stack/function_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "crash/stack/trace_context.h"
#include "tests/crash/stack/analysed_code.h"

namespace userdb::crash {
namespace {

template <typename Function>
uintptr_t AddressOf(Function* function) {
  return reinterpret_cast<uintptr_t>(function);
}

class FunctionAnalysisTest : public ::testing::Test {
 protected:
  TFunctionInfo Analyze(uintptr_t entry) { return AnalyzeFunction(memory_, entry, context_); }

  static bool CallsTo(const TFunctionInfo& info, uintptr_t target, bool is_call = true) {
    return std::any_of(info.call_sites.begin(), info.call_sites.end(), [&](const CallSite& site) {
      return site.target == target && site.is_call == is_call;
    });
  }

  SymbolLookup symbols_;
  FunctionList functions_;
  RuntimeRoutines routines_ = RuntimeRoutines::OfThisProcess(symbols_);
  ReadableMemoryMap memory_ = ReadableMemoryMap::Take();
  TraceContext context_{TraceServices{symbols_, functions_, routines_}, memory_};
};

TEST_F(FunctionAnalysisTest, FollowsEveryEntryOfAJumpTable) {
  const TFunctionInfo info = Analyze(AddressOf(analysed::Dispatch));
  ASSERT_TRUE(info.valid) << info.last_error.text;
  for (analysed::CaseFunction called : analysed::kCaseFunctions) {
    EXPECT_TRUE(CallsTo(info, AddressOf(called)));
  }
  EXPECT_TRUE(std::any_of(info.areas.begin(), info.areas.end(),
                          [](const CodeArea& area) { return area.kind == AreaKind::kData; }));
  EXPECT_FALSE(info.HasIndirectJump());
}

TEST_F(FunctionAnalysisTest, ReachesACatchClauseThroughTheExceptionTable) {
  const TFunctionInfo info = Analyze(AddressOf(analysed::CatchFailure));
  ASSERT_TRUE(info.valid) << info.last_error.text;
  EXPECT_TRUE(CallsTo(info, AddressOf(analysed::Handled)));
}

TEST_F(FunctionAnalysisTest, ATailCallIsACallSiteThatJumps) {
  const TFunctionInfo info = Analyze(AddressOf(analysed::Forward));
  ASSERT_TRUE(info.valid) << info.last_error.text;
  EXPECT_TRUE(CallsTo(info, AddressOf(analysed::Target), false));
  EXPECT_LT(info.code_length, 64u);  // the target's code is not taken in
}

// Whatever the shape, the areas stay within the function's code as the unwind tables know it
// (its own entry and its parts moved out): a call that never returns ends an area.
TEST_F(FunctionAnalysisTest, AreasStayInsideTheFunctionsCode) {
  for (uintptr_t entry : {AddressOf(analysed::Dispatch), AddressOf(analysed::CatchFailure),
                          AddressOf(analysed::StopHere), AddressOf(analysed::Forward)}) {
    const TFunctionInfo info = Analyze(entry);
    ASSERT_TRUE(info.valid) << info.last_error.text;
    const std::optional<UnwindEntry> own = context_.UnwindEntryAt(entry);
    ASSERT_TRUE(own.has_value());
    for (const CodeArea& area : info.areas) {
      if (area.kind != AreaKind::kCode) continue;
      const std::optional<UnwindEntry> part = context_.UnwindEntryAt(area.start);
      ASSERT_TRUE(part.has_value());
      EXPECT_TRUE(part->start == own->start || context_.IsColdPartOf(entry, part->start));
      EXPECT_LT(area.end, part->end);
    }
  }
}

TEST_F(FunctionAnalysisTest, CodeThatDoesNotDecodeMakesTheFunctionInvalid) {
  // 0x06 (push es) does not exist in 64-bit mode.
  std::vector<uint8_t> bytes(64, 0x06);
  const TFunctionInfo info = Analyze(reinterpret_cast<uintptr_t>(bytes.data()));
  EXPECT_FALSE(info.valid);
  EXPECT_EQ(info.last_error.number, kInvalidCodeError);
  EXPECT_EQ(info.last_error.text, "Invalid code!");
  EXPECT_EQ(info.last_error.address, reinterpret_cast<uintptr_t>(bytes.data()));
}

TEST_F(FunctionAnalysisTest, AnEntryInNoReadableMemoryIsRefused) {
  const TFunctionInfo info = Analyze(0x1000);
  EXPECT_FALSE(info.valid);
  EXPECT_EQ(info.last_error.number, static_cast<uint32_t>(EINVAL));
  EXPECT_FALSE(info.last_error.text.empty());
}

}  // namespace
}  // namespace userdb::crash
