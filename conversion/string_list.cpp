#include "conversion/string_list.h"

#include "platform/whole_file.h"

void StringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw ListIndexError(index);
}

const std::string& StringList::Get(int index) const {
  CheckIndex(index);
  return entries_[index];
}

void StringList::Set(int index, std::string text) {
  CheckIndex(index);
  entries_[index] = std::move(text);
}

void StringList::LoadFromBytes(std::string_view bytes) {
  entries_.clear();
  bytes = bytes.substr(0, bytes.find('\0'));
  size_t position = 0;
  while (position < bytes.size()) {
    size_t line_end = bytes.find_first_of("\r\n", position);
    if (line_end == std::string_view::npos) line_end = bytes.size();
    entries_.emplace_back(bytes.substr(position, line_end - position));
    position = line_end;
    if (position < bytes.size() && bytes[position] == '\r') ++position;
    if (position < bytes.size() && bytes[position] == '\n') ++position;
  }
}

std::string StringList::SaveToBytes() const {
  size_t size = 0;
  for (const std::string& entry : entries_) size += entry.size() + 2;
  std::string bytes;
  bytes.reserve(size);
  for (const std::string& entry : entries_) {
    bytes += entry;
    bytes += "\r\n";
  }
  return bytes;
}

void StringList::LoadFromFile(const std::string& path) { LoadFromBytes(ReadWholeFile(path)); }

void StringList::SaveToFile(const std::string& path) const {
  WriteWholeFile(path, SaveToBytes());
}
