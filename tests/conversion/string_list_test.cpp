// The load and save rules of StringList and its index error.
#include "conversion/string_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace userdb::conversion {

namespace {

std::vector<std::string> Load(const std::string& bytes) {
  StringList list;
  list.Add("replaced by the load");
  list.LoadFromBytes(bytes);
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) lines.emplace_back(list.Get(i));
  return lines;
}

struct LoadCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;
};

class LoadRuleTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadRuleTest, CutsLinesAtLineEndsAndStopsAtNul) {
  EXPECT_EQ(Load(GetParam().bytes), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadRuleTest,
    ::testing::Values(LoadCase{"empty", "", {}}, LoadCase{"one_line_without_end", "a", {"a"}},
                      LoadCase{"crlf_ends_a_line", "a\r\n", {"a"}},
                      LoadCase{"every_kind_of_line_end", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
                      LoadCase{
                          "lf_then_cr", "a\n\rb", {"a", "", "b"}},  // LF then CR: two line ends
                      LoadCase{"cr_then_crlf", "a\r\r\nb", {"a", "", "b"}},
                      LoadCase{"two_empty_lines", "\r\n\r\n", {"", ""}},
                      LoadCase{"nul_ends_the_text", std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
                      LoadCase{"nul_first", std::string("\0abc", 4), {}},
                      LoadCase{"tab_and_a0_stay", "tab\tand \xA0 stay\n", {"tab\tand \xA0 stay"}}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST(StringListTest, SavesEveryEntryFollowedByCrLf) {
  StringList list;
  EXPECT_EQ(list.SaveToBytes(), "");
  list.Add("a");
  list.Add("");
  list.Add("b c");
  EXPECT_EQ(list.SaveToBytes(), "a\r\n\r\nb c\r\n");
}

TEST(StringListTest, LoadedListSavesWithCrLf) {
  StringList list;
  list.LoadFromBytes("a\nb\rc");
  EXPECT_EQ(list.SaveToBytes(), "a\r\nb\r\nc\r\n");
  list.Add("d");
  EXPECT_EQ(list.SaveToBytes(), "a\r\nb\r\nc\r\nd\r\n");
}

TEST(StringListTest, SetReplacesOneEntryAndKeepsTheOthers) {
  StringList list;
  for (const char* entry : {"zero", "one", "two", "three"}) list.Add(entry);
  list.Set(1, "a much longer entry");
  list.Set(2, "");
  EXPECT_EQ(list.Get(0), "zero");
  EXPECT_EQ(list.Get(1), "a much longer entry");
  EXPECT_EQ(list.Get(2), "");
  EXPECT_EQ(list.Get(3), "three");
  EXPECT_EQ(list.SaveToBytes(), "zero\r\na much longer entry\r\n\r\nthree\r\n");
}

TEST(StringListTest, IndexOutsideTheListFails) {
  StringList list;
  EXPECT_THROW(list.Get(0), ListIndexError);
  list.Add("x");
  EXPECT_THROW(list.Get(1), ListIndexError);
  EXPECT_THROW(list.Get(-1), ListIndexError);
  EXPECT_THROW(list.Set(1, "y"), ListIndexError);
  EXPECT_EQ(list.Get(0), "x");
  try {
    list.Get(5);
  } catch (const ListIndexError& error) {
    EXPECT_EQ(error.Message(), "List index out of bounds (5)");
  }
}

TEST(StringListTest, ClearEmptiesForReuse) {
  StringList list;
  list.LoadFromBytes("a\nb\n");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  list.Add("c");
  EXPECT_EQ(list.SaveToBytes(), "c\r\n");
}

}  // namespace

}  // namespace userdb::conversion
