#include "settings/placement_saver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry/regedit_writer.h"
#include "platform/registry/registry_errors.h"
#include "settings/selections.h"
#include "tests/platform/registry/hive_file_fixture.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/unprivileged_child.h"

namespace userdb::settings {

void PrintTo(const WindowRectangle& r, std::ostream* out) {
  *out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

using namespace std::string_literals;
using test_support::ReadFile;

// The designed window: 520 x 378 at (286, 242), on one 1920 x 1080 monitor.
class FakeWindow : public PlacementWindow {
 public:
  WindowRectangle Bounds() const override { return bounds; }
  WindowRectangle NormalRectangle() const override { return normal; }
  void SetNormalRectangle(const WindowRectangle& rectangle) override {
    normal = rectangle;
    if (!maximized) bounds = rectangle;
    calls.push_back("SetNormalRectangle");
  }
  bool IsMaximized() const override { return maximized; }
  void Maximize() override {
    maximized = true;
    calls.push_back("Maximize");
  }
  bool IsOnAnyMonitor(int x, int y) const override {
    return x >= 0 && x < 1920 && y >= 0 && y < 1080;
  }
  void UseDesignedPosition() override { calls.push_back("UseDesignedPosition"); }

  WindowRectangle bounds{286, 242, 806, 620};
  WindowRectangle normal = bounds;
  bool maximized = false;
  std::vector<std::string> calls;
};

std::string Section(const std::string& value_lines) {
  return "[HKEY_CURRENT_USER\\Software\\ZID\\FormPosAndSize]\n" + value_lines;
}

using PlacementTest = test_support::HiveFileFixture;

struct RestoreCase {
  const char* name;
  std::string stored;  // value lines of the section, or "" for no section
  WindowRectangle normal;
  bool maximized;
};

void PrintTo(const RestoreCase& c, std::ostream* out) {
  *out << c.name;
}

class RestorePlacementTest : public test_support::HiveFileFixture,
                             public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(RestorePlacementTest, AppliesTheStoredRectangleWithItsFallbacks) {
  if (!GetParam().stored.empty()) WriteHive(Section(GetParam().stored));
  FakeWindow window;
  test_support::RecordingMessageBox box;
  PlacementSaver(store_, window, box).RestorePlacement();
  EXPECT_EQ(window.normal, GetParam().normal);
  EXPECT_EQ(window.maximized, GetParam().maximized);
  EXPECT_EQ(window.calls.front(), "SetNormalRectangle");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RestorePlacementTest,
    ::testing::Values(
        RestoreCase{"NothingStored", "", {286, 242, 806, 620}, false},
        RestoreCase{"AllStored",
                    "\"Maximized\"=\"0\"\n\"Left\"=dword:00000064\n\"Top\"=dword:00000032\n"
                    "\"Right\"=dword:000002bc\n\"Bottom\"=dword:000001f4\n\"Saved\"=\"1\"\n",
                    {100, 50, 700, 500},
                    false},
        RestoreCase{"SizeFromTheWindowWhereOnlyThePointIsStored",
                    "\"Left\"=dword:00000064\n\"Top\"=dword:00000032\n",
                    {100, 50, 620, 428},
                    false},
        RestoreCase{"IntegersStoredAsStrings",
                    "\"Left\"=\"300\"\n\"Top\"=\"-0\"\n\"Right\"=\"900\"\n\"Bottom\"=\"400\"\n",
                    {300, 0, 900, 400},
                    false},
        RestoreCase{
            "StringsThatAreNoNumbersGiveTheDefault",
            "\"Left\"=\"abc\"\n\"Top\"=\"\"\n\"Right\"=\" 900\"\n\"Bottom\"=\"99999999999\"\n",
            {286, 242, 806, 620},
            false},
        RestoreCase{"PointOnNoMonitorMovesToTheOrigin",
                    "\"Left\"=dword:00000bb8\n\"Top\"=dword:00000064\n"
                    "\"Right\"=dword:00000e10\n\"Bottom\"=dword:000001f4\n",
                    {0, 0, 600, 400},
                    false},
        RestoreCase{"PointLeftOfEveryMonitorMovesToTheOrigin",
                    "\"Left\"=dword:fffffc18\n\"Top\"=dword:00000064\n",
                    {0, 0, 520, 378},
                    false},
        RestoreCase{"MaximizedAfterTheNormalRectangle",
                    "\"Maximized\"=\"1\"\n\"Left\"=dword:00000064\n\"Top\"=dword:00000032\n",
                    {100, 50, 620, 428},
                    true},
        RestoreCase{
            "MaximizedAsInteger", "\"Maximized\"=dword:00000002\n", {286, 242, 806, 620}, true},
        RestoreCase{"NotMaximized", "\"Maximized\"=\"0\"\n", {286, 242, 806, 620}, false},
        RestoreCase{"ExtremeValuesStayInRange",
                    "\"Left\"=dword:80000000\n\"Top\"=dword:7fffffff\n\"Right\"=dword:7fffffff\n",
                    {0, 0, INT_MAX, 0},
                    false}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST_F(PlacementTest, MaximizingFollowsTheRestoredRectangle) {
  WriteHive(Section("\"Maximized\"=\"1\"\n"));
  FakeWindow window;
  test_support::RecordingMessageBox box;
  PlacementSaver(store_, window, box).RestorePlacement();
  EXPECT_EQ(window.calls, (std::vector<std::string>{"SetNormalRectangle", "Maximize"}));
}

TEST_F(PlacementTest, AValueOfAnotherTypeLeavesTheWindowAsDesigned) {
  const std::pair<std::string, std::string> cases[] = {
      {"\"Left\"=hex:01,02,03,04,05\n", "Fehler beim Holen der Daten f\xFCr 'Left'"},
      {"\"Top\"=hex:01\n", "Ung\xFCltiger Datentyp f\xFCr 'Top'"},
      {"\"Right\"=hex(2):33,30,30,00\n", "Ung\xFCltiger Datentyp f\xFCr 'Right'"},
      {"\"Bottom\"=hex(2):33,30,30,30,00\n", "Fehler beim Holen der Daten f\xFCr 'Bottom'"},
      {"\"Maximized\"=hex:01\n", "Ung\xFCltiger Datentyp f\xFCr 'Maximized'"},
  };
  for (const auto& [stored, message] : cases) {
    WriteHive(Section(stored));
    FakeWindow window;
    test_support::RecordingMessageBox box;
    try {
      PlacementSaver(store_, window, box).RestorePlacement();
      ADD_FAILURE() << "restored from " << stored;
    } catch (const registry::RegistryError& error) {
      EXPECT_EQ(error.Message(), message);
    }
    EXPECT_TRUE(window.calls.empty()) << stored;
    EXPECT_TRUE(box.Shown().empty());
  }
}

TEST_F(PlacementTest, ASavedPlacementKeepsTheWindowFromBeingPlacedBeforeItIsRestored) {
  const std::pair<std::string, bool> cases[] = {
      {"", false},
      {"\"Saved\"=\"1\"\n", true},
      {"\"Saved\"=dword:00000001\n", true},
      {"\"Saved\"=\"0\"\n", false},
      {"\"Saved\"=\"yes\"\n", false},
  };
  for (const auto& [stored, designed] : cases) {
    WriteHive(Section(stored));
    FakeWindow window;
    test_support::RecordingMessageBox box;
    PlacementSaver(store_, window, box).PrepareInitialPosition();
    EXPECT_EQ(window.calls == std::vector<std::string>{"UseDesignedPosition"}, designed) << stored;
  }
}

TEST_F(PlacementTest, TheFirstReadCreatesTheBaseKeyButNotTheSection) {
  FakeWindow window;
  test_support::RecordingMessageBox box;
  PlacementSaver(store_, window, box).PrepareInitialPosition();
  const registry::Hive stored = StoredHive();
  ASSERT_NE(stored.FindKey("Software\\ZID"), nullptr);
  EXPECT_EQ(stored.FindKey("Software\\ZID\\FormPosAndSize"), nullptr);
  EXPECT_TRUE(window.calls.empty());
}

TEST_F(PlacementTest, SavingWritesTheValuesInOrderWithTheirTypes) {
  FakeWindow window;
  window.normal = {100, 50, 700, 500};
  window.maximized = true;
  test_support::RecordingMessageBox box;
  PlacementSaver(store_, window, box).SavePlacement();

  const registry::Hive stored = StoredHive();
  const registry::RegistryKey* section = stored.FindKey("Software\\ZID\\FormPosAndSize");
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(section->Values(),
            (std::vector<registry::RegistryValue>{
                {"Maximized", registry::registry_type::kString, "1\0"s},
                {"Left", registry::registry_type::kDword, registry::DwordData(100)},
                {"Top", registry::registry_type::kDword, registry::DwordData(50)},
                {"Right", registry::registry_type::kDword, registry::DwordData(700)},
                {"Bottom", registry::registry_type::kDword, registry::DwordData(500)},
                {"Saved", registry::registry_type::kString, "1\0"s},
            }));
  EXPECT_TRUE(box.Shown().empty());

  // What was saved is restored, also the normal rectangle of a maximized window.
  FakeWindow next;
  PlacementSaver(store_, next, box).RestorePlacement();
  EXPECT_EQ(next.normal, (WindowRectangle{100, 50, 700, 500}));
  EXPECT_TRUE(next.maximized);
}

TEST_F(PlacementTest, AnIntegerStoredAsStringIsWrittenBackAsDecimalString) {
  WriteHive(Section("\"Left\"=\"300\"\n\"Top\"=hex:01\n\"Right\"=hex(2):31,00\n"));
  FakeWindow window;
  window.normal = {-20, 40, 600, 420};
  test_support::RecordingMessageBox box;
  PlacementSaver(store_, window, box).SavePlacement();

  const registry::Hive stored = StoredHive();
  const registry::RegistryKey* section = stored.FindKey("Software\\ZID\\FormPosAndSize");
  EXPECT_EQ(*section->FindValue("Left"),
            (registry::RegistryValue{"Left", registry::registry_type::kString, "-20\0"s}));
  EXPECT_EQ(
      *section->FindValue("Top"),
      (registry::RegistryValue{"Top", registry::registry_type::kDword, registry::DwordData(40)}));
  EXPECT_EQ(*section->FindValue("Right"),
            (registry::RegistryValue{"Right", registry::registry_type::kDword,
                                     registry::DwordData(600)}));
  EXPECT_EQ(*section->FindValue("Maximized"),
            (registry::RegistryValue{"Maximized", registry::registry_type::kString, "0\0"s}));
}

// The folder is made read-only; the child saves as an unprivileged user and reports
// through its exit code what the error box showed.
TEST_F(PlacementTest, ARefusedWriteIsShownInAnErrorBoxAndEndsTheSaving) {
  const std::pair<std::string, std::string> cases[] = {
      {Section("\"Saved\"=\"1\"\n"), "Fehler beim Setzen der Daten f\xFCr 'Maximized'"},
      {"[HKEY_CURRENT_USER\\Software\\ZID]\n",
       "Erzeugung von Schl\xFCssel FormPosAndSize misslungen"},
  };
  for (const auto& refusal : cases) {
    // Named copies: structured bindings cannot be captured by the lambda below in C++20.
    const std::string& sections = refusal.first;
    const std::string& message = refusal.second;
    chmod(Folder().c_str(), 0755);
    WriteHive(sections);
    const std::string before = ReadFile(HivePath());
    chmod(Folder().c_str(), 0555);
    const int result = test_support::RunInUnprivilegedChild([&] {
      std::ostringstream diagnostics;
      registry::RegistryStore store(HivePath(), diagnostics);
      FakeWindow window;
      test_support::RecordingMessageBox box;
      PlacementSaver(store, window, box).SavePlacement();
      const std::vector<test_support::ShownMessage> expected{
          {"Fehler", message, platform::MessageKind::kError}};
      return box.Shown() == expected ? 0 : 1;
    });
    EXPECT_EQ(result, 0) << message;
    EXPECT_EQ(ReadFile(HivePath()), before);
  }
}

// A disk that fills up after the first value: the values after it are not written.
TEST_F(PlacementTest, ValuesAfterAFailedWriteAreNotWritten) {
  WriteHive(Section("\"Saved\"=\"1\"\n"));
  registry::Hive after_first_value = StoredHive();
  after_first_value.CreateKey("Software\\ZID\\FormPosAndSize")
      .SetValue({"Maximized", registry::registry_type::kString, "0\0"s});
  const std::string expected = registry::FormatRegedit4(after_first_value);

  const int result = test_support::RunWithFileSizeLimit(expected.size(), [&] {
    std::ostringstream diagnostics;
    registry::RegistryStore store(HivePath(), diagnostics);
    FakeWindow window;
    test_support::RecordingMessageBox box;
    PlacementSaver(store, window, box).SavePlacement();
    const std::vector<test_support::ShownMessage> shown{
        {"Fehler", "Fehler beim Setzen der Daten f\xFCr 'Left'", platform::MessageKind::kError}};
    return box.Shown() == shown ? 0 : 1;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFile(HivePath()), expected);
}

// A first start, one Transform and closing the window leave a file a user can read.
TEST_F(PlacementTest, TheHiveFileReadsWellByEye) {
  FakeWindow window;
  test_support::RecordingMessageBox box;
  PlacementSaver saver(store_, window, box);
  saver.PrepareInitialPosition();
  class : public SelectionControls {
    void SetInitialFolder(const std::string&) override {}
    void SetPathText(const std::string&) override {}
    void SetRadioTypeSelection(int index) override { radio_type = index; }
    int RadioTypeSelection() const override { return radio_type; }
    void SetDisplayFormatSelection(int) override {}
    void SetDisplayFormatEnabled(bool) override {}
    int radio_type = 0;
  } controls;
  LoadSelections(store_, controls);
  saver.RestorePlacement();
  StoreSelections(store_, "/home/op/radio/UserDb.bin", 1, 0);
  saver.SavePlacement();

  EXPECT_EQ(ReadFile(HivePath()), ReadFile(SETTINGS_FIXTURES "/after_first_transform.reg"));
}

}  // namespace

}  // namespace userdb::settings
