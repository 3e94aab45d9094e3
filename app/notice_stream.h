// Notices that the program's layers write to a stream (the settings store says so when
// its file is damaged and set aside): passed on to another stream as they come, standard
// error in the program, and kept line by line until the window shows them in its log
// pane, where a user who started the program from a menu sees them too.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace userdb::app {

class NoticeStream : public std::ostream {
 public:
  // `forward_to` outlives this stream.
  explicit NoticeStream(std::ostream& forward_to);

  // The lines completed since the last call, oldest first, without their line ends.
  std::vector<std::string> TakeLines();

 private:
  class Buffer : public std::streambuf {
   public:
    explicit Buffer(std::ostream& forward_to) : forward_to_(forward_to) {}
    std::vector<std::string> TakeLines();

   protected:
    int_type overflow(int_type byte) override;
    std::streamsize xsputn(const char* bytes, std::streamsize count) override;
    int sync() override;

   private:
    void Record(char byte);

    std::ostream& forward_to_;
    std::string line_;
    std::vector<std::string> lines_;
  };

  Buffer buffer_;
};

}  // namespace userdb::app
