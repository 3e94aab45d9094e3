#include "conversion/string_list.h"

#include <algorithm>
#include <cstring>

#include "conversion/line_ends.h"
#include "platform/whole_file.h"

namespace userdb::conversion {

namespace {

constexpr std::string_view kCrLf = "\r\n";
// A loaded file is split in place: its line ends become one LF each, which never needs
// more room than the line end it replaces.
constexpr std::string_view kLoadedLineEnd = "\n";

}  // namespace

void StringList::ThrowIndexError(int index) {
  throw ListIndexError(index);
}

void StringList::Set(int index, std::string_view text) {
  CheckIndex(index);
  const size_t start = bounds_[index];
  const size_t old_size = bounds_[index + 1] - line_end_.size() - start;
  bytes_.replace(start, old_size, text);
  const int64_t moved = static_cast<int64_t>(text.size()) - static_cast<int64_t>(old_size);
  for (size_t later = index + 1; later < bounds_.size(); ++later) bounds_[later] += moved;
}

void StringList::AssignPieces(std::string_view text, char separator) {
  // The text itself, each separator turned into the line end of the entry before it.
  bytes_.resize(text.size() + kLoadedLineEnd.size());
  char* const begin = bytes_.data();
  char* const end = begin + text.size();
  std::memcpy(begin, text.data(), text.size());
  *end = kLoadedLineEnd[0];
  bounds_.resize(1);
  for (char* at = begin; (at = static_cast<char*>(std::memchr(at, separator, end - at))); ++at) {
    *at = kLoadedLineEnd[0];
    bounds_.push_back(at + 1 - begin);
  }
  bounds_.push_back(bytes_.size());
  line_end_ = kLoadedLineEnd;
}

void StringList::Clear() {
  bytes_.clear();
  bounds_.assign(1, 0);
  line_end_ = kCrLf;
}

void StringList::Reserve(size_t entries, size_t bytes) {
  bounds_.reserve(entries + 1);
  bytes_.reserve(bytes + entries * line_end_.size());
}

void StringList::LoadFromBytes(std::string bytes) {
  const size_t size = std::min(bytes.find('\0'), bytes.size());
  bounds_.assign(1, 0);
  size_t read = 0;
  size_t write = 0;
  const std::string_view text(bytes.data(), size);
  while (read < size) {
    const size_t line_end = FindLineEnd(text, read);
    std::memmove(bytes.data() + write, bytes.data() + read, line_end - read);
    write += line_end - read;
    read = PastLineEnd(text, line_end);
    // Each line end took at least one byte, so the LF fits, but for a last line
    // without line end.
    if (write < bytes.size()) {
      bytes[write] = '\n';
    } else {
      bytes.push_back('\n');
    }
    ++write;
    bounds_.push_back(write);
  }
  bytes.resize(write);
  bytes_ = std::move(bytes);
  line_end_ = kLoadedLineEnd;
}

std::string StringList::SaveToBytes() const {
  if (line_end_ == kCrLf) return bytes_;
  std::string saved;
  saved.reserve(bytes_.size() + Count() * (kCrLf.size() - line_end_.size()));
  for (int index = 0; index < Count(); ++index) {
    saved += Get(index);
    saved += kCrLf;
  }
  return saved;
}

void StringList::LoadFromFile(const std::string& path) {
  LoadFromBytes(platform::ReadWholeFile(path));
}

void StringList::SaveToFile(const std::string& path) const {
  if (line_end_ == kCrLf) {
    platform::WriteWholeFile(path, bytes_);
  } else {
    platform::WriteWholeFile(path, SaveToBytes());
  }
}

}  // namespace userdb::conversion
