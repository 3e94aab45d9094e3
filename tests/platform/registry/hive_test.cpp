#include "platform/registry/hive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace userdb::registry {

namespace {

std::vector<std::string> KeyPaths(const Hive& hive) {
  std::vector<std::string> paths;
  for (const RegistryKey& key : hive.Keys()) paths.push_back(key.Path());
  return paths;
}

TEST(KeyPathTest, EmptySegmentsAreDropped) {
  const struct {
    const char* path;
    const char* normal;
  } cases[] = {
      {"", ""},
      {"\\", ""},
      {"Software", "Software"},
      {"\\Software\\ZID\\RadioType", "Software\\ZID\\RadioType"},
      {"Software\\\\ZID\\", "Software\\ZID"},
      {"\\\\a\\\\\\b\\\\", "a\\b"},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizeKeyPath(c.path), c.normal) << c.path;
  EXPECT_EQ(JoinKeyPath("Software\\ZID", "FormPosAndSize"), "Software\\ZID\\FormPosAndSize");
  EXPECT_EQ(JoinKeyPath("", "\\Software\\"), "Software");
}

TEST(HiveTest, CreatingAKeyCreatesItsParentsFirst) {
  Hive hive;
  hive.CreateKey("\\Software\\ZID\\RadioType");
  hive.CreateKey("Software\\ZID\\LineType");
  hive.CreateKey("SOFTWARE\\zid");  // exists already, in other letter case
  EXPECT_EQ(KeyPaths(hive),
            (std::vector<std::string>{"", "Software", "Software\\ZID", "Software\\ZID\\RadioType",
                                      "Software\\ZID\\LineType"}));
  ASSERT_NE(hive.FindKey("software\\ZID\\radiotype"), nullptr);
  EXPECT_EQ(hive.FindKey("software\\ZID\\radiotype")->Path(), "Software\\ZID\\RadioType");
  EXPECT_EQ(hive.FindKey("Software\\ZID\\DefaultUserbinPath"), nullptr);
}

TEST(HiveTest, KeysStayInPlaceWhileMoreAreCreated) {
  Hive hive;
  RegistryKey& first = hive.CreateKey("A");
  for (int i = 0; i < 100; ++i) hive.CreateKey("B\\" + std::to_string(i));
  first.SetValue({"x", registry_type::kBinary, "1"});
  EXPECT_EQ(hive.FindKey("A")->FindValue("x")->data, "1");
}

TEST(RegistryKeyTest, SettingAValueReplacesItWhateverItsTypeAndKeepsItsPlace) {
  RegistryKey key("K");
  EXPECT_TRUE(key.SetValue({"Left", registry_type::kString, std::string("300\0", 4)}));
  EXPECT_TRUE(key.SetValue({"Top", registry_type::kDword, DwordData(5)}));
  EXPECT_FALSE(key.SetValue({"Top", registry_type::kDword, DwordData(5)}));  // no change
  EXPECT_TRUE(key.SetValue({"LEFT", registry_type::kDword, DwordData(300)}));

  ASSERT_EQ(key.Values().size(), 2u);
  EXPECT_EQ(key.Values()[0], (RegistryValue{"LEFT", registry_type::kDword, DwordData(300)}));
  EXPECT_EQ(key.Values()[1].name, "Top");
  EXPECT_EQ(key.FindValue("left"), &key.Values()[0]);

  EXPECT_TRUE(key.DeleteValue("left"));
  EXPECT_FALSE(key.DeleteValue("left"));
  EXPECT_EQ(key.FindValue("Left"), nullptr);
  ASSERT_EQ(key.Values().size(), 1u);
}

TEST(RegistryKeyTest, ValuesAfterADeletedOneAreStillFoundAndReplaced) {
  RegistryKey key("K");
  for (const char* name : {"a", "b", "c", "d"}) key.SetValue({name, registry_type::kDword, "1"});
  ASSERT_TRUE(key.DeleteValue("B"));
  EXPECT_EQ(key.FindValue("c"), &key.Values()[1]);
  EXPECT_EQ(key.FindValue("D"), &key.Values()[2]);
  EXPECT_TRUE(key.SetValue({"C", registry_type::kDword, "2"}));
  EXPECT_TRUE(key.SetValue({"b", registry_type::kDword, "3"}));
  std::vector<std::string> names;
  for (const RegistryValue& value : key.Values()) names.push_back(value.name + value.data);
  EXPECT_EQ(names, (std::vector<std::string>{"a1", "C2", "d1", "b3"}));
}

TEST(HiveTest, ACopyFindsItsOwnKeys) {
  Hive original;
  original.CreateKey("A\\B");
  Hive copy = original;
  copy.CreateKey("A\\B").SetValue({"x", registry_type::kBinary, "1"});
  EXPECT_TRUE(original.FindKey("a\\b")->Values().empty());
  EXPECT_EQ(copy.FindKey("a\\b")->Values().size(), 1u);
}

TEST(RegistryValueTest, DwordDataIsLittleEndianAndShortDataReadsWithZeroHighBytes) {
  EXPECT_EQ(DwordData(0x11223344), "\x44\x33\x22\x11");
  EXPECT_EQ(DwordData(0xFFFFFFF9), "\xF9\xFF\xFF\xFF");
  EXPECT_EQ(DwordNumber("\x44\x33\x22\x11"), 0x11223344u);
  EXPECT_EQ(DwordNumber("\x2C\x01"), 300u);
  EXPECT_EQ(DwordNumber(""), 0u);
}

}  // namespace

}  // namespace userdb::registry
