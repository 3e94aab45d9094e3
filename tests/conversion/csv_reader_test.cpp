// Records of comma-separated text as RFC 4180 writes them, and what a lenient reader makes of
// text that breaks its rules.
#include "conversion/csv_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/case_name.h"

namespace userdb::conversion {

namespace {

// A record as read: its fields and the line it began on; an unclosed quote as "unclosed".
struct Read {
  std::vector<std::string> fields;
  int line = 0;
  bool unclosed = false;

  bool operator==(const Read&) const = default;
};

void PrintTo(const Read& read, std::ostream* out) {
  *out << "line " << read.line << (read.unclosed ? " unclosed" : "") << " "
       << ::testing::PrintToString(read.fields);
}

std::vector<Read> ReadAll(std::string_view bytes) {
  CsvReader reader(bytes);
  std::vector<Read> records;
  std::vector<std::string_view> fields;
  for (;;) {
    const CsvReader::Result result = reader.Next(fields);
    if (result == CsvReader::Result::kEnd) break;
    records.push_back({std::vector<std::string>(fields.begin(), fields.end()),
                       reader.RecordLineNumber(), result == CsvReader::Result::kUnclosedQuote});
    if (result == CsvReader::Result::kUnclosedQuote) break;
  }
  EXPECT_EQ(reader.Position(), bytes.size()) << "every byte is read";
  return records;
}

struct Case {
  const char* name;
  std::string bytes;
  std::vector<Read> records;
};

class CsvReaderTest : public ::testing::TestWithParam<Case> {};

TEST_P(CsvReaderTest, ReadsTheRecords) {
  EXPECT_EQ(ReadAll(GetParam().bytes), GetParam().records);
}

// Counting passes over records without their fields: the same records, on the same lines,
// ending at the same places.
TEST_P(CsvReaderTest, SkipPassesOverTheSameRecords) {
  CsvReader reading(GetParam().bytes);
  CsvReader skipping(GetParam().bytes);
  std::vector<std::string_view> fields;
  for (;;) {
    const CsvReader::Result result = reading.Next(fields);
    ASSERT_EQ(skipping.Skip(), result);
    if (result == CsvReader::Result::kEnd) break;
    EXPECT_EQ(skipping.RecordLineNumber(), reading.RecordLineNumber());
    EXPECT_EQ(skipping.LineNumber(), reading.LineNumber());
    ASSERT_EQ(skipping.Position(), reading.Position());
    if (result == CsvReader::Result::kUnclosedQuote) break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CsvReaderTest,
    ::testing::Values(
        Case{"plain fields, every kind of line end",
             "a,b,c\r\nd,e\nf\rg",
             {{{"a", "b", "c"}, 1}, {{"d", "e"}, 2}, {{"f"}, 3}, {{"g"}, 4}}},
        Case{"quoted comma and doubled quotes",
             "1,\"Smith, John\",\"say \"\"hi\"\"\",\"\"\r\n",
             {{{"1", "Smith, John", "say \"hi\"", ""}, 1}}},
        Case{"line breaks inside quotes count as lines",
             "1,\"two\r\nlines\",x\r\n2,\"lf\nonly\"\r\n3,y\r\n",
             {{{"1", "two\r\nlines", "x"}, 1}, {{"2", "lf\nonly"}, 3}, {{"3", "y"}, 5}}},
        Case{"empty lines hold no record but count",
             "\r\n\r\na,b\r\n\n\nc\r\n",
             {{{"a", "b"}, 3}, {{"c"}, 6}}},
        Case{"commas make empty fields, also at the end",
             ",a,,\r\n,\r\n",
             {{{"", "a", "", ""}, 1}, {{"", ""}, 2}}},
        Case{"a quote inside a field is an ordinary character",
             "O\"Brien,5\" tall\r\n",
             {{{"O\"Brien", "5\" tall"}, 1}}},
        Case{"text after a closing quote stays with the field",
             "\"ab\"cd,e\r\n",
             {{{"abcd", "e"}, 1}}},
        Case{"a blank before a quote does not open a quoted field",
             "a, \"b,c\"\r\n",
             {{{"a", " \"b", "c\""}, 1}}},
        Case{"an unclosed quote takes the rest as the last record",
             "1,ok\r\n2,\"never closed,\r\n3,lost\r\n",
             {{{"1", "ok"}, 1}, {{"2"}, 2, true}}},
        Case{"a quote closed at the very end", "1,\"end\"", {{{"1", "end"}, 1}}},
        Case{"nothing at all", "", {}}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.name); });

TEST(CsvReaderResetTest, GoesOnWithTheLineNumberGiven) {
  CsvReader reader("x\r\n");
  std::vector<std::string_view> fields;
  ASSERT_EQ(reader.Next(fields), CsvReader::Result::kRecord);
  reader.Reset("\"a\"\"b\",c\r\nd", 40);
  ASSERT_EQ(reader.Next(fields), CsvReader::Result::kRecord);
  EXPECT_EQ(reader.RecordLineNumber(), 40);
  EXPECT_EQ(fields, (std::vector<std::string_view>{"a\"b", "c"}));
  EXPECT_EQ(reader.Position(), 10u);
  ASSERT_EQ(reader.Next(fields), CsvReader::Result::kRecord);
  EXPECT_EQ(reader.RecordLineNumber(), 41);
  EXPECT_EQ(reader.Next(fields), CsvReader::Result::kEnd);
}

}  // namespace

}  // namespace userdb::conversion
