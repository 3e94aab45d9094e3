#include "crash/config/property_list.h"

#include <gtest/gtest.h>

#include "tests/crash/config/property_printer.h"

namespace userdb::crash {

namespace {

PropertyList ListOf(std::initializer_list<Property> properties) {
  PropertyList list;
  for (const Property& property : properties) list.Append(property);
  return list;
}

TEST(PropertyList, FindsTheFirstOfANameWithItsLetterCase) {
  const PropertyList list =
      ListOf({IntegerProperty("AutoRestart", 1), IntegerProperty("AutoRestart", 2)});
  ASSERT_NE(list.Find("AutoRestart"), nullptr);
  EXPECT_EQ(list.Find("AutoRestart")->integer_value, 1);
  EXPECT_EQ(list.Find("autorestart"), nullptr);
  EXPECT_EQ(list.Find("AutoRestar"), nullptr);
}

struct WriteCase {
  const char* what;
  Property written;
  bool taken;
  std::vector<Property> after;
};

class PropertyWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(PropertyWriteTest, FollowsTheKindRule) {
  PropertyList list = ListOf({BooleanProperty("AutoSave", true), IntegerProperty("AutoRestart", 0),
                              TextProperty("MailAddr", "a@b.c")});
  EXPECT_EQ(list.Write(GetParam().written), GetParam().taken);
  EXPECT_EQ(list.Items(), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PropertyWriteTest,
    ::testing::Values(
        WriteCase{"same_kind_boolean",
                  BooleanProperty("AutoSave", false),
                  true,
                  {BooleanProperty("AutoSave", false), IntegerProperty("AutoRestart", 0),
                   TextProperty("MailAddr", "a@b.c")}},
        WriteCase{"same_kind_integer",
                  IntegerProperty("AutoRestart", 5),
                  true,
                  {BooleanProperty("AutoSave", true), IntegerProperty("AutoRestart", 5),
                   TextProperty("MailAddr", "a@b.c")}},
        WriteCase{"empty_text_clears",
                  TextProperty("MailAddr", ""),
                  true,
                  {BooleanProperty("AutoSave", true), IntegerProperty("AutoRestart", 0),
                   TextProperty("MailAddr", "")}},
        WriteCase{"other_kind_refused",
                  IntegerProperty("AutoSave", 1),
                  false,
                  {BooleanProperty("AutoSave", true), IntegerProperty("AutoRestart", 0),
                   TextProperty("MailAddr", "a@b.c")}},
        WriteCase{"text_to_boolean_refused",
                  TextProperty("AutoSave", "true"),
                  false,
                  {BooleanProperty("AutoSave", true), IntegerProperty("AutoRestart", 0),
                   TextProperty("MailAddr", "a@b.c")}},
        WriteCase{"missing_added_with_its_kind",
                  IntegerProperty("AutoDelay", 30),
                  true,
                  {BooleanProperty("AutoSave", true), IntegerProperty("AutoRestart", 0),
                   TextProperty("MailAddr", "a@b.c"), IntegerProperty("AutoDelay", 30)}},
        WriteCase{"other_letter_case_is_another_property",
                  BooleanProperty("autosave", false),
                  true,
                  {BooleanProperty("AutoSave", true), IntegerProperty("AutoRestart", 0),
                   TextProperty("MailAddr", "a@b.c"), BooleanProperty("autosave", false)}}),
    [](const auto& case_info) { return std::string(case_info.param.what); });

}  // namespace

}  // namespace userdb::crash
