// A test fixture with a hive file in a fresh temporary folder and a store on it.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry/regedit_reader.h"
#include "platform/registry/registry_store.h"
#include "tests/platform/registry/registry_value_printer.h"
#include "tests/support/temp_folder.h"

namespace userdb::test_support {

class HiveFileFixture : public ::testing::Test {
 protected:
  std::string Folder() const { return folder_ / "config/userdb-transform"; }
  std::string HivePath() const { return Folder() + "/registry.reg"; }

  // Writes the file as it stands, readable by others.
  void WriteHiveFile(const std::string& bytes, mode_t mode = 0644) const {
    std::filesystem::create_directories(Folder());
    WriteFile(HivePath(), bytes);
    chmod(HivePath().c_str(), mode);
  }

  // Writes a regedit file of the given sections.
  void WriteHive(const std::string& sections) const { WriteHiveFile("REGEDIT4\n\n" + sections); }

  registry::Hive StoredHive() const { return registry::ParseRegeditFile(ReadFile(HivePath())); }

  // The names in the hive file's folder, sorted.
  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempFolder folder_;
  std::ostringstream diagnostics_;
  registry::RegistryStore store_{HivePath(), diagnostics_};
};

}  // namespace userdb::test_support
