#include "platform/registry/text_conversion.h"

#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <memory>

#include "platform/exception.h"

namespace {

struct IconvCloser {
  void operator()(void* converter) const { iconv_close(static_cast<iconv_t>(converter)); }
};

// Converts with the C library's iconv. A sequence that cannot be read or written becomes
// "?" (`replacement_width` input bytes are passed over), so that one odd character does
// not cost the rest of the text.
std::string Convert(std::string_view bytes, const char* from, const char* to,
                    size_t replacement_width) {
  const iconv_t opened = iconv_open(to, from);
  if (opened == reinterpret_cast<iconv_t>(-1)) {
    throw Exception(std::string("No character conversion from ") + from + " to " + to);
  }
  const std::unique_ptr<void, IconvCloser> converter(opened);
  std::string out;
  char buffer[1024];
  char* in = const_cast<char*>(bytes.data());
  size_t in_left = bytes.size();
  while (in_left > 0) {
    char* next = buffer;
    size_t room = sizeof buffer;
    const size_t result = iconv(opened, &in, &in_left, &next, &room);
    out.append(buffer, static_cast<size_t>(next - buffer));
    if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // A sequence that cannot be read or written, or one cut off at the end.
    const size_t skipped = std::min(replacement_width, in_left);
    in += skipped;
    in_left -= skipped;
    out += '?';
  }
  return out;
}

}  // namespace

std::string Utf16LeToUtf8(std::string_view bytes) {
  return Convert(bytes, "UTF-16LE", "UTF-8", 2);
}

std::string Utf8To1252(std::string_view bytes) {
  return Convert(bytes, "UTF-8", "WINDOWS-1252//TRANSLIT", 1);
}

std::string Utf16LeTo1252(std::string_view bytes) {
  return Convert(bytes, "UTF-16LE", "WINDOWS-1252//TRANSLIT", 2);
}
