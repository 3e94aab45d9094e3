// Text helpers of the platform layer: case-insensitive comparison, display conversion,
// path rules, the user's folders and system error texts.
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/case_insensitive_1252.h"
#include "platform/display_text.h"
#include "platform/path.h"
#include "platform/system_error_text.h"
#include "platform/user_folders.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

namespace userdb::platform {

namespace {

TEST(EqualIgnoringCase1252Test, PairsLettersOnly) {
  struct Case {
    const char* left;
    const char* right;
    bool equal;
  };
  const Case cases[] = {
      {"Bayern", "bAYERN", true},
      {"\xC4\xD6\xDC", "\xE4\xF6\xFC", true},  // ÄÖÜ / äöü
      {"\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF", true},
      {"\xD7", "\xF7", false},  // × and ÷ are not a pair
      {"\xDF", "ss", false},
      {"a\xA0"
       "b",
       "A\xA0"
       "B",
       true},
      {"a b",
       "a\xA0"
       "b",
       false},
      {"abc", "abcd", false},
      {"", "", true},
      {"[", "{", false},  // differ by 0x20 but are not letters
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EqualIgnoringCase1252(c.left, c.right), c.equal) << c.left << " / " << c.right;
    // Texts that compare equal must hash alike, or a look-up by name misses them.
    if (c.equal) {
      EXPECT_EQ(HashIgnoringCase1252()(c.left), HashIgnoringCase1252()(c.right)) << c.left;
    }
  }
}

TEST(DisplayUtf8Test, KeepsUtf8AndReadsOtherBytesAsWindows1252) {
  EXPECT_EQ(DisplayUtf8("plain"), "plain");
  EXPECT_EQ(DisplayUtf8("J\xC3\xB6rg"), "J\xC3\xB6rg");  // UTF-8 stays
  EXPECT_EQ(DisplayUtf8("ge\xF6"
                        "ffnet"),
            "ge\xC3\xB6"
            "ffnet");                                                      // ö in 1252
  EXPECT_EQ(DisplayUtf8("\x80\xA0\x9F"), "\xE2\x82\xAC\xC2\xA0\xC5\xB8");  // € nbsp Ÿ
  // A path in UTF-8 inside a Windows-1252 message reads right in both parts.
  EXPECT_EQ(DisplayUtf8("/home/j\xC3\xB6rg ge\xF6"
                        "ffnet"),
            "/home/j\xC3\xB6rg ge\xC3\xB6"
            "ffnet");
  EXPECT_EQ(DisplayUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC");  // no surrogates
}

TEST(PathTest, FileNamePartFollowsTheLastSlash) {
  EXPECT_EQ(FileNamePart("/data/radio/UserDb.bin"), "UserDb.bin");
  EXPECT_EQ(FileNamePart("UserDb.bin"), "UserDb.bin");
  EXPECT_EQ(FileNamePart("/data/radio/"), "");
}

TEST(PathTest, FileNameWithoutExtensionCutsOnlyAnExtension) {
  EXPECT_EQ(FileNameWithoutExtension("/usr/bin/userdb-transform"), "userdb-transform");
  EXPECT_EQ(FileNameWithoutExtension("/opt/tool.bin"), "tool");
  EXPECT_EQ(FileNameWithoutExtension("/opt/v1.2/tool"), "tool");
  EXPECT_EQ(FileNameWithoutExtension("a.b.c"), "a.b");
  EXPECT_EQ(FileNameWithoutExtension(".hidden"), ".hidden");
}

TEST(PathTest, FolderPartEndsAtTheLastSlash) {
  EXPECT_EQ(FolderPart("/data/radio/UserDb.bin"), "/data/radio/");
  EXPECT_EQ(FolderPart("UserDb.bin"), "");
  EXPECT_EQ(FolderPart("C:UserDb.bin"), "");  // a colon is an ordinary character
  EXPECT_EQ(FolderPart("/"), "/");
  EXPECT_EQ(FolderPart("a/b/"), "a/b/");
}

TEST(PathTest, FullPathCompletesAgainstTheCurrentFolder) {
  test_support::TempFolder folder;
  ASSERT_EQ(chdir(folder.Path().c_str()), 0);
  EXPECT_EQ(FullPath("x.bin"), folder.Path() + "/x.bin");
  EXPECT_EQ(FullPath("./a/../x.bin"), folder.Path() + "/x.bin");
  EXPECT_EQ(FullPath("/abs//x.bin"), "/abs/x.bin");
}

TEST(PathTest, FileExistsForRegularFilesOnly) {
  test_support::TempFolder folder;
  test_support::WriteFile(folder / "f", "");
  ASSERT_EQ(symlink("f", (folder / "link").c_str()), 0);
  ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0600), 0);
  EXPECT_TRUE(FileExists(folder / "f"));
  EXPECT_TRUE(FileExists(folder / "link"));
  EXPECT_FALSE(FileExists(folder.Path()));
  EXPECT_FALSE(FileExists(folder / "pipe"));
  EXPECT_FALSE(FileExists("/dev/zero"));
  EXPECT_FALSE(FileExists(folder / "none"));
  EXPECT_FALSE(FileExists(""));
}

TEST(UserProgramFolderTest, FollowsTheXdgVariableOrTheHomeFolder) {
  EXPECT_EQ(UserProgramFolder("/x/config", "/home/u", ".config"), "/x/config/userdb-transform/");
  EXPECT_EQ(UserProgramFolder("/x/config/", "/home/u", ".config"), "/x/config/userdb-transform/");
  // A relative XDG value does not count.
  EXPECT_EQ(UserProgramFolder("rel", "/home/u/", ".config"), "/home/u/.config/userdb-transform/");
  EXPECT_EQ(UserProgramFolder(nullptr, "/home/u", ".local/state"),
            "/home/u/.local/state/userdb-transform/");
  // Without HOME, the password database's home folder.
  EXPECT_TRUE(UserProgramFolder("", "", ".config").ends_with("/.config/userdb-transform/"));
}

struct DesktopCase {
  const char* what;
  const char* list;      // user-dirs.dirs; null: none
  const char* made;      // the folder that exists below the home folder; null: none
  const char* expected;  // below the home folder
};

class DesktopFolderTest : public ::testing::TestWithParam<DesktopCase> {};

TEST_P(DesktopFolderTest, FollowsTheUsersFolderListOrFallsBackToHome) {
  const DesktopCase& c = GetParam();
  test_support::TempFolder home;
  std::filesystem::create_directories(home / ".config");
  if (c.list != nullptr) {
    std::string list = c.list;
    for (size_t at; (at = list.find("<home>")) != std::string::npos;) {
      list.replace(at, 6, home.Path());
    }
    test_support::WriteFile(home / ".config/user-dirs.dirs", list);
  }
  if (c.made != nullptr) std::filesystem::create_directories(home / c.made);
  EXPECT_EQ(DesktopFolder(nullptr, home.Path().c_str()), home.Path() + "/" + c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DesktopFolderTest,
    ::testing::Values(
        DesktopCase{"no list", nullptr, "Desktop", "Desktop/"},
        DesktopCase{"no list and no Desktop", nullptr, nullptr, ""},
        DesktopCase{"home relative", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", "Schreibtisch",
                    "Schreibtisch/"},
        DesktopCase{"absolute", "# a comment\nXDG_DESKTOP_DIR=\"<home>/Abs\"\n", "Abs", "Abs/"},
        DesktopCase{"escaped characters and the last line",
                    "XDG_DESKTOP_DIR=\"$HOME/Old\"\n  XDG_DESKTOP_DIR=\"$HOME/My \\\"Desk\\\"\"\n",
                    "My \"Desk\"", "My \"Desk\"/"},
        DesktopCase{"the home folder itself", "XDG_DESKTOP_DIR=\"$HOME/\"\n", nullptr, ""},
        DesktopCase{"listed folder missing", "XDG_DESKTOP_DIR=\"$HOME/Gone\"\n", "Desktop", ""},
        DesktopCase{
            "other forms ignored",
            "XDG_DESKTOP_DIR=relative\nXDG_DESKTOP_DIR=\"~/x\"\nXDG_DOWNLOAD_DIR=\"$HOME/D\"\n",
            "Desktop", "Desktop/"}),
    [](const auto& case_info) { return test_support::CaseName(case_info.param.what); });

TEST(DesktopFolderTest, ReadsTheListInTheXdgConfigFolder) {
  test_support::TempFolder home, config;
  std::filesystem::create_directories(home / "Elsewhere");
  test_support::WriteFile(config / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Elsewhere\"\n");
  EXPECT_EQ(DesktopFolder(config.Path().c_str(), home.Path().c_str()), home / "Elsewhere/");
}

TEST(SystemErrorTextTest, EndsWithoutFullStopOrBlanks) {
  EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
  EXPECT_EQ(SystemErrorText(EACCES), "Permission denied");
  const std::string unknown = SystemErrorText(123456);
  ASSERT_FALSE(unknown.empty());
  EXPECT_NE(unknown.back(), '.');
  EXPECT_NE(unknown.back(), ' ');
}

}  // namespace

}  // namespace userdb::platform
