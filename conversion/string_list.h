// An ordered list of 8-bit texts, indexed from 0, with the line rules of the user
// database on load and of the contacts file on save.
//
// The entries are kept back to back in one buffer, each followed by a line end, and
// indexed by their starts: a list of a million lines costs its bytes plus eight bytes a
// line, a loaded file is split in place, and a built list is saved without a copy.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/exception.h"

namespace userdb::conversion {

// Reading or replacing an entry outside 0 to count - 1.
class ListIndexError : public Exception {
 public:
  explicit ListIndexError(int index)
      : Exception("List index out of bounds (" + std::to_string(index) + ")") {}
};

class StringList {
 public:
  int Count() const { return static_cast<int>(bounds_.size() - 1); }
  // The bytes the entries take, with one line end each.
  size_t ByteCount() const { return bytes_.size(); }

  // The entry's text; valid until the list next changes. Throws ListIndexError.
  std::string_view Get(int index) const {
    CheckIndex(index);
    return std::string_view(bytes_.data() + bounds_[index],
                            bounds_[index + 1] - bounds_[index] - line_end_.size());
  }
  // Replaces an entry; the entries after it move. Throws ListIndexError.
  void Set(int index, std::string_view text);
  void Add(std::string_view text) {
    bytes_ += text;
    for (const char byte : line_end_) bytes_ += byte;  // one or two bytes: no copy call
    bounds_.push_back(bytes_.size());
  }
  // Replaces the entries by the pieces of `text` between its `separator`s: one more entry
  // than it has separators, each possibly empty.
  void AssignPieces(std::string_view text, char separator);
  // Empties the list, keeping its memory for the next use.
  void Clear();
  // Makes room for `entries` entries of `bytes` bytes in all.
  void Reserve(size_t entries, size_t bytes);

  // Replaces the entries by the lines of `bytes`: a line ends at CR, LF or NUL; after it
  // one CR and then one LF are skipped; a NUL ends the text.
  void LoadFromBytes(std::string bytes);
  // Every entry followed by CR LF, in one block.
  std::string SaveToBytes() const;

  // Reads the whole file and loads it (throws FileOpenError, StreamReadError).
  void LoadFromFile(const std::string& path);
  // Writes SaveToBytes() as the whole file (throws FileCreateError, StreamWriteError).
  void SaveToFile(const std::string& path) const;

 private:
  void CheckIndex(int index) const {
    if (index < 0 || index >= Count()) ThrowIndexError(index);
  }
  [[noreturn]] static void ThrowIndexError(int index);

  std::string bytes_;  // every entry followed by line_end_
  // Where each entry begins in bytes_, and last where the next one would begin: entry k
  // and its line end are bytes bounds_[k] to bounds_[k + 1].
  std::vector<uint64_t> bounds_ = {0};
  std::string_view line_end_ = "\r\n";
};

}  // namespace userdb::conversion
