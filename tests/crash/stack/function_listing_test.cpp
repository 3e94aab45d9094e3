#include "crash/stack/function_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <vector>

#include "crash/stack/instruction_decoder.h"
#include "tests/crash/stack/analysed_code.h"

namespace userdb::crash {
namespace {

template <typename Function>
uintptr_t AddressOf(Function* function) {
  return reinterpret_cast<uintptr_t>(function);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find("\r\n", start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

bool IsInstructionLine(const std::string& line) {
  return std::regex_search(line, std::regex("^[0-9a-f]{16} "));
}

class FunctionListingTest : public ::testing::Test {
 protected:
  std::vector<std::string> List(uintptr_t address, ListingOptions options = {}) {
    const std::string text = ListFunction(address, {symbols_, functions_, routines_}, options);
    return text.empty() ? std::vector<std::string>() : Lines(text);
  }

  // The address of an instruction some way into the function, not its first.
  uintptr_t InsideOf(uintptr_t entry, int instructions) {
    const ReadableMemoryMap memory = ReadableMemoryMap::Take();
    uintptr_t at = entry;
    for (int i = 0; i < instructions; ++i) at = DecodeInstruction(memory, at).Next();
    return at;
  }

  SymbolLookup symbols_;
  FunctionList functions_;
  RuntimeRoutines routines_ = RuntimeRoutines::OfThisProcess(symbols_);
};

TEST_F(FunctionListingTest, MarksTheInstructionAtTheAddressInTheEighteenthColumn) {
  const uintptr_t address = InsideOf(AddressOf(analysed::Dispatch), 3);
  const std::vector<std::string> lines = List(address);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "public analysed.Dispatch");
  size_t marked = 0;
  for (const std::string& line : lines) {
    if (line.size() > 17 && line[17] == '>') {
      ++marked;
      char text[24];
      std::snprintf(text, sizeof text, "%016lx ", static_cast<unsigned long>(address));
      EXPECT_TRUE(line.starts_with(text)) << line;
    }
  }
  EXPECT_EQ(marked, 1u);
}

TEST_F(FunctionListingTest, TheReturnAddressOfACallThatNeverReturnsMarksTheCall) {
  const ReadableMemoryMap memory = ReadableMemoryMap::Take();
  List(AddressOf(analysed::StopHere));
  const auto index = functions_.IndexOfEntry(AddressOf(analysed::StopHere));
  ASSERT_TRUE(index.has_value());
  const TFunctionInfo info = functions_[*index].info;
  // StopHere's call of abort ends its code: nothing of the function follows it.
  uintptr_t after_abort = 0;
  for (const CallSite& site : info.call_sites) {
    if (site.is_call && info.CodeAreaAt(site.next) == nullptr) after_abort = site.next;
  }
  ASSERT_NE(after_abort, 0u);
  const std::vector<std::string> lines = List(after_abort, {.return_address = true});
  const auto marked = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.size() > 17 && line[17] == '>';
  });
  ASSERT_NE(marked, lines.end()) << ::testing::PrintToString(lines);
  EXPECT_NE(marked->find(" call "), std::string::npos) << *marked;
  EXPECT_EQ(DecodeInstruction(memory, std::stoul(marked->substr(0, 16), nullptr, 16)).Next(),
            after_abort);
}

TEST_F(FunctionListingTest, ListsAJumpTableAfterItsJumpWithALabelForEveryEntry) {
  const std::vector<std::string> lines = List(AddressOf(analysed::Dispatch));
  const auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.ends_with("  ; case jump table");
  });
  ASSERT_NE(first, lines.end()) << ::testing::PrintToString(lines);
  EXPECT_TRUE(IsInstructionLine(*(first - 1)) && (first - 1)->find("jmp") != std::string::npos)
      << *(first - 1);
  const std::regex entry("  dd (loc_[0-9a-f]+)(  ; case jump table)?");
  int entries = 0;
  for (auto line = first; line != lines.end() && line->starts_with("  dd "); ++line, ++entries) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(*line, match, entry)) << *line;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), match[1].str() + ":"), 1) << *line;
  }
  EXPECT_EQ(entries, 8);
}

TEST_F(FunctionListingTest, PutsTheCatchClausesBeforeTheirLandingPad) {
  const struct {
    uintptr_t function;
    std::vector<std::string> clauses;  // the lines before the pad's label, with "loc_" left off
  } cases[] = {
      {AddressOf(analysed::CatchFailure), {"  on std.runtime_error do "}},
      {AddressOf(analysed::CatchAny), {"  on std.logic_error do ", "  else "}},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> lines = List(c.function);
    const auto first = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.starts_with(c.clauses[0]);
    });
    ASSERT_NE(first, lines.end()) << ::testing::PrintToString(lines);
    const std::string pad = first->substr(c.clauses[0].size());
    for (size_t i = 0; i < c.clauses.size(); ++i) {
      EXPECT_EQ(*(first + static_cast<ptrdiff_t>(i)), c.clauses[i] + pad);
    }
    EXPECT_EQ(*(first + static_cast<ptrdiff_t>(c.clauses.size())), pad + ":");
  }
}

TEST_F(FunctionListingTest, NumbersTheLinesWhereTheyStartInOneWidth) {
  const std::vector<std::string> lines = List(AddressOf(analysed::Dispatch));
  const std::regex numbered("[0-9a-f]{16} [ >] (\\d{2}|  ) \\S.*");
  size_t numbered_lines = 0;
  for (const std::string& line : lines) {
    if (!IsInstructionLine(line)) continue;
    EXPECT_TRUE(std::regex_match(line, numbered)) << line;
    if (line[19] != ' ') ++numbered_lines;
  }
  EXPECT_GT(numbered_lines, 8u);
}

TEST_F(FunctionListingTest, NamesTheCalledFunctionsAndLabelsTheJumpsInside) {
  const std::vector<std::string> lines = List(AddressOf(analysed::Dispatch));
  const auto calls = std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
    return std::regex_search(line,
                             std::regex(R"( call analysed\.\(anonymous namespace\)\.Case\d$)"));
  });
  EXPECT_EQ(calls, 8);
  for (const std::string& line : lines) {
    std::smatch match;
    if (std::regex_search(line, match, std::regex(R"( j\w+ (loc_[0-9a-f]+)$)"))) {
      EXPECT_EQ(std::count(lines.begin(), lines.end(), match[1].str() + ":"), 1) << line;
    }
  }
}

TEST_F(FunctionListingTest, RulersPartTheCodeBlocks) {
  const std::vector<std::string> lines = List(AddressOf(analysed::Dispatch), {0, true});
  size_t rulers = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] != kListingRuler) continue;
    ++rulers;
    ASSERT_GT(i, 1u);
    ASSERT_LT(i + 1, lines.size());
    EXPECT_EQ(lines[i - 1], "");
    EXPECT_EQ(lines[i + 1], "");
    // After a return or a jump, or after the jump table that follows its jump.
    EXPECT_TRUE(std::regex_search(lines[i - 2], std::regex(" (ret|jmp .*)$|^  dd ")))
        << lines[i - 2];
  }
  EXPECT_GE(rulers, 8u);
}

TEST_F(FunctionListingTest, CutsToTheLimitAroundTheMarkedLine) {
  const std::vector<std::string> lines = List(InsideOf(AddressOf(analysed::Dispatch), 3), {2});
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.back(), kListingCut);
  EXPECT_EQ(lines.size(), 1u + 5u + 1u + 1u);  // the name, 2 + marked + 2 lines, a cut
}

TEST_F(FunctionListingTest, NothingForAnAddressOutsideCode) {
  static const int data = 7;
  EXPECT_TRUE(List(reinterpret_cast<uintptr_t>(&data)).empty());
  EXPECT_TRUE(List(0).empty());
  EXPECT_TRUE(List(0x10).empty());
}

std::vector<std::string> Numbered(size_t count) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < count; ++i) lines.push_back(std::to_string(i));
  return lines;
}

TEST(CutAround, KeepsTheLimitBeforeAndAfterAndCutsBeforeFromTwelveTenthsOn) {
  const struct {
    size_t count, marked;
    int limit;
    std::vector<std::string> kept;
  } cases[] = {
      {20, 10, 5, {"[...]", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "[...]"}},
      {20, 6, 5, {"[...]", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "[...]"}},
      {20, 5, 5, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "[...]"}},
      {8, 6, 5, {"[...]", "1", "2", "3", "4", "5", "6", "7"}},
      {7, 3, 5, {"0", "1", "2", "3", "4", "5", "6"}},
      {4, 1, 0, {"0", "1", "2", "3"}},
      {4, 9, 1, {"0", "1", "2", "3"}},
      {10, 5, 1, {"[...]", "4", "5", "6", "[...]"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CutAround(Numbered(c.count), c.marked, c.limit), c.kept)
        << c.count << " lines, marked " << c.marked << ", limit " << c.limit;
  }
}

}  // namespace
}  // namespace userdb::crash
