#include "conversion/string_list.h"

#include <algorithm>
#include <cstring>

#include "platform/whole_file.h"

namespace {

constexpr std::string_view kCrLf = "\r\n";
// A loaded file is split in place: its line ends become one LF each, which never needs
// more room than the line end it replaces.
constexpr std::string_view kLoadedLineEnd = "\n";

// The position of the first CR or LF at or after `from`, or `size`.
size_t FindLineEnd(const char* bytes, size_t from, size_t size) {
  const void* lf = std::memchr(bytes + from, '\n', size - from);
  const size_t lf_at = lf ? static_cast<const char*>(lf) - bytes : size;
  const void* cr = std::memchr(bytes + from, '\r', lf_at - from);
  return cr ? static_cast<const char*>(cr) - bytes : lf_at;
}

}  // namespace

void StringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw ListIndexError(index);
}

size_t StringList::EndOf(int index) const {
  const size_t next = index + 1 < Count() ? starts_[index + 1] : bytes_.size();
  return next - line_end_.size();
}

std::string_view StringList::Get(int index) const {
  CheckIndex(index);
  return std::string_view(bytes_).substr(starts_[index], EndOf(index) - starts_[index]);
}

void StringList::Set(int index, std::string_view text) {
  CheckIndex(index);
  const size_t start = starts_[index];
  const size_t old_size = EndOf(index) - start;
  bytes_.replace(start, old_size, text);
  const int64_t moved = static_cast<int64_t>(text.size()) - static_cast<int64_t>(old_size);
  for (int later = index + 1; later < Count(); ++later) starts_[later] += moved;
}

void StringList::Add(std::string_view text) {
  starts_.push_back(bytes_.size());
  bytes_ += text;
  for (const char byte : line_end_) bytes_.push_back(byte);  // one or two bytes: no copy call
}

void StringList::Clear() {
  bytes_.clear();
  starts_.clear();
  line_end_ = kCrLf;
}

void StringList::Reserve(size_t entries, size_t bytes) {
  starts_.reserve(entries);
  bytes_.reserve(bytes + entries * line_end_.size());
}

void StringList::LoadFromBytes(std::string bytes) {
  const size_t size = std::min(bytes.find('\0'), bytes.size());
  starts_.clear();
  size_t read = 0;
  size_t write = 0;
  while (read < size) {
    const size_t line_end = FindLineEnd(bytes.data(), read, size);
    starts_.push_back(write);
    std::memmove(bytes.data() + write, bytes.data() + read, line_end - read);
    write += line_end - read;
    read = line_end;
    if (read < size && bytes[read] == '\r') ++read;
    if (read < size && bytes[read] == '\n') ++read;
    // Each line end took at least one byte, so the LF fits, but for a last line
    // without line end.
    if (write < bytes.size()) {
      bytes[write] = '\n';
    } else {
      bytes.push_back('\n');
    }
    ++write;
  }
  bytes.resize(write);
  bytes_ = std::move(bytes);
  line_end_ = kLoadedLineEnd;
}

std::string StringList::SaveToBytes() const {
  if (line_end_ == kCrLf) return bytes_;
  std::string saved;
  saved.reserve(bytes_.size() + starts_.size() * (kCrLf.size() - line_end_.size()));
  for (int index = 0; index < Count(); ++index) {
    saved += Get(index);
    saved += kCrLf;
  }
  return saved;
}

void StringList::LoadFromFile(const std::string& path) {
  LoadFromBytes(ReadWholeFile(path));
}

void StringList::SaveToFile(const std::string& path) const {
  if (line_end_ == kCrLf) {
    WriteWholeFile(path, bytes_);
  } else {
    WriteWholeFile(path, SaveToBytes());
  }
}
