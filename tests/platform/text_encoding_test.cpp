#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include "platform/display_text.h"

namespace userdb::platform {

namespace {

using namespace std::string_literals;

struct Utf16Case {
  const char* what;
  std::string utf16le;
  std::string expected;
};

class Utf16Test : public ::testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16Test, Converts) {
  EXPECT_EQ(Windows1252FromUtf16Le(GetParam().utf16le), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf16Test,
    ::testing::Values(Utf16Case{"ascii", "O\0K\0"s, "OK"},
                      Utf16Case{"latin1_letters", "\xDF\0\xFC\0\xFF\0"s, "\xDF\xFC\xFF"},
                      Utf16Case{"euro_sign", "\xAC\x20"s, "\x80"},
                      Utf16Case{"s_caron", "\x60\x01"s, "\x8A"},
                      Utf16Case{"y_diaeresis_capital", "\x78\x01"s, "\x9F"},
                      Utf16Case{"unassigned_byte_kept", "\x81\0"s, "\x81"},
                      Utf16Case{"c1_control_without_byte", "\x80\0"s, "?"},
                      Utf16Case{"missing_from_code_page", "\x00\x01"s, "?"},
                      Utf16Case{"surrogate_pair_is_one_character", "\x3D\xD8\x00\xDEx\0"s, "?x"},
                      Utf16Case{"lone_high_surrogate_at_end", "a\0\x3D\xD8"s, "a?"},
                      Utf16Case{"high_surrogate_before_letter", "\x3D\xD8y\0"s, "?y"},
                      Utf16Case{"lone_low_surrogate", "\x00\xDEz\0"s, "?z"},
                      Utf16Case{"zero_character", "\0\0"s, "\0"s},
                      Utf16Case{"odd_last_byte_left_out", "a\0b"s, "a"}),
    [](const auto& case_info) { return std::string(case_info.param.what); });

struct Utf8Case {
  const char* what;
  std::string utf8;
  std::optional<std::string> expected;
};

class Utf8Test : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Test, Converts) {
  EXPECT_EQ(Windows1252FromUtf8(GetParam().utf8), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8Test,
    ::testing::Values(Utf8Case{"ascii", "Anwendung", "Anwendung"},
                      Utf8Case{"sharp_s",
                               "schlie\xC3\x9F"
                               "en",
                               "schlie\xDF"
                               "en"},
                      Utf8Case{"u_umlaut", "beigef\xC3\xBCgt", "beigef\xFCgt"},
                      Utf8Case{"euro_sign", "\xE2\x82\xAC", "\x80"}, Utf8Case{"empty", "", ""},
                      Utf8Case{"missing_from_code_page", "\xC4\x80", std::nullopt},
                      Utf8Case{"four_byte_character", "\xF0\x9F\x98\x80", std::nullopt},
                      Utf8Case{"cut_sequence", "\xC3", std::nullopt},
                      Utf8Case{"bad_continuation", "\xC3\x28", std::nullopt},
                      Utf8Case{"overlong", "\xC0\xAF", std::nullopt},
                      Utf8Case{"encoded_surrogate", "\xED\xA0\x80", std::nullopt},
                      Utf8Case{"windows_1252_byte", "\xDF", std::nullopt}),
    [](const auto& case_info) { return std::string(case_info.param.what); });

TEST(Windows1252FromUtf8, TakesEveryByteBackFromItsDisplayForm) {
  for (int value = 0; value < 256; ++value) {
    const std::string byte(1, static_cast<char>(value));
    EXPECT_EQ(Windows1252FromUtf8(DisplayUtf8(byte)), byte) << value;
  }
}

TEST(Windows1252FromCodePoint, KnowsTheCodePagesOwnLetters) {
  EXPECT_EQ(Windows1252FromCodePoint(0x20AC), '\x80');
  EXPECT_EQ(Windows1252FromCodePoint(0x2122), '\x99');
  EXPECT_EQ(Windows1252FromCodePoint(0x0152), '\x8C');
  EXPECT_EQ(Windows1252FromCodePoint(0x00A0), '\xA0');
  EXPECT_EQ(Windows1252FromCodePoint(0x0100), std::nullopt);
  EXPECT_EQ(Windows1252FromCodePoint(0x110000), std::nullopt);
}

}  // namespace

namespace {

TEST(Windows1252FromUtf8Replacing, MarksWhatCannotBeConverted) {
  EXPECT_EQ(Windows1252FromUtf8Replacing("Gr\xC3\xBC\xC3\x9F"
                                         "e"),
            "Gr\xFC\xDF"
            "e");
  EXPECT_EQ(Windows1252FromUtf8Replacing("a\xC4\x80z"), "a?z");          // not in the code page
  EXPECT_EQ(Windows1252FromUtf8Replacing("a\xF0\x9F\x98\x80z"), "a?z");  // one character
  EXPECT_EQ(Windows1252FromUtf8Replacing("a\xDFz"), "a?z");              // malformed byte
  EXPECT_EQ(Windows1252FromUtf8Replacing("\xC3"), "?");                  // cut sequence
}

TEST(Utf8FromUtf16Le, ConvertsPairsAndReplacesLoneSurrogates) {
  using namespace std::string_literals;
  EXPECT_EQ(Utf8FromUtf16Le("O\0K\0"s), "OK");
  EXPECT_EQ(Utf8FromUtf16Le("\xFC\0\xAC\x20"s), "\xC3\xBC\xE2\x82\xAC");
  EXPECT_EQ(Utf8FromUtf16Le("\x3D\xD8\x00\xDE"s), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8FromUtf16Le("\x00\xDEz\0"s), "\xEF\xBF\xBDz");
  EXPECT_EQ(Utf8FromUtf16Le("a\0b"s), "a");
}

}  // namespace

}  // namespace userdb::platform
