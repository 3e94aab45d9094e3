// One input file of a run, read piece by piece through a window of memory that the run
// reuses, so that a database of any size costs the same little memory: its form, told from
// its first line, and its lines or records, walked as often as the run needs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/csv_reader.h"
#include "conversion/input_form.h"
#include "platform/whole_file.h"

namespace userdb::conversion {

class SourceFile {
 public:
  // Opens the file, allowing other readers but no writers while the object lives, and tells
  // its form. `window` is the memory it reads through. Throws FileOpenError,
  // StreamReadError and MissingColumnError.
  SourceFile(const std::string& path, std::string& window);

  const InputLayout& Layout() const { return layout_; }

  // Calls `visit` with every line of the user-database form, in file order, as a loaded
  // file is cut: a line ends at CR, LF or CR LF; a line end at the very end adds no line; a
  // NUL ends the text. Throws StreamReadError.
  void ForEachLine(const std::function<void(std::string_view line)>& visit);
  // How many lines ForEachLine visits, counted without cutting them.
  int64_t CountLines();

  // Calls `visit` with every record after the CSV form's header line, in file order, and
  // the line it begins on; an unclosed quote makes the rest of the file the last record.
  // A NUL ends the text. Throws StreamReadError.
  using RecordVisit = std::function<void(
      CsvReader::Result result, const std::vector<std::string_view>& fields, int line_number)>;
  void ForEachRecord(const RecordVisit& visit);
  // How many records ForEachRecord visits, counted without making their fields.
  int64_t CountRecords();

 private:
  // The bytes from `offset` of the file in the window; the window keeps what it held from
  // `keep_from` on, and grows when it is full of one piece.
  void FillFrom(uint64_t offset);
  void Refill(size_t keep_from);
  std::string_view Held() const { return std::string_view(window_.data(), held_); }
  // ForEachRecord, or with `with_fields` false its count, whose visits get no fields.
  void WalkRecords(bool with_fields, const RecordVisit& visit);

  platform::SharedFileReader reader_;
  std::string& window_;
  InputLayout layout_;
  uint64_t window_offset_ = 0;  // the file's position of the window's first byte
  size_t held_ = 0;             // bytes of the file in the window
  bool at_end_ = false;         // the window holds the end of the text
};

}  // namespace userdb::conversion
