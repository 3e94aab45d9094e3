#include "settings/selections.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/registry/registry_errors.h"
#include "tests/platform/registry/hive_file_fixture.h"
#include "tests/support/case_name.h"
#include "tests/support/unprivileged_child.h"

namespace userdb::settings {

namespace {

using namespace std::string_literals;
using test_support::ReadFile;

// The controls as the window is designed: item 0 of the radio types and "compact it"
// selected, the display format group enabled. Untouched texts show as "designed".
class FakeControls : public SelectionControls {
 public:
  void SetInitialFolder(const std::string& folder) override {
    initial_folder = folder;
    calls.push_back("SetInitialFolder(" + folder + ")");
  }
  void SetPathText(const std::string& text) override { path_text = text; }
  void SetRadioTypeSelection(int index) override { radio_type = index; }
  int RadioTypeSelection() const override { return radio_type; }
  void SetDisplayFormatSelection(int index) override { display_format = index; }
  void SetDisplayFormatEnabled(bool enabled) override { display_format_enabled = enabled; }

  std::string initial_folder = "designed";
  std::string path_text = "designed";
  int radio_type = 0;
  int display_format = 1;
  bool display_format_enabled = true;
  std::vector<std::string> calls;
};

struct LoadCase {
  const char* name;
  std::string stored;  // regedit sections, or "" for no file at all
  std::string path_text;
  int radio_type;
  int display_format;
  bool display_format_enabled;
};

void PrintTo(const LoadCase& c, std::ostream* out) {
  *out << c.name;
}

std::string Key(const std::string& key, const std::string& value_line) {
  return "[HKEY_CURRENT_USER\\Software\\ZID\\" + key + "]\n" + value_line + "\n";
}

class LoadSelectionsTest : public test_support::HiveFileFixture,
                           public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadSelectionsTest, StoredSelectionsOrTheirFallbacksReachTheControls) {
  if (!GetParam().stored.empty()) WriteHive(GetParam().stored);
  FakeControls controls;
  LoadSelections(store_, controls);

  EXPECT_EQ(controls.initial_folder, GetParam().path_text);
  EXPECT_EQ(controls.path_text, GetParam().path_text);
  EXPECT_EQ(controls.radio_type, GetParam().radio_type);
  EXPECT_EQ(controls.display_format, GetParam().display_format);
  EXPECT_EQ(controls.display_format_enabled, GetParam().display_format_enabled);
  EXPECT_EQ(controls.calls.front(), "SetInitialFolder()");
  EXPECT_EQ(diagnostics_.str(), "");
}

using SelectionsTest = test_support::HiveFileFixture;

const std::string kRadio1 = Key("RadioType", "\"Type\"=dword:00000001");

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadSelectionsTest,
    ::testing::Values(
        LoadCase{"FirstStart", "", "", -1, 1, false},
        LoadCase{"AfterTransformOfMd2017FieldPerLine",
                 Key("DefaultUserbinPath", "\"Path\"=\"/data/\"") + kRadio1 +
                     Key("LineType", "\"Format\"=dword:00000000"),
                 "/data/", 1, 0, true},
        LoadCase{"Md9600KeepsItsFormatButDisablesIt",
                 Key("RadioType", "\"Type\"=dword:00000000") +
                     Key("LineType", "\"Format\"=dword:00000000"),
                 "", 0, 0, false},
        LoadCase{"TypeBeyondTheItemsKeepsTheDesignedOne",
                 Key("RadioType", "\"Type\"=dword:00000005"), "", 0, 1, false},
        LoadCase{"NegativeTypeSelectsNone", Key("RadioType", "\"Type\"=dword:fffffff9"), "", -1, 1,
                 false},
        LoadCase{"TypeAsStringSelectsNone", Key("RadioType", "\"Type\"=\"1\""), "", -1, 1, false},
        LoadCase{"TypeLongerThanFourBytesSelectsNone",
                 Key("RadioType", "\"Type\"=hex(4):01,00,00,00,00,00,00,00"), "", -1, 1, false},
        LoadCase{"FormatBeyondTheItemsIsCompact",
                 kRadio1 + Key("LineType", "\"Format\"=dword:00000002"), "", 1, 1, true},
        LoadCase{"NegativeFormatIsCompact", kRadio1 + Key("LineType", "\"Format\"=dword:ffffffff"),
                 "", 1, 1, true},
        LoadCase{"FormatAsStringIsCompact", kRadio1 + Key("LineType", "\"Format\"=\"0\""), "", 1, 1,
                 true},
        LoadCase{"PathIsCutAtItsFirstZero",
                 Key("DefaultUserbinPath", "\"Path\"=hex(1):2f,61,2f,00,6a,75,6e,6b,00"), "/a/", -1,
                 1, false},
        LoadCase{"ExpandablePathStaysUnexpanded",
                 Key("DefaultUserbinPath", "\"Path\"=hex(2):25,48,4f,4d,45,25,2f,00"), "%HOME%/",
                 -1, 1, false},
        LoadCase{"PathOfAnotherTypeWithoutDataIsEmpty", Key("DefaultUserbinPath", "\"Path\"=hex:"),
                 "", -1, 1, false},
        LoadCase{"PathValueMissing", Key("DefaultUserbinPath", ""), "", -1, 1, false}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST_F(SelectionsTest, FirstLoadCreatesTheTypeKeysEmptyButNotTheFolderKey) {
  FakeControls controls;
  LoadSelections(store_, controls);
  const registry::Hive stored = StoredHive();
  for (const char* key : {"Software\\ZID\\RadioType", "Software\\ZID\\LineType"}) {
    ASSERT_NE(stored.FindKey(key), nullptr) << key;
    EXPECT_TRUE(stored.FindKey(key)->Values().empty()) << key;
  }
  EXPECT_EQ(stored.FindKey("Software\\ZID\\DefaultUserbinPath"), nullptr);

  // Once they exist, loading writes nothing.
  struct stat before {};
  stat(HivePath().c_str(), &before);
  LoadSelections(store_, controls);
  struct stat after {};
  stat(HivePath().c_str(), &after);
  EXPECT_EQ(after.st_ino, before.st_ino);
}

TEST_F(SelectionsTest, PathOfAnotherTypeWithDataStopsTheLoading) {
  WriteHive(Key("DefaultUserbinPath", "\"Path\"=dword:00000001") + kRadio1 +
            Key("LineType", "\"Format\"=dword:00000000"));
  FakeControls controls;
  try {
    LoadSelections(store_, controls);
    ADD_FAILURE() << "loaded a path of the wrong type";
  } catch (const registry::RegistryDataTypeError& error) {
    EXPECT_EQ(error.Message(), "Ung\xFCltiger Datentyp f\xFCr 'Path'");
  }
  EXPECT_EQ(controls.initial_folder, "");
  EXPECT_EQ(controls.path_text, "designed");
  EXPECT_EQ(controls.radio_type, 0);
  EXPECT_EQ(controls.display_format, 1);
  EXPECT_TRUE(controls.display_format_enabled);
}

class StoreSelectionsTest
    : public test_support::HiveFileFixture,
      public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(StoreSelectionsTest, StoresTheFolderPartUpToTheLastSlash) {
  StoreSelections(store_, GetParam().first, 1, 0);
  const registry::Hive stored = StoredHive();
  EXPECT_EQ(*stored.FindKey("Software\\ZID\\DefaultUserbinPath")->FindValue("Path"),
            (registry::RegistryValue{"Path", registry::registry_type::kString,
                                     GetParam().second + "\0"s}));
  EXPECT_EQ(
      *stored.FindKey("Software\\ZID\\RadioType")->FindValue("Type"),
      (registry::RegistryValue{"Type", registry::registry_type::kDword, registry::DwordData(1)}));
  EXPECT_EQ(
      *stored.FindKey("Software\\ZID\\LineType")->FindValue("Format"),
      (registry::RegistryValue{"Format", registry::registry_type::kDword, registry::DwordData(0)}));
}

INSTANTIATE_TEST_SUITE_P(Cases, StoreSelectionsTest,
                         ::testing::Values(std::pair("/data/UserDb.bin", "/data/"),
                                           std::pair("UserDb.bin", ""),
                                           std::pair("/UserDb.bin", "/"),
                                           std::pair("radio/db/UserDb.bin", "radio/db/"),
                                           std::pair("/data/", "/data/"), std::pair("", ""),
                                           std::pair("C:\\data\\UserDb.bin", "")),
                         [](const auto& case_info) {
                           return test_support::CaseName(case_info.param.first, case_info.index);
                         });

TEST_F(SelectionsTest, StoredSelectionsAreLoadedAtTheNextStart) {
  StoreSelections(store_, "/home/op/radio/UserDb.bin", 1, 0);
  FakeControls controls;
  LoadSelections(store_, controls);
  EXPECT_EQ(controls.path_text, "/home/op/radio/");
  EXPECT_EQ(controls.initial_folder, "/home/op/radio/");
  EXPECT_EQ(controls.radio_type, 1);
  EXPECT_EQ(controls.display_format, 0);
  EXPECT_TRUE(controls.display_format_enabled);
}

TEST_F(SelectionsTest, RefusedStoreRaisesTheErrorForThePath) {
  WriteHive(kRadio1);
  const std::string before = ReadFile(HivePath());
  chmod(Folder().c_str(), 0555);
  const int result = test_support::RunInUnprivilegedChild([&] {
    std::ostringstream diagnostics;
    registry::RegistryStore store(HivePath(), diagnostics);
    try {
      StoreSelections(store, "/data/UserDb.bin", 0, 1);
      return 1;
    } catch (const registry::RegistryDataWriteError& error) {
      return error.Message() == "Fehler beim Setzen der Daten f\xFCr 'Path'" ? 0 : 2;
    }
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFile(HivePath()), before);
}

}  // namespace

}  // namespace userdb::settings
