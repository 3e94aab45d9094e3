#include "crash/config/settings_stream.h"

#include <vector>

#include <gtest/gtest.h>

#include "crash/config/settings_stream_writer.h"
#include "tests/crash/config/property_printer.h"
#include "tests/support/case_name.h"

namespace userdb::crash {

namespace {

using namespace std::string_literals;

const std::string kInvalidTypeFive = "Internal error: Invalid settings resource ($5).";
const std::string kTruncated = "Internal error: Invalid settings resource (truncated).";

std::string StreamOf(std::string_view name, uint8_t type, std::string_view value) {
  SettingsStreamWriter writer;
  writer.AddRecord(name, type, value);
  return writer.Finish();
}

struct ValueCase {
  const char* what;
  uint8_t type;
  std::string value_bytes;
  Property expected;
};

class ValueTypeTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ValueTypeTest, ReadsTheValue) {
  const ValueCase& value = GetParam();
  const auto parsed =
      ParseSettingsStream(StreamOf(value.expected.name, value.type, value.value_bytes));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->failure_message, std::nullopt);
  EXPECT_EQ(parsed->properties.Items(), std::vector<Property>{value.expected});
}

INSTANTIATE_TEST_SUITE_P(
    Types, ValueTypeTest,
    ::testing::Values(
        ValueCase{"int8", 2, "\x85", IntegerProperty("P", -123)},
        ValueCase{"int8_max", 2, "\x7F", IntegerProperty("P", 127)},
        ValueCase{"int16", 3, "\x34\x12", IntegerProperty("P", 0x1234)},
        ValueCase{"int16_min", 3, "\x00\x80"s, IntegerProperty("P", -32768)},
        ValueCase{"int32", 4, "\x78\x56\x34\x12", IntegerProperty("P", 0x12345678)},
        ValueCase{"int32_negative", 4, "\xFF\xFF\xFF\xFF", IntegerProperty("P", -1)},
        ValueCase{"int32_min", 4, "\x00\x00\x00\x80"s, IntegerProperty("P", INT32_MIN)},
        ValueCase{"short_text", 6, "\x05Hallo", TextProperty("P", "Hallo")},
        ValueCase{"short_text_empty", 6, "\x00"s, TextProperty("P", "")},
        ValueCase{"false", 8, "", BooleanProperty("P", false)},
        ValueCase{"true", 9, "", BooleanProperty("P", true)},
        ValueCase{"long_text", 12, "\x03\0\0\0abc"s, TextProperty("P", "abc")},
        ValueCase{"long_text_1252", 12, "\x02\0\0\0\xDF\xFC"s, TextProperty("P", "\xDF\xFC")},
        ValueCase{"long_text_with_zero", 12, "\x03\0\0\0a\0b"s, TextProperty("P", "a\0b"s)},
        ValueCase{"utf16_text", 18, "\x04\0\0\0A\0\xDF\0\xAC\x20\x00\x01"s,
                  TextProperty("P", "A\xDF\x80?")},
        ValueCase{"utf16_empty", 18, "\0\0\0\0"s, TextProperty("P", "")}),
    [](const auto& case_info) { return std::string(case_info.param.what); });

TEST(ParseSettingsStream, KeepsStreamOrderAndRepeatedNames) {
  SettingsStreamWriter writer;
  writer.Add(BooleanProperty("Enabled", true));
  writer.Add(IntegerProperty("AutoRestart", 0));
  writer.Add(TextProperty("TitleBar", "%appname%"));
  writer.Add(IntegerProperty("AutoRestart", 7));
  const auto parsed = ParseSettingsStream(writer.Finish());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->properties.Items(),
            (std::vector<Property>{
                BooleanProperty("Enabled", true), IntegerProperty("AutoRestart", 0),
                TextProperty("TitleBar", "%appname%"), IntegerProperty("AutoRestart", 7)}));
  EXPECT_EQ(parsed->properties.Find("AutoRestart")->integer_value, 0);
}

TEST(ParseSettingsStream, AnEmptyListHasNoProperties) {
  const auto parsed = ParseSettingsStream(SettingsStreamWriter().Finish());
  ASSERT_TRUE(parsed);
  EXPECT_TRUE(parsed->properties.Items().empty());
  EXPECT_EQ(parsed->failure_message, std::nullopt);
}

TEST(ParseSettingsStream, IgnoresBytesAfterTheEndMark) {
  const auto parsed = ParseSettingsStream(StreamOf("P", 9, "") + "\x04more\x09");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->properties.Items(), std::vector<Property>{BooleanProperty("P", true)});
  EXPECT_EQ(parsed->failure_message, std::nullopt);
}

struct UnknownTypeCase {
  uint8_t type;
  const char* message;
};

class UnknownTypeTest : public ::testing::TestWithParam<UnknownTypeCase> {};

TEST_P(UnknownTypeTest, StopsThereKeepingWhatWasRead) {
  SettingsStreamWriter writer;
  writer.Add(BooleanProperty("Before", true));
  writer.AddRecord("Odd", GetParam().type, "\x04\0\0\0");
  writer.Add(BooleanProperty("After", true));
  const auto parsed = ParseSettingsStream(writer.Finish());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->properties.Items(), std::vector<Property>{BooleanProperty("Before", true)});
  EXPECT_EQ(parsed->failure_message, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Types, UnknownTypeTest,
    ::testing::Values(UnknownTypeCase{0, "Internal error: Invalid settings resource ($0)."},
                      UnknownTypeCase{1, "Internal error: Invalid settings resource ($1)."},
                      UnknownTypeCase{5, "Internal error: Invalid settings resource ($5)."},
                      UnknownTypeCase{7, "Internal error: Invalid settings resource ($7)."},
                      UnknownTypeCase{10, "Internal error: Invalid settings resource ($a)."},
                      UnknownTypeCase{0x13, "Internal error: Invalid settings resource ($13)."},
                      UnknownTypeCase{0xFF, "Internal error: Invalid settings resource ($ff)."}),
    [](const auto& case_info) { return "type_" + std::to_string(case_info.param.type); });

class WrongHeaderTest : public ::testing::TestWithParam<std::string> {};

TEST_P(WrongHeaderTest, LeavesTheModuleWithoutSettings) {
  EXPECT_EQ(ParseSettingsStream(GetParam() + "\x01P\x09\0\0"s), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, WrongHeaderTest,
    ::testing::Values("", "TPF1\x08TQuorvex\x07Quorvex", "tpf0\x08TQuorvex\x07Quorvex",
                      "TPF0\x07TQuorvex\x07Quorvex", "TPF0\x08TQUORVEX\x07Quorvex",
                      "TPF0\x08TQuorvex\x08Quorvex", "TPF0\x08TQuorvex\x07quorvex",
                      "TPF0\x08TBrindle\x07Quorvex", "\x08TQuorvex\x07Quorvex"),
    [](const auto& case_info) { return test_support::CaseName(case_info.param, case_info.index); });

// A stream with a record of every value type, and where each record ends.
struct EveryTypeStream {
  std::string bytes;
  std::vector<size_t> record_ends;
  std::vector<Property> properties;
};

EveryTypeStream MakeEveryTypeStream() {
  const std::vector<std::tuple<uint8_t, std::string, Property>> records = {
      {2, "\xFE", IntegerProperty("Int8", -2)},
      {3, "\x01\x01", IntegerProperty("Int16", 257)},
      {4, "\x10\0\0\0"s, IntegerProperty("Int32", 16)},
      {6, "\x02ok", TextProperty("Short", "ok")},
      {8, "", BooleanProperty("No", false)},
      {9, "", BooleanProperty("Yes", true)},
      {12, "\x03\0\0\0abc"s, TextProperty("Long", "abc")},
      {18, "\x02\0\0\0h\0i\0"s, TextProperty("Wide", "hi")},
  };
  EveryTypeStream stream;
  SettingsStreamWriter writer;
  for (const auto& [type, value, property] : records) {
    writer.AddRecord(property.name, type, value);
    stream.properties.push_back(property);
    stream.record_ends.push_back(writer.Finish().size() - 2);
  }
  stream.bytes = writer.Finish();
  return stream;
}

TEST(ParseSettingsStream, AStreamCutAnywhereKeepsEveryWholeRecordBeforeTheCut) {
  const EveryTypeStream stream = MakeEveryTypeStream();
  for (size_t length = 0; length < stream.bytes.size(); ++length) {
    SCOPED_TRACE(length);
    // A copy of exactly the cut length, so that the sanitizers see any read past it.
    const std::string cut = stream.bytes.substr(0, length);
    const auto parsed = ParseSettingsStream(cut);
    if (length < kSettingsStreamHeader.size()) {
      EXPECT_EQ(parsed, std::nullopt);
      continue;
    }
    ASSERT_TRUE(parsed);
    std::vector<Property> whole;
    for (size_t i = 0; i < stream.record_ends.size() && stream.record_ends[i] <= length; ++i) {
      whole.push_back(stream.properties[i]);
    }
    EXPECT_EQ(parsed->properties.Items(), whole);
    // Only the zero after the end mark may be missing without loss.
    const bool end_mark_read = length == stream.bytes.size() - 1;
    EXPECT_EQ(parsed->failure_message, end_mark_read ? std::nullopt : std::optional(kTruncated));
  }
}

struct HugeLengthCase {
  const char* what;
  uint8_t type;
  std::string value_bytes;
};

class HugeLengthTest : public ::testing::TestWithParam<HugeLengthCase> {};

TEST_P(HugeLengthTest, IsATruncatedStream) {
  SettingsStreamWriter writer;
  writer.Add(TextProperty("Before", "kept"));
  writer.AddRecord("Huge", GetParam().type, GetParam().value_bytes + "some bytes");
  const auto parsed = ParseSettingsStream(writer.Finish());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->properties.Items(), std::vector<Property>{TextProperty("Before", "kept")});
  EXPECT_EQ(parsed->failure_message, kTruncated);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, HugeLengthTest,
    ::testing::Values(HugeLengthCase{"long_text_max", 12, "\xFF\xFF\xFF\xFF"},
                      HugeLengthCase{"long_text_negative", 12, "\x00\x00\x00\x80"s},
                      HugeLengthCase{"long_text_just_too_long", 12, "\x0D\0\0\0"s},
                      HugeLengthCase{"utf16_max", 18, "\xFF\xFF\xFF\xFF"},
                      HugeLengthCase{"utf16_doubling_past_32_bits", 18, "\x00\x00\x00\x80"s},
                      HugeLengthCase{"short_text_max", 6, "\xFF"}),
    [](const auto& case_info) { return std::string(case_info.param.what); });

}  // namespace

}  // namespace userdb::crash
