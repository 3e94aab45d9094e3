#include "platform/registry/registry_access.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/registry/registry_errors.h"
#include "tests/platform/registry/hive_file_fixture.h"
#include "tests/support/case_name.h"
#include "tests/support/unprivileged_child.h"

namespace userdb::registry {

namespace {

using namespace std::string_literals;
using test_support::ReadFile;

using RegistryAccessTest = test_support::HiveFileFixture;

TEST_F(RegistryAccessTest, OpeningAnExistingKeyNeverCreatesOne) {
  RegistryAccess registry(store_);
  EXPECT_FALSE(registry.OpenExistingKey("\\Software\\ZID\\DefaultUserbinPath"));
  EXPECT_FALSE(registry.HasOpenKey());
  EXPECT_FALSE(std::filesystem::exists(HivePath()));
}

TEST_F(RegistryAccessTest, OpeningWithCreationMakesTheKeyAndItsParents) {
  RegistryAccess registry(store_);
  ASSERT_TRUE(registry.OpenOrCreateKey("\\Software\\ZID\\RadioType"));
  EXPECT_EQ(registry.OpenKeyPath(), "Software\\ZID\\RadioType");
  const Hive stored = StoredHive();
  EXPECT_NE(stored.FindKey("Software\\ZID"), nullptr);
  ASSERT_NE(stored.FindKey("Software\\ZID\\RadioType"), nullptr);
  EXPECT_TRUE(stored.FindKey("Software\\ZID\\RadioType")->Values().empty());
}

TEST_F(RegistryAccessTest, PathsWithoutLeadingBackslashStartAtTheOpenKey) {
  WriteHive("[HKEY_CURRENT_USER\\Software\\ZID\\FormPosAndSize]\n");
  RegistryAccess registry(store_);
  ASSERT_TRUE(registry.OpenExistingKey("Software"));
  ASSERT_TRUE(registry.OpenExistingKey("ZID"));
  EXPECT_EQ(registry.OpenKeyPath(), "Software\\ZID");
  ASSERT_TRUE(registry.OpenExistingKey("\\Software\\ZID\\FormPosAndSize"));
  EXPECT_EQ(registry.OpenKeyPath(), "Software\\ZID\\FormPosAndSize");
  // A key that does not open leaves none open, so the next path starts at the root.
  EXPECT_FALSE(registry.OpenExistingKey("Missing"));
  EXPECT_FALSE(registry.HasOpenKey());
  EXPECT_TRUE(registry.OpenExistingKey("Software"));
  EXPECT_EQ(registry.OpenKeyPath(), "Software");
}

TEST_F(RegistryAccessTest, QueryTellsTypeAndSizeAndReadingNeedsRoomForAllData) {
  WriteHive("[HKEY_CURRENT_USER\\K]\n\"Path\"=\"abc\"\n");
  RegistryAccess registry(store_);
  ASSERT_TRUE(registry.OpenExistingKey("\\K"));

  const auto info = registry.QueryValue("path");
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->type, registry_type::kString);
  EXPECT_EQ(info->size, 4u);
  EXPECT_FALSE(registry.QueryValue("Type").has_value());

  char buffer[5] = {'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(registry.ReadData("Path", std::span(buffer, 4)).size, 4u);
  EXPECT_EQ(std::string(buffer, 5), "abc\0x"s);
  try {
    registry.ReadData("Path", std::span(buffer, 3));
    ADD_FAILURE() << "a buffer too small was filled";
  } catch (const RegistryDataReadError& error) {
    EXPECT_EQ(error.Message(), "Fehler beim Holen der Daten f\xFCr 'Path'");
  }
  EXPECT_THROW(registry.ReadData("Type", buffer), RegistryDataReadError);
}

struct ReadCase {
  bool as_integer;     // read "Type" with ReadInteger, else "Path" with ReadString
  const char* stored;  // the value line, or "" for none
  const char* result;  // what is read, or the error's message
  bool fails;
};

void PrintTo(const ReadCase& c, std::ostream* out) {
  *out << "stored " << c.stored;
}

class ReadValueTest : public RegistryAccessTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadValueTest, ReadsStringsUpToTheirFirstZeroAndDwordsOfAtMostFourBytes) {
  WriteHive("[HKEY_CURRENT_USER\\K]\n"s + GetParam().stored + "\n");
  RegistryAccess registry(store_);
  ASSERT_TRUE(registry.OpenExistingKey("\\K"));
  try {
    const std::string read = GetParam().as_integer ? std::to_string(registry.ReadInteger("Type"))
                                                   : registry.ReadString("Path");
    EXPECT_EQ(read, GetParam().result);
    EXPECT_FALSE(GetParam().fails);
  } catch (const RegistryError& error) {
    EXPECT_TRUE(GetParam().fails);
    EXPECT_EQ(error.Message(), GetParam().result);
  }
}

constexpr bool kString = false;
constexpr bool kInteger = true;

INSTANTIATE_TEST_SUITE_P(
    Strings, ReadValueTest,
    ::testing::Values(
        ReadCase{kString, "", "", false}, ReadCase{kString, "\"Path\"=\"/data/\"", "/data/", false},
        ReadCase{kString, "\"Path\"=\"\"", "", false},
        ReadCase{kString, "\"Path\"=hex(1):2f,61,00,6a,75,6e,6b,00", "/a", false},
        ReadCase{kString, "\"Path\"=hex(1):61,62", "ab", false},
        ReadCase{kString, "\"Path\"=hex(2):25,48,4f,4d,45,25,00", "%HOME%", false},
        ReadCase{kString, "\"Path\"=hex:", "", false},
        ReadCase{kString, "\"Path\"=hex(4):", "", false},
        ReadCase{kString, "\"Path\"=dword:00000001", "Ung\xFCltiger Datentyp f\xFCr 'Path'", true},
        ReadCase{kString, "\"Path\"=hex:00", "Ung\xFCltiger Datentyp f\xFCr 'Path'", true},
        ReadCase{kString, "\"Path\"=hex(7):61,00,00", "Ung\xFCltiger Datentyp f\xFCr 'Path'",
                 true}),
    [](const auto& case_info) {
      return test_support::CaseName(case_info.param.stored, case_info.index);
    });

INSTANTIATE_TEST_SUITE_P(
    Integers, ReadValueTest,
    ::testing::Values(
        ReadCase{kInteger, "\"Type\"=dword:0000012c", "300", false},
        ReadCase{kInteger, "\"Type\"=dword:fffffff9", "-7", false},
        ReadCase{kInteger, "\"Type\"=hex(4):2c,01", "300", false},
        ReadCase{kInteger, "", "Fehler beim Holen der Daten f\xFCr 'Type'", true},
        ReadCase{kInteger, "\"Type\"=hex(4):01,00,00,00,00",
                 "Fehler beim Holen der Daten f\xFCr 'Type'", true},
        ReadCase{kInteger, "\"Type\"=\"12345\"", "Fehler beim Holen der Daten f\xFCr 'Type'", true},
        ReadCase{kInteger, "\"Type\"=\"1\"", "Ung\xFCltiger Datentyp f\xFCr 'Type'", true},
        ReadCase{kInteger, "\"Type\"=hex:01,00,00,00", "Ung\xFCltiger Datentyp f\xFCr 'Type'",
                 true}),
    [](const auto& case_info) {
      return test_support::CaseName(case_info.param.stored, case_info.index);
    });

TEST_F(RegistryAccessTest, WritesReplaceEarlierValuesWhateverTheirType) {
  WriteHive("[HKEY_CURRENT_USER\\K]\n\"Left\"=\"300\"\n\"Top\"=dword:00000005\n\"Keep\"=hex:01\n");
  RegistryAccess registry(store_);
  ASSERT_TRUE(registry.OpenExistingKey("\\K"));
  registry.WriteInteger("Left", -2);
  registry.WriteString("TOP", "\xE4 /x/");

  const Hive stored = StoredHive();
  const RegistryKey* key = stored.FindKey("K");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->Values(),
            (std::vector<RegistryValue>{{"Left", registry_type::kDword, "\xFE\xFF\xFF\xFF"},
                                        {"TOP", registry_type::kString, "\xE4 /x/\0"s},
                                        {"Keep", registry_type::kBinary, "\x01"}}));

  EXPECT_TRUE(registry.DeleteValue("left"));
  EXPECT_FALSE(registry.DeleteValue("Left"));
  EXPECT_EQ(StoredHive().FindKey("K")->FindValue("Left"), nullptr);
}

TEST_F(RegistryAccessTest, WritingWithoutAnOpenKeyFails) {
  RegistryAccess registry(store_);
  registry.OpenExistingKey("\\Software\\ZID\\DefaultUserbinPath");
  try {
    registry.WriteString("Path", "/data/");
    ADD_FAILURE() << "written without a key";
  } catch (const RegistryDataWriteError& error) {
    EXPECT_EQ(error.Message(), "Fehler beim Setzen der Daten f\xFCr 'Path'");
  }
  EXPECT_FALSE(std::filesystem::exists(HivePath()));
}

// A key the registry would refuse is not created: the file would not read back.
TEST_F(RegistryAccessTest, AKeyBeyondTheRegistrysLimitsIsNotCreated) {
  std::string too_deep;
  for (size_t level = 0; level <= kMaxKeyDepth; ++level) too_deep += "\\k";
  const std::string too_long = "\\Software\\" + std::string(kMaxKeyNameLength + 1, 'n');
  RegistryAccess registry(store_);
  EXPECT_FALSE(registry.OpenOrCreateKey(too_deep));
  EXPECT_FALSE(registry.OpenOrCreateKey(too_long));
  EXPECT_FALSE(registry.HasOpenKey());
  EXPECT_FALSE(std::filesystem::exists(HivePath()));
}

TEST(RegistryErrorsTest, MessagesAreTheExactWindows1252Texts) {
  const struct {
    RegistryError error;
    std::string message;
  } cases[] = {
      {RegistryDataTypeError("Path"), "Ung\xFCltiger Datentyp f\xFCr 'Path'"},
      {RegistryDataReadError("Left"), "Fehler beim Holen der Daten f\xFCr 'Left'"},
      {RegistryDataWriteError("Maximized"), "Fehler beim Setzen der Daten f\xFCr 'Maximized'"},
      {RegistryKeyCreateError("FormPosAndSize"),
       "Erzeugung von Schl\xFCssel FormPosAndSize misslungen"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.error.Message(), c.message);
}

// Run as an unprivileged user in a child: the exit code tells what went wrong.
TEST_F(RegistryAccessTest, RefusedWriteRaisesTheErrorAndLeavesTheFileWhole) {
  WriteHive("[HKEY_CURRENT_USER\\Software\\ZID\\RadioType]\n\"Type\"=dword:00000001\n");
  const std::string before = ReadFile(HivePath());
  chmod(Folder().c_str(), 0555);

  const int result = test_support::RunInUnprivilegedChild([&] {
    std::ostringstream diagnostics;
    RegistryStore store(HivePath(), diagnostics);
    RegistryAccess registry(store);
    if (registry.OpenOrCreateKey("\\Software\\ZID\\LineType")) return 1;
    if (!registry.OpenOrCreateKey("\\Software\\ZID\\RadioType")) return 2;
    try {
      registry.WriteInteger("Type", 0);
      return 3;
    } catch (const RegistryDataWriteError& error) {
      if (error.Message() != "Fehler beim Setzen der Daten f\xFCr 'Type'") return 4;
    }
    if (registry.ReadInteger("Type") != 1) return 5;
    if (diagnostics.str().find("cannot be written") == std::string::npos) return 6;
    return 0;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFile(HivePath()), before);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"registry.reg"});
}

}  // namespace

}  // namespace userdb::registry
