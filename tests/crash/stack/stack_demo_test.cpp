// The demo's small programs, run to a crash or a throw as a user's program would be: the
// trace finds every frame of the reference chain (libunwind's at the same point, a recursion
// shown once) and prints none that is not in it, with and without frame pointers.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/support/run_program.h"

namespace {

struct DemoRun {
  const char* program;
  const char* scenario;
};

class StackDemoTest : public ::testing::TestWithParam<DemoRun> {};

TEST_P(StackDemoTest, TheTraceFindsTheReferenceChainAndInventsNothing) {
  const DemoRun run = GetParam();
  const auto result = userdb::test_support::RunProgram(
      {std::string(DEMO_FOLDER) + "/" + run.program, "--compare", run.scenario});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  std::smatch score;
  const std::regex trace_line(std::string(run.scenario) +
                              R"( trace reference=(\d+) found=(\d+) printed=\d+ invented=(\d+))");
  ASSERT_TRUE(std::regex_search(result.out, score, trace_line)) << result.out;
  EXPECT_GT(std::stoi(score[1]), 3) << result.out;
  EXPECT_EQ(score[2], score[1]) << result.out;
  EXPECT_EQ(score[3], "0") << result.out;
}

// TailCaller ended with a jump to TailCallee and left no return address: the trace shows its
// frame between TailCallee's and its caller's, from the demo's symbols and the jump.
TEST(StackDemoTailCall, TheFrameOfTheFunctionThatJumpedIsShown) {
  for (const char* program : {"userdb-stack-demo", "userdb-stack-demo-nofp"}) {
    const auto result =
        userdb::test_support::RunProgram({std::string(DEMO_FOLDER) + "/" + program, "tail-call"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const std::regex chain(
        R"(\.TailCallee\r\n[0-9a-f]{16} [^\r]*\.TailCaller\r\n[0-9a-f]{16} [^\r]*\.CallTailCaller\r\n)");
    EXPECT_TRUE(std::regex_search(result.out, chain)) << program << "\n" << result.out;
  }
}

INSTANTIATE_TEST_SUITE_P(Programs, StackDemoTest,
                         ::testing::Values(DemoRun{"userdb-stack-demo", "qt-event"},
                                           DemoRun{"userdb-stack-demo-nofp", "qt-event"},
                                           DemoRun{"userdb-stack-demo", "throw"},
                                           DemoRun{"userdb-stack-demo-nofp", "throw"},
                                           DemoRun{"userdb-stack-demo-nofp", "leaf-signal"},
                                           DemoRun{"userdb-stack-demo-nofp", "tail-call"},
                                           DemoRun{"userdb-stack-demo-nofp", "bad-pointer"},
                                           DemoRun{"userdb-stack-demo-nofp", "stale"},
                                           DemoRun{"userdb-stack-demo-nofp", "recursion"}),
                         [](const ::testing::TestParamInfo<DemoRun>& run) {
                           std::string name =
                               std::string(run.param.program) + "_" + run.param.scenario;
                           for (char& c : name)
                             c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

}  // namespace
