#include "platform/registry/registry_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry/registry_access.h"
#include "platform/registry/registry_file_location.h"
#include "tests/platform/registry/hive_file_fixture.h"
#include "tests/support/file_held_elsewhere.h"
#include "tests/support/unprivileged_child.h"

namespace userdb::registry {

namespace {

using namespace std::string_literals;
using test_support::ReadFile;
using test_support::WriteFile;

const std::string kDamaged = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"Type\"=dword:12345678901\n";

size_t LineCount(const std::string& text) {
  return std::count(text.begin(), text.end(), '\n');
}

// Sets one value of key "K" through the store.
bool SetValue(RegistryStore& store, const RegistryValue& value) {
  return store.Update([&](Hive& hive) { return hive.CreateKey("K").SetValue(value); });
}

std::optional<RegistryValue> GetValue(const Hive& hive, const std::string& name) {
  const RegistryKey* key = hive.FindKey("K");
  const RegistryValue* value = key != nullptr ? key->FindValue(name) : nullptr;
  if (value == nullptr) return std::nullopt;
  return *value;
}

using RegistryStoreTest = test_support::HiveFileFixture;

TEST_F(RegistryStoreTest, WithoutAFileTheHiveIsEmptyAndNothingIsCreated) {
  EXPECT_EQ(store_.Load(), Hive());
  EXPECT_FALSE(std::filesystem::exists(folder_ / "config"));
  EXPECT_EQ(diagnostics_.str(), "");
}

TEST_F(RegistryStoreTest, AChangeCreatesTheFoldersAndReadsBack) {
  const RegistryValue value{"Type", registry_type::kDword, DwordData(1)};
  ASSERT_TRUE(SetValue(store_, value));
  EXPECT_EQ(GetValue(store_.Load(), "Type"), value);
  EXPECT_EQ(ReadFile(HivePath()), "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"Type\"=dword:00000001\n");
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"registry.reg"});
  EXPECT_EQ(diagnostics_.str(), "");
}

TEST_F(RegistryStoreTest, AnUpdateThatChangesNothingLeavesTheFileAlone) {
  WriteHiveFile("REGEDIT4\n; my notes\n[HKEY_CURRENT_USER\\K]\n\"Type\"=dword:1\n");
  struct stat before {};
  stat(HivePath().c_str(), &before);

  EXPECT_TRUE(SetValue(store_, {"Type", registry_type::kDword, DwordData(1)}));

  struct stat after {};
  stat(HivePath().c_str(), &after);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(ReadFile(HivePath()),
            "REGEDIT4\n; my notes\n[HKEY_CURRENT_USER\\K]\n\"Type\"=dword:1\n");
}

TEST_F(RegistryStoreTest, ADamagedFileIsKeptAsBadAndReportedOnce) {
  WriteHiveFile(kDamaged);
  EXPECT_EQ(store_.Load(), Hive());
  EXPECT_EQ(store_.Load(), Hive());
  EXPECT_EQ(ReadFile(HivePath() + ".bad"), kDamaged);
  EXPECT_EQ(diagnostics_.str(),
            "Registry file " + HivePath() +
                " cannot be parsed (line 3: a dword that is not 1 to 8 hexadecimal digits); it is "
                "kept as " +
                HivePath() + ".bad and the settings start empty\n");

  // The next write starts afresh; a second damaged file does not replace the first one.
  ASSERT_TRUE(SetValue(store_, {"Type", registry_type::kDword, DwordData(2)}));
  EXPECT_EQ(GetValue(store_.Load(), "Type")->data, DwordData(2));
  WriteHiveFile("not a registry file");
  ASSERT_TRUE(SetValue(store_, {"Format", registry_type::kDword, DwordData(0)}));
  EXPECT_EQ(ReadFile(HivePath() + ".bad"), kDamaged);
  EXPECT_EQ(ReadFile(HivePath() + ".bad.1"), "not a registry file");
  EXPECT_FALSE(GetValue(store_.Load(), "Type").has_value());
  EXPECT_EQ(LineCount(diagnostics_.str()), 2u);
}

TEST_F(RegistryStoreTest, ADamagedFileThatCannotBeSetAsideIsNeverOverwritten) {
  WriteHiveFile(kDamaged);
  chmod(Folder().c_str(), 0555);
  const int result = test_support::RunInUnprivilegedChild([&] {
    std::ostringstream diagnostics;
    RegistryStore store(HivePath(), diagnostics);
    if (!(store.Load() == Hive()) || !(store.Load() == Hive())) return 1;
    if (SetValue(store, {"Type", registry_type::kDword, DwordData(1)})) return 2;
    if (diagnostics.str().find("cannot be parsed (line 3") == std::string::npos) return 3;
    if (diagnostics.str().find("cannot be saved") == std::string::npos) return 4;
    return LineCount(diagnostics.str()) == 1 ? 0 : 5;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFile(HivePath()), kDamaged);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"registry.reg"});
}

TEST_F(RegistryStoreTest, AnUnreadableFileGivesAnEmptyHiveAndIsNotOverwritten) {
  const std::string content = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"Type\"=dword:1\n";
  WriteHiveFile(content, 0200);
  const int result = test_support::RunInUnprivilegedChild([&] {
    std::ostringstream diagnostics;
    RegistryStore store(HivePath(), diagnostics);
    if (!(store.Load() == Hive())) return 1;
    if (SetValue(store, {"Type", registry_type::kDword, DwordData(2)})) return 2;
    if (diagnostics.str().find("cannot be read") == std::string::npos) return 3;
    return 0;
  });
  EXPECT_EQ(result, 0);
  chmod(HivePath().c_str(), 0644);
  EXPECT_EQ(ReadFile(HivePath()), content);
}

TEST_F(RegistryStoreTest, AFullDiskLeavesTheOldFileWhole) {
  WriteHiveFile("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"Type\"=dword:1\n");
  const std::string before = ReadFile(HivePath());
  const int result = test_support::RunWithFileSizeLimit(1000, [&] {
    std::ostringstream diagnostics;
    RegistryStore store(HivePath(), diagnostics);
    if (SetValue(store, {"Blob", registry_type::kBinary, std::string(5000, 'x')})) return 1;
    return diagnostics.str().find("cannot be written") == std::string::npos ? 2 : 0;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFile(HivePath()), before);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"registry.reg"});
}

TEST_F(RegistryStoreTest, AHiveFileLinkedInPlaceStaysALink) {
  std::filesystem::create_directories(Folder());
  std::filesystem::create_directories(folder_ / "dotfiles");
  WriteFile(folder_ / "dotfiles/registry.reg", "REGEDIT4\n");
  std::filesystem::create_symlink(folder_ / "dotfiles/registry.reg", HivePath());

  ASSERT_TRUE(SetValue(store_, {"Type", registry_type::kDword, DwordData(1)}));
  EXPECT_TRUE(std::filesystem::is_symlink(HivePath()));
  EXPECT_EQ(GetValue(ParseRegeditFile(ReadFile(folder_ / "dotfiles/registry.reg")), "Type")->data,
            DwordData(1));
}

// Anything but a regular file at the hive path, also behind a link, is neither read nor
// replaced, and never hangs the program: a named pipe, and (as root) a device.
TEST_F(RegistryStoreTest, NoRegularFileAtTheHivePathIsLeftAlone) {
  std::filesystem::create_directories(Folder());
  struct Case {
    const char* what;
    std::string target;  // what the hive path names in the end
    mode_t type;
  };
  std::vector<Case> cases = {{"a named pipe", HivePath(), S_IFIFO}};
  if (geteuid() == 0) {
    // A device of its own with the numbers of /dev/null, so that no fault here can harm
    // the machine's.
    const std::string device = folder_ / "null";
    ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    cases.push_back({"a link to a device", device, S_IFCHR});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(HivePath());
    if (c.target == HivePath()) {
      ASSERT_EQ(mkfifo(HivePath().c_str(), 0600), 0);
    } else {
      ASSERT_EQ(symlink(c.target.c_str(), HivePath().c_str()), 0);
    }
    std::ostringstream diagnostics;
    RegistryStore store(HivePath(), diagnostics);

    EXPECT_EQ(store.Load(), Hive());
    EXPECT_FALSE(SetValue(store, {"Type", registry_type::kDword, DwordData(1)}));
    EXPECT_EQ(diagnostics.str(), "Registry file " + HivePath() + " cannot be read (Datei " +
                                     HivePath() +
                                     " kann nicht ge\xC3\xB6"
                                     "ffnet werden. Not a regular file); the "
                                     "settings start empty\nRegistry file " +
                                     c.target + " cannot be opened: Not a regular file\n");
    struct stat status {};
    ASSERT_EQ(stat(HivePath().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & S_IFMT, c.type);
  }
}

TEST_F(RegistryStoreTest, AFileHeldLongerThanTheWaitIsNotChangedAndTheMessageSaysWhy) {
  WriteHive("[HKEY_CURRENT_USER\\K]\n\"Type\"=dword:00000001\n");
  const std::string before = ReadFile(HivePath());
  std::ostringstream diagnostics;
  RegistryStore store(HivePath(), diagnostics, std::chrono::milliseconds(300));
  test_support::FileHeldElsewhere holder(HivePath(),
                                         test_support::FileHeldElsewhere::Hold::kExclusiveLock);
  ASSERT_TRUE(holder.Held());

  EXPECT_FALSE(SetValue(store, {"Type", registry_type::kDword, DwordData(2)}));
  EXPECT_EQ(diagnostics.str(), "Registry file " + HivePath() +
                                   " cannot be locked: another program has held it for 300 "
                                   "milliseconds\n");
  EXPECT_EQ(ReadFile(HivePath()), before);
  holder.Release();
  EXPECT_TRUE(SetValue(store, {"Type", registry_type::kDword, DwordData(2)}));
}

// What was read is kept only while the file's identity, size and time stamps stay: an
// editor that rewrote it in place with the same size and the same modification time is
// still seen.
TEST_F(RegistryStoreTest, AChangeByAnotherProgramIsSeenAtTheNextLoad) {
  WriteHive("[HKEY_CURRENT_USER\\K]\n\"Type\"=dword:00000001\n");
  test_support::MakeOlder(HivePath(), std::chrono::seconds(60));
  struct stat loaded {};
  ASSERT_EQ(stat(HivePath().c_str(), &loaded), 0);
  const timespec times[2] = {loaded.st_atim, loaded.st_mtim};
  // The change time cannot be set back: it is trusted once it is this much in the past.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(GetValue(store_.Load(), "Type")->data, DwordData(1));
  EXPECT_EQ(GetValue(store_.Load(), "Type")->data, DwordData(1));

  WriteFile(HivePath(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"Type\"=dword:00000002\n");
  ASSERT_EQ(utimensat(AT_FDCWD, HivePath().c_str(), times, 0), 0);
  EXPECT_EQ(GetValue(store_.Load(), "Type")->data, DwordData(2));
  // A change through the store starts from what the file holds, not from what was loaded.
  WriteFile(HivePath(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"Type\"=dword:00000003\n");
  ASSERT_EQ(utimensat(AT_FDCWD, HivePath().c_str(), times, 0), 0);
  ASSERT_TRUE(SetValue(store_, {"Format", registry_type::kDword, DwordData(0)}));
  EXPECT_EQ(GetValue(StoredHive(), "Type")->data, DwordData(3));
}

TEST_F(RegistryStoreTest, AStaleTemporaryFileOfAKilledWriterIsRemovedByTheNextChange) {
  WriteHive("");
  const std::string stale = Folder() + "/.registry.reg.Xy12Ab";
  WriteFile(stale, "REGEDIT4\n");
  test_support::MakeOlder(stale, std::chrono::seconds(120));
  ASSERT_TRUE(SetValue(store_, {"Type", registry_type::kDword, DwordData(1)}));
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"registry.reg"});
}

std::string ValueName(int writer, int number) {
  return (writer == 0 ? "First " : "Second ") + std::to_string(number);
}

TEST_F(RegistryStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kWrites = 200;
  int gate[2];
  ASSERT_EQ(pipe(gate), 0);
  pid_t writers[2];
  for (int writer = 0; writer < 2; ++writer) {
    writers[writer] = fork();
    ASSERT_GE(writers[writer], 0);
    if (writers[writer] != 0) continue;
    close(gate[1]);
    char ignored;
    if (read(gate[0], &ignored, 1) != 0) _exit(3);  // wait until the gate opens
    try {
      std::ostringstream diagnostics;
      RegistryStore store(HivePath(), diagnostics);
      // A value of its own for every write: a write lost to the other process shows.
      for (int number = 1; number <= kWrites; ++number) {
        RegistryAccess registry(store);
        if (!registry.OpenOrCreateKey("\\Software\\ZID\\Race")) _exit(1);
        registry.WriteInteger(ValueName(writer, number), number);
      }
    } catch (...) {
      _exit(2);
    }
    _exit(0);
  }
  close(gate[0]);
  close(gate[1]);  // both start now
  for (const pid_t writer : writers) {
    int status = 0;
    ASSERT_EQ(waitpid(writer, &status, 0), writer);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }

  const Hive hive = ParseRegeditFile(ReadFile(HivePath()));
  const RegistryKey* key = hive.FindKey("Software\\ZID\\Race");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->Values().size(), 2u * kWrites);
  for (int writer = 0; writer < 2; ++writer) {
    for (int number = 1; number <= kWrites; ++number) {
      const RegistryValue* value = key->FindValue(ValueName(writer, number));
      ASSERT_NE(value, nullptr) << ValueName(writer, number);
      EXPECT_EQ(*value, (RegistryValue{ValueName(writer, number), registry_type::kDword,
                                       DwordData(number)}));
    }
  }
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"registry.reg"});
}

class RegistryFileLocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"XDG_CONFIG_HOME", "HOME"}) {
      const char* value = getenv(name);
      saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(RegistryFileLocationTest, ConfigFolderComesFromXdgConfigHomeOrHome) {
  setenv("HOME", "/home/op", 1);
  setenv("XDG_CONFIG_HOME", "/tmp/conf", 1);
  EXPECT_EQ(DefaultRegistryFilePath(), "/tmp/conf/userdb-transform/registry.reg");
  setenv("XDG_CONFIG_HOME", "relative/conf", 1);  // not absolute: not to be used
  EXPECT_EQ(DefaultRegistryFilePath(), "/home/op/.config/userdb-transform/registry.reg");
  setenv("XDG_CONFIG_HOME", "", 1);
  EXPECT_EQ(DefaultRegistryFilePath(), "/home/op/.config/userdb-transform/registry.reg");
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/home/op/", 1);
  EXPECT_EQ(DefaultRegistryFilePath(), "/home/op/.config/userdb-transform/registry.reg");
}

}  // namespace

}  // namespace userdb::registry
