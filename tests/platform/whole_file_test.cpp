// Whole-file reads and writes: their sharing rules, their failures, and that a failed
// write never destroys the earlier file.
#include "platform/whole_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/file_errors.h"
#include "tests/support/file_held_elsewhere.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged_child.h"

namespace userdb::platform {

namespace {

using test_support::ReadFile;
using test_support::RunInChild;
using test_support::RunInUnprivilegedChild;
using test_support::TempFolder;
using test_support::WriteFile;

// Runs `body` and returns the message of the Exception of type E it throws ("" if none).
template <typename E, typename Body>
std::string MessageOf(Body body) {
  try {
    body();
  } catch (const E& error) {
    return error.Message();
  }
  return "";
}

TEST(ReadWholeFileTest, ReadsEveryByte) {
  TempFolder folder;
  std::string bytes(100000, 'x');
  bytes[5] = '\0';
  bytes.back() = '\xFF';
  WriteFile(folder / "f", bytes);
  EXPECT_EQ(ReadWholeFile(folder / "f"), bytes);
  WriteFile(folder / "empty", "");
  EXPECT_EQ(ReadWholeFile(folder / "empty"), "");
}

TEST(ReadWholeFileTest, FailuresNameTheFullPathAndTheReason) {
  TempFolder folder;
  ASSERT_EQ(chdir(folder.Path().c_str()), 0);
  EXPECT_EQ(MessageOf<FileOpenError>([] { ReadWholeFile("sub/../none.bin"); }),
            "Datei " + folder.Path() +
                "/none.bin kann nicht ge\xF6"
                "ffnet werden. "
                "No such file or directory");
  EXPECT_EQ(MessageOf<FileOpenError>([&] { ReadWholeFile(folder.Path()); }),
            "Datei " + folder.Path() +
                " kann nicht ge\xF6"
                "ffnet werden. Is a directory");
  WriteFile(folder / "secret", "x");
  chmod((folder / "secret").c_str(), 0000);
  EXPECT_EQ(RunInUnprivilegedChild([&] {
              return MessageOf<FileOpenError>([&] { ReadWholeFile(folder / "secret"); }) ==
                             "Datei " + (folder / "secret") +
                                 " kann nicht ge\xF6"
                                 "ffnet werden. Permission denied"
                         ? 0
                         : 1;
            }),
            0);
}

TEST(ReadWholeFileTest, OtherReadersDoNotBlock) {
  TempFolder folder;
  WriteFile(folder / "f", "data");
  const int reader = open((folder / "f").c_str(), O_RDONLY);
  EXPECT_EQ(ReadWholeFile(folder / "f"), "data");
  close(reader);
}

TEST(ReadRegularFileTest, ReadsRegularFilesUpToTheLimitOnly) {
  TempFolder folder;
  WriteFile(folder / "ten", "0123456789");
  ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(ReadRegularFile(folder / "ten", 10), "0123456789");
  EXPECT_FALSE(ReadRegularFile(folder / "ten", 9));
  EXPECT_FALSE(ReadRegularFile(folder / "missing", 10));
  EXPECT_FALSE(ReadRegularFile(folder.Path(), 10));
  EXPECT_FALSE(ReadRegularFile(folder / "fifo", 10)) << "read without waiting for a writer";
}

TEST(WriteWholeFileTest, CreatesAndReplaces) {
  TempFolder folder;
  WriteWholeFile(folder / "out.csv", "first\r\n");
  EXPECT_EQ(ReadFile(folder / "out.csv"), "first\r\n");
  WriteWholeFile(folder / "out.csv", "");
  EXPECT_EQ(ReadFile(folder / "out.csv"), "");
  WriteWholeFile(folder / "out.csv", "second");
  EXPECT_EQ(ReadFile(folder / "out.csv"), "second");
  // Nothing else is left in the folder (no temporary files).
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST(WriteWholeFileTest, KeepsTheFilesModeAndWritesThroughLinks) {
  TempFolder folder;
  WriteFile(folder / "target", "old");
  chmod((folder / "target").c_str(), 0640);
  ASSERT_EQ(symlink("target", (folder / "link").c_str()), 0);
  WriteWholeFile(folder / "link", "new");
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link"));
  EXPECT_EQ(ReadFile(folder / "target"), "new");
  struct stat status {};
  stat((folder / "target").c_str(), &status);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST(WriteWholeFileTest, HardLinkedFileIsWrittenInPlace) {
  TempFolder folder;
  WriteFile(folder / "a", "old");
  ASSERT_EQ(link((folder / "a").c_str(), (folder / "b").c_str()), 0);
  WriteWholeFile(folder / "a", "new");
  EXPECT_EQ(ReadFile(folder / "b"), "new");
}

TEST(WriteWholeFileTest, RefusedCreationNamesTheFullPath) {
  TempFolder folder;
  std::filesystem::create_directory(folder / "locked");
  chmod((folder / "locked").c_str(), 0555);
  WriteFile(folder / "readonly.csv", "kept");
  chmod((folder / "readonly.csv").c_str(), 0444);
  EXPECT_EQ(
      RunInUnprivilegedChild([&] {
        const bool folder_refused = MessageOf<FileCreateError>([&] {
                                      WriteWholeFile(folder / "locked/x.csv", "x");
                                    }) == "Datei \"" + (folder / "locked/x.csv") +
                                              "\" kann nicht erstellt werden. Permission denied";
        const bool file_refused = MessageOf<FileCreateError>([&] {
                                    WriteWholeFile(folder / "readonly.csv", "x");
                                  }) == "Datei \"" + (folder / "readonly.csv") +
                                            "\" kann nicht erstellt werden. Permission denied";
        return folder_refused && file_refused ? 0 : 1;
      }),
      0);
  EXPECT_EQ(ReadFile(folder / "readonly.csv"), "kept");
}

TEST(WriteWholeFileTest, FileLockedByAnotherProcessIsNotWritten) {
  TempFolder folder;
  const std::string path = folder / "busy.csv";
  WriteFile(path, "theirs");
  test_support::FileHeldElsewhere holder(path,
                                         test_support::FileHeldElsewhere::Hold::kExclusiveLock);
  ASSERT_TRUE(holder.Held());
  EXPECT_EQ(MessageOf<FileCreateError>([&] { WriteWholeFile(path, "mine"); }),
            "Datei \"" + path + "\" kann nicht erstellt werden. Device or resource busy");
  holder.Release();
  EXPECT_EQ(ReadFile(path), "theirs");
}

TEST(WriteWholeFileTest, ShortWriteFailsAndKeepsTheEarlierFile) {
  TempFolder folder;
  const std::string path = folder / "out.csv";
  WriteFile(path, "earlier");
  const std::string big(5000, 'x');
  EXPECT_EQ(RunInChild([&] {
              return test_support::RunWithFileSizeLimit(1000, [&] {
                return MessageOf<StreamWriteError>([&] { WriteWholeFile(path, big); }) ==
                               "Stream-Schreibfehler"
                           ? 0
                           : 1;
              });
            }),
            0);
  EXPECT_EQ(ReadFile(path), "earlier");
  // A file that did not exist before is not left behind half written.
  EXPECT_EQ(test_support::RunWithFileSizeLimit(1000,
                                               [&] {
                                                 return MessageOf<StreamWriteError>([&] {
                                                          WriteWholeFile(folder / "new.csv", big);
                                                        })
                                                     .empty();
                                               }),
            0);
  EXPECT_FALSE(std::filesystem::exists(folder / "new.csv"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                          std::filesystem::directory_iterator()),
            1);
}

// Anything but a regular file is refused at once, for reading and for writing, and is
// left as it was: no hang on a named pipe nobody writes to, no endless read of a device.
TEST(WholeFileTest, WhatIsNoRegularFileIsRefusedAndLeftAlone) {
  TempFolder folder;
  ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0666), 0);
  ASSERT_EQ(symlink("pipe", (folder / "link to pipe").c_str()), 0);
  std::filesystem::create_directory(folder / "folder");
  const int socket_fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socket_path = folder / "socket";
  socket_path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  struct Case {
    std::string path;
    mode_t type;
    std::string reason;
  };
  const Case cases[] = {
      {"/dev/zero", S_IFCHR, "Not a regular file"},
      {"/dev/full", S_IFCHR, "Not a regular file"},
      {folder / "pipe", S_IFIFO, "Not a regular file"},
      {folder / "link to pipe", S_IFIFO, "Not a regular file"},
      {socket_path, S_IFSOCK, "Not a regular file"},
      {folder / "folder", S_IFDIR, "Is a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(MessageOf<FileOpenError>([&] { ReadWholeFile(c.path); }), "Datei " + c.path +
                                                                            " kann nicht ge\xF6"
                                                                            "ffnet werden. " +
                                                                            c.reason);
    EXPECT_EQ(MessageOf<FileCreateError>([&] { WriteWholeFile(c.path, "x"); }),
              "Datei \"" + c.path + "\" kann nicht erstellt werden. " + c.reason);
    struct stat status {};
    ASSERT_EQ(stat(c.path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & S_IFMT, c.type);
  }
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link to pipe"));
  close(socket_fd);
}

// Sizes and counts read from a whole file are 32-bit: a file of 2 GiB is refused before
// its size in memory is asked for.
TEST(ReadWholeFileTest, AFileOf2GiBIsRefusedBeforeAnyMemoryIsTaken) {
  TempFolder folder;
  const std::string path = folder / "huge.bin";
  const int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, off_t{1} << 31), 0);  // sparse: takes no room on the disk
  close(fd);
  EXPECT_EQ(test_support::RunWithMemoryLimit(512 << 20,
                                             [&] {
                                               return MessageOf<StreamReadError>([&] {
                                                        ReadWholeFile(path);
                                                      }) == "Stream-Lesefehler"
                                                          ? 0
                                                          : 1;
                                             }),
            0);
}

}  // namespace

}  // namespace userdb::platform
