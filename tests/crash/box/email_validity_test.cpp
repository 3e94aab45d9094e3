// The e-mail address rule, a case for every clause and its edges.
#include "crash/box/email_validity.h"

#include <gtest/gtest.h>

#include "tests/support/case_name.h"

namespace userdb::crash {

namespace {

struct EmailCase {
  std::string text;
  bool valid;
};

class EmailValidityTest : public ::testing::TestWithParam<EmailCase> {};

TEST_P(EmailValidityTest, FollowsEveryClause) {
  EXPECT_EQ(IsValidEmailAddress(GetParam().text), GetParam().valid) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EmailValidityTest,
    ::testing::Values(
        // Well-formed.
        EmailCase{"a@b.c", true}, EmailCase{"operator@example.org", true},
        EmailCase{"first.last@mail.example.org", true}, EmailCase{"dl1abc+radio@qth.de", true},
        EmailCase{"user_name-1@sub-domain.example", true}, EmailCase{"A1@B2.C3", true},
        EmailCase{"a@b..c", true},  // no clause forbids two dots in a row
        EmailCase{"_@-.+", true},
        // 1: empty, blanks and control characters at either end.
        EmailCase{"", false}, EmailCase{" a@b.c", false}, EmailCase{"a@b.c ", false},
        EmailCase{"\ta@b.c", false}, EmailCase{"a@b.c\r\n", false},
        // 2: an "@" after the first position, with a "." after it.
        EmailCase{"ab.c", false}, EmailCase{"@b.c", false}, EmailCase{"a@bc", false},
        EmailCase{"a.b@c", false}, EmailCase{"a@", false},
        // 3: no dot at the start, at the end or right after the last "@".
        EmailCase{".a@b.c", false}, EmailCase{"a@b.c.", false}, EmailCase{"a@.b.c", false},
        EmailCase{"a.@b.c", true},
        // 4: only letters, digits, "_", "+", "-", dots and one "@".
        EmailCase{"a@@b.c", false}, EmailCase{"a@b@c.d", false}, EmailCase{"a b@c.d", false},
        EmailCase{"a@b.c d", false}, EmailCase{"m\xFCller@b.de", false},
        EmailCase{"a,b@c.d", false}, EmailCase{"<a@b.c>", false}, EmailCase{"a@b.c;", false},
        EmailCase{"a!@b.c", false}, EmailCase{"@.", false}, EmailCase{"@@.", false},
        EmailCase{".@.", false}, EmailCase{"a@b.c\x7F", false}),
    [](const auto& case_info) {
      return test_support::CaseName(case_info.param.text, case_info.index);
    });

}  // namespace

}  // namespace userdb::crash
