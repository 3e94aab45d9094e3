// An ordered list of 8-bit texts, indexed from 0, with the line rules of the user
// database on load and of the contacts file on save.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/exception.h"

// Reading or replacing an entry outside 0 to count - 1.
class ListIndexError : public Exception {
 public:
  explicit ListIndexError(int index)
      : Exception("List index out of bounds (" + std::to_string(index) + ")") {}
};

class StringList {
 public:
  int Count() const { return static_cast<int>(entries_.size()); }
  const std::string& Get(int index) const;  // throws ListIndexError
  void Set(int index, std::string text);    // throws ListIndexError
  void Add(std::string text) { entries_.push_back(std::move(text)); }
  void Clear() { entries_.clear(); }

  // Replaces the entries by the lines of `bytes`: a line ends at CR, LF or NUL; after it
  // one CR and then one LF are skipped; a NUL ends the text.
  void LoadFromBytes(std::string_view bytes);
  // Every entry followed by CR LF, in one block.
  std::string SaveToBytes() const;

  // Reads the whole file and loads it (throws FileOpenError, StreamReadError).
  void LoadFromFile(const std::string& path);
  // Writes SaveToBytes() as the whole file (throws FileCreateError, StreamWriteError).
  void SaveToFile(const std::string& path) const;

  std::vector<std::string>::const_iterator begin() const { return entries_.begin(); }
  std::vector<std::string>::const_iterator end() const { return entries_.end(); }

 private:
  void CheckIndex(int index) const;

  std::vector<std::string> entries_;
};
