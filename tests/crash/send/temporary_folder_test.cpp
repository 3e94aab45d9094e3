// The crash reporter's temporary folder: where it lies, created closed to others, refused
// when what is at its path could be someone else's, and removed with its contents.
#include "crash/send/temporary_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged_child.h"

namespace userdb::crash {

namespace {

using test_support::TempFolder;

struct PathCase {
  const char* what;
  const char* program;
  const char* xdg_runtime_dir;
  const char* tmpdir;
  const char* path;
};

class TemporaryFolderPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(TemporaryFolderPathTest, FollowsTheEnvironment) {
  const PathCase& c = GetParam();
  EXPECT_EQ(TemporaryFolderPath(c.program, c.xdg_runtime_dir, c.tmpdir, 1000), c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TemporaryFolderPathTest,
    ::testing::Values(PathCase{"runtime folder", "/usr/bin/userdb-transform", "/run/user/1000",
                               "/var/tmp", "/run/user/1000/userdb-transform.Quorvex"},
                      PathCase{"runtime folder with slash", "/opt/x/userdb-transform",
                               "/run/user/1000/", nullptr,
                               "/run/user/1000/userdb-transform.Quorvex"},
                      PathCase{"TMPDIR", "/usr/bin/userdb-transform", nullptr, "/var/tmp",
                               "/var/tmp/userdb-transform.Quorvex-1000"},
                      PathCase{"neither", "/usr/bin/userdb-transform", nullptr, nullptr,
                               "/tmp/userdb-transform.Quorvex-1000"},
                      PathCase{"relative values are unset", "/usr/bin/userdb-transform", "run",
                               "tmp", "/tmp/userdb-transform.Quorvex-1000"},
                      PathCase{"empty values are unset", "/usr/bin/userdb-transform", "", "",
                               "/tmp/userdb-transform.Quorvex-1000"},
                      PathCase{"TMPDIR is the root", "/usr/bin/userdb-transform", nullptr, "/",
                               "/userdb-transform.Quorvex-1000"},
                      PathCase{"extension left out", "/opt/Tool.Bin", "/run/user/1000", nullptr,
                               "/run/user/1000/Tool.Quorvex"},
                      PathCase{"last extension only", "/opt/my.tool.bin", "/run/user/1000", nullptr,
                               "/run/user/1000/my.tool.Quorvex"},
                      PathCase{"hidden file name kept", "/opt/.tool", "/run/user/1000", nullptr,
                               "/run/user/1000/.tool.Quorvex"}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.what); });

mode_t ModeOf(const std::string& path) {
  struct stat status {};
  lstat(path.c_str(), &status);
  return status.st_mode;
}

TEST(TemporaryFolderTest, IsCreatedClosedToOthersOnDemand) {
  TempFolder base;
  const std::string path = base / "userdb-transform.Quorvex";
  TemporaryFolder folder(path);
  EXPECT_EQ(ModeOf(path), 0u);  // nothing before it is asked for
  EXPECT_EQ(folder.Open(), path + "/");
  EXPECT_TRUE(S_ISDIR(ModeOf(path)));
  EXPECT_EQ(ModeOf(path) & 0777, 0700u);
  test_support::WriteFile(path + "/kept.txt", "x");
  EXPECT_EQ(folder.Open(), path + "/");  // an existing folder of this user is used as it is
  EXPECT_EQ(test_support::ReadFile(path + "/kept.txt"), "x");
}

struct RefusalCase {
  const char* what;
  void (*prepare)(const std::string& path, const std::string& elsewhere);
  const char* reason;
  bool needs_root = false;  // to give a folder to another user
};

class TemporaryFolderRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(TemporaryFolderRefusalTest, RefusesWithTheReasonAndTouchesNothing) {
  if (GetParam().needs_root && geteuid() != 0) GTEST_SKIP() << "needs root";
  TempFolder base;
  const std::string path = base / "prog.Quorvex-1000";
  const std::string elsewhere = base / "elsewhere";
  mkdir(elsewhere.c_str(), 0700);
  GetParam().prepare(path, elsewhere);
  TemporaryFolder folder(path);
  try {
    folder.Open();
    FAIL() << "the folder was taken";
  } catch (const TemporaryFolderError& error) {
    EXPECT_EQ(error.Message(), "The crash reporter's temporary folder " + path +
                                   " cannot be used: " + GetParam().reason + ".");
  }
  EXPECT_FALSE(folder.Remove());  // nothing of another's is removed either
  EXPECT_NE(ModeOf(path), 0u);
  EXPECT_TRUE(S_ISDIR(ModeOf(elsewhere)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TemporaryFolderRefusalTest,
    ::testing::Values(RefusalCase{"a link to another folder",
                                  [](const std::string& path, const std::string& elsewhere) {
                                    ASSERT_EQ(symlink(elsewhere.c_str(), path.c_str()), 0);
                                  },
                                  "it is a symbolic link"},
                      RefusalCase{"a file",
                                  [](const std::string& path, const std::string&) {
                                    test_support::WriteFile(path, "");
                                  },
                                  "it is not a folder"},
                      RefusalCase{"another user's folder",
                                  [](const std::string& path, const std::string&) {
                                    ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
                                    ASSERT_EQ(chown(path.c_str(), test_support::kUnprivilegedId,
                                                    test_support::kUnprivilegedId),
                                              0);
                                  },
                                  "it belongs to another user", true}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.what); });

TEST(TemporaryFolderTest, RefusesAFolderOthersMayWriteInto) {
  TempFolder base;
  const std::string path = base / "prog.Quorvex-1000";
  ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
  ASSERT_EQ(chmod(path.c_str(), 0777), 0);
  TemporaryFolder folder(path);
  EXPECT_THROW(folder.Open(), TemporaryFolderError);
  EXPECT_TRUE(folder.Remove());  // it is this user's: removing it is safe
}

TEST(TemporaryFolderTest, IsRemovedWithEverythingInIt) {
  TempFolder base;
  const std::string path = base / "prog.Quorvex";
  const std::string outside = base / "outside.txt";
  test_support::WriteFile(outside, "stays");
  TemporaryFolder folder(path);
  EXPECT_TRUE(folder.Remove());  // a missing folder is gone already
  const std::string inside = folder.Open();
  test_support::WriteFile(inside + "screenShot.png", "png");
  ASSERT_EQ(mkdir((inside + "send-as").c_str(), 0700), 0);
  test_support::WriteFile(inside + "send-as/screenshot.png", "png");
  ASSERT_EQ(symlink(outside.c_str(), (inside + "link").c_str()), 0);
  EXPECT_TRUE(folder.Remove());
  EXPECT_EQ(ModeOf(path), 0u);
  EXPECT_EQ(test_support::ReadFile(outside), "stays");  // a link inside is not followed
  EXPECT_EQ(folder.Open(), path + "/");                 // and it comes back on demand
}

}  // namespace

}  // namespace userdb::crash
