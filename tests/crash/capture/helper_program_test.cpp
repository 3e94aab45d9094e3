// The crash helper is found beside the program first (a build tree, a copied program), then in
// the libexec folder of the program's installation.
#include "crash/capture/helper_program.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_folder.h"

namespace userdb::crash {
namespace {

using test_support::TempFolder;

TEST(HelperProgramPath, BesideTheProgramFirstThenInTheInstallationsLibexecFolder) {
  const struct {
    bool beside;
    bool installed;
    const char* found;  // "beside" or "installed"
  } cases[] = {
      {true, false, "beside"},
      {false, true, "installed"},
      {true, true, "beside"},
      {false, false, "beside"},  // where a failed start says it looked
  };
  for (const auto& c : cases) {
    TempFolder prefix;
    const std::string programs = prefix / INSTALL_BINDIR;
    const std::string libexec = prefix / INSTALL_LIBEXECDIR "/userdb-transform";
    std::filesystem::create_directories(programs);
    std::filesystem::create_directories(libexec);
    const std::string beside = programs + "/userdb-crash-helper";
    const std::string installed = libexec + "/userdb-crash-helper";
    if (c.beside) test_support::WriteFile(beside, "");
    if (c.installed) test_support::WriteFile(installed, "");
    EXPECT_EQ(std::filesystem::path(HelperProgramPathFor(programs + "/userdb-transform"))
                  .lexically_normal(),
              std::string(c.found) == "beside" ? beside : installed)
        << c.beside << c.installed;
  }
}

// A folder of that name is no helper.
TEST(HelperProgramPath, AFolderBesideTheProgramIsPassedOver) {
  TempFolder prefix;
  std::filesystem::create_directories(prefix / INSTALL_BINDIR "/userdb-crash-helper");
  const std::string installed = prefix / INSTALL_LIBEXECDIR "/userdb-transform/userdb-crash-helper";
  std::filesystem::create_directories(prefix / INSTALL_LIBEXECDIR "/userdb-transform");
  test_support::WriteFile(installed, "");
  EXPECT_EQ(std::filesystem::path(HelperProgramPathFor(prefix / INSTALL_BINDIR "/userdb2csv"))
                .lexically_normal(),
            installed);
}

}  // namespace
}  // namespace userdb::crash
