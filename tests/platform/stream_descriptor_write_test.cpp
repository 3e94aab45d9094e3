#include "platform/stream_descriptor_write.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

namespace userdb::platform {
namespace {

// A stream on a pipe, fully buffered, and what has come out of the pipe.
class PipeStream {
 public:
  PipeStream() {
    int ends[2];
    if (pipe(ends) != 0) return;
    read_end_ = ends[0];
    stream_ = fdopen(ends[1], "w");
    setvbuf(stream_, nullptr, _IOFBF, 4096);
  }
  ~PipeStream() {
    if (stream_ != nullptr) std::fclose(stream_);
    if (read_end_ >= 0) close(read_end_);
  }
  std::FILE* Stream() const { return stream_; }
  std::string Arrived() {
    std::fclose(stream_);
    stream_ = nullptr;
    std::string bytes;
    char buffer[256];
    for (ssize_t got; (got = read(read_end_, buffer, sizeof buffer)) > 0;)
      bytes.append(buffer, got);
    return bytes;
  }

 private:
  int read_end_ = -1;
  std::FILE* stream_ = nullptr;
};

TEST(WriteToStreamDescriptorTest, WhatTheStreamHoldsGoesOutFirst) {
  PipeStream pipe;
  std::fputs("log line\n", pipe.Stream());
  EXPECT_TRUE(WriteToStreamDescriptor(pipe.Stream(), "the report\n"));
  EXPECT_EQ(pipe.Arrived(), "log line\nthe report\n");
}

// A thread that failed in the middle of a printf keeps the stream's lock for ever: the bytes
// go out all the same, once the limit has passed.
TEST(WriteToStreamDescriptorTest, ALockThatAnotherThreadKeepsDoesNotHoldTheBytesBack) {
  PipeStream pipe;
  std::fputs("half a line", pipe.Stream());
  std::atomic<bool> held{false}, release{false};
  std::thread holder([&] {
    flockfile(pipe.Stream());
    held = true;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    funlockfile(pipe.Stream());
  });
  while (!held) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(
      WriteToStreamDescriptor(pipe.Stream(), "the report\n", std::chrono::milliseconds(50)));
  release = true;
  holder.join();
  // What the stream held came out after, when it was closed.
  EXPECT_EQ(pipe.Arrived(), "the report\nhalf a line");
}

TEST(WriteToStreamDescriptorTest, AStreamWithoutADescriptorIsWrittenThroughItsBuffer) {
  char memory[64] = {};
  std::FILE* stream = fmemopen(memory, sizeof memory, "w");
  ASSERT_NE(stream, nullptr);
  EXPECT_TRUE(WriteToStreamDescriptor(stream, "the report"));
  EXPECT_EQ(std::string(memory), "the report");
  std::fclose(stream);
}

}  // namespace
}  // namespace userdb::platform
