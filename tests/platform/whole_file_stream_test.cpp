// A whole file written piece by piece before its name is known, and a file read piece by
// piece: the rules of the whole-file writes and reads kept, and no temporary file left.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_errors.h"
#include "platform/whole_file.h"
#include "tests/support/file_held_elsewhere.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged_child.h"

namespace userdb::platform {

namespace {

using test_support::ReadFile;
using test_support::TempFolder;
using test_support::WriteFile;

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Three megabytes in pieces of a line each, as a conversion writes them.
std::string StreamLines(WholeFileStream& stream) {
  std::string all;
  for (int i = 0; i < 60000; ++i) {
    const std::string line = std::to_string(1000000 + i) + ",CALL,Some Name,Some City|XX|YYY\r\n";
    stream.Append(line);
    all += line;
  }
  return all;
}

TEST(WholeFileStreamTest, LargeContentsEndUpWholeUnderTheirNameWithTheFilesMode) {
  TempFolder folder;
  const std::string path = folder / "out.csv";
  WriteFile(path, "earlier");
  chmod(path.c_str(), 0640);
  WholeFileStream stream(folder.Path() + "/", "out");
  const std::string written = StreamLines(stream);
  stream.Finish(path);
  EXPECT_TRUE(ReadFile(path) == written);
  struct stat status {};
  ASSERT_EQ(stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"out.csv"});
}

TEST(WholeFileStreamTest, AHardLinkedOrLinkedFileIsWrittenThroughTheLinks) {
  TempFolder folder;
  std::filesystem::create_directory(folder / "elsewhere");
  WriteFile(folder / "elsewhere/target", "old");
  ASSERT_EQ(symlink("elsewhere/target", (folder / "link").c_str()), 0);
  ASSERT_EQ(link((folder / "elsewhere/target").c_str(), (folder / "second name").c_str()), 0);
  WholeFileStream stream(folder.Path() + "/", "link");
  const std::string written = StreamLines(stream);
  stream.Finish(folder / "link");
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link"));
  EXPECT_TRUE(ReadFile(folder / "second name") == written);
  EXPECT_EQ(Entries(folder.Path()), (std::vector<std::string>{"elsewhere", "link", "second name"}));
  EXPECT_EQ(Entries(folder / "elsewhere"), std::vector<std::string>{"target"});
}

TEST(WholeFileStreamTest, SmallContentsAreWrittenAsAWholeFileIs) {
  TempFolder folder;
  WholeFileStream stream(folder.Path() + "/", "small");
  stream.Append("one\r\n");
  stream.Append("");
  stream.Append("two\r\n");
  stream.Finish(folder / "small.csv");
  EXPECT_EQ(ReadFile(folder / "small.csv"), "one\r\ntwo\r\n");
  WholeFileStream empty(folder.Path() + "/", "small");
  empty.Finish(folder / "small.csv");
  EXPECT_EQ(ReadFile(folder / "small.csv"), "");
}

TEST(WholeFileStreamTest, AFileLockedElsewhereIsRefusedAndTheTemporaryFileGoes) {
  TempFolder folder;
  const std::string path = folder / "busy.csv";
  WriteFile(path, "theirs");
  test_support::FileHeldElsewhere holder(path,
                                         test_support::FileHeldElsewhere::Hold::kExclusiveLock);
  ASSERT_TRUE(holder.Held());
  {
    WholeFileStream stream(folder.Path() + "/", "busy");
    StreamLines(stream);
    try {
      stream.Finish(path);
      FAIL() << "written";
    } catch (const FileCreateError& error) {
      EXPECT_EQ(error.Message(),
                "Datei \"" + path + "\" kann nicht erstellt werden. Device or resource busy");
    }
  }
  holder.Release();
  EXPECT_EQ(ReadFile(path), "theirs");
  EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"busy.csv"});
}

TEST(WholeFileStreamTest, AFullDiskKeepsTheEarlierFileAndLeavesNoNewOne) {
  TempFolder folder;
  WriteFile(folder / "earlier.csv", "earlier");
  const int result = test_support::RunWithFileSizeLimit(1 << 20, [&] {
    bool both_refused = true;
    for (const char* name : {"earlier.csv", "new.csv"}) {
      WholeFileStream stream(folder.Path() + "/", name);
      StreamLines(stream);
      try {
        stream.Finish(folder / name);
        both_refused = false;
      } catch (const StreamWriteError&) {
      }
    }
    return both_refused ? 0 : 1;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFile(folder / "earlier.csv"), "earlier");
  EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"earlier.csv"});
}

TEST(WholeFileStreamTest, AStreamNeverFinishedLeavesNothing) {
  TempFolder folder;
  {
    WholeFileStream stream(folder.Path() + "/", "gone");
    StreamLines(stream);
  }
  EXPECT_TRUE(Entries(folder.Path()).empty());
}

TEST(SharedFileReaderTest, ReadsPiecesAnywhereAndNothingPastTheEnd) {
  TempFolder folder;
  WriteFile(folder / "f", "0123456789");
  const SharedFileReader reader(folder / "f");
  EXPECT_EQ(reader.Size(), 10u);
  char piece[4] = {};
  EXPECT_EQ(reader.ReadAt(3, piece, 4), 4u);
  EXPECT_EQ(std::string(piece, 4), "3456");
  EXPECT_EQ(reader.ReadAt(8, piece, 4), 2u);
  EXPECT_EQ(std::string(piece, 2), "89");
  EXPECT_EQ(reader.ReadAt(10, piece, 4), 0u);
  EXPECT_EQ(reader.ReadAll(), "0123456789");
}

TEST(SharedFileReaderTest, AFileHeldOpenForWritingIsNotOpened) {
  TempFolder folder;
  const std::string path = folder / "f";
  WriteFile(path, "data");
  test_support::FileHeldElsewhere writer(path,
                                         test_support::FileHeldElsewhere::Hold::kOpenForWriting);
  ASSERT_TRUE(writer.Held());
  try {
    SharedFileReader reader(path);
    FAIL() << "opened";
  } catch (const FileOpenError& error) {
    EXPECT_EQ(error.Message(), "Datei " + path +
                                   " kann nicht ge\xF6"
                                   "ffnet werden. Device or resource busy");
  }
}

}  // namespace

}  // namespace userdb::platform
