#include "app/notice_stream.h"

#include <utility>

namespace userdb::app {

NoticeStream::NoticeStream(std::ostream& forward_to) : std::ostream(nullptr), buffer_(forward_to) {
  rdbuf(&buffer_);
}

std::vector<std::string> NoticeStream::TakeLines() {
  return buffer_.TakeLines();
}

std::vector<std::string> NoticeStream::Buffer::TakeLines() {
  return std::exchange(lines_, {});
}

NoticeStream::Buffer::int_type NoticeStream::Buffer::overflow(int_type byte) {
  if (traits_type::eq_int_type(byte, traits_type::eof())) return traits_type::not_eof(byte);
  const char text = traits_type::to_char_type(byte);
  forward_to_.put(text);
  Record(text);
  return byte;
}

std::streamsize NoticeStream::Buffer::xsputn(const char* bytes, std::streamsize count) {
  forward_to_.write(bytes, count);
  for (std::streamsize i = 0; i < count; ++i) Record(bytes[i]);
  return count;
}

int NoticeStream::Buffer::sync() {
  // Standard error may be closed or gone: the notice is still kept for the window.
  forward_to_.flush();
  return 0;
}

void NoticeStream::Buffer::Record(char byte) {
  if (byte == '\n') {
    lines_.push_back(std::exchange(line_, {}));
  } else {
    line_ += byte;
  }
}

}  // namespace userdb::app
