// Records of a comma-separated file as RFC 4180 writes them: fields separated by commas,
// records by line ends (CR LF, LF or CR), a field in double quotes holding commas, quotes
// (doubled) and line ends of its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace userdb::conversion {

class CsvReader {
 public:
  enum class Result {
    kRecord,         // a record was read
    kUnclosedQuote,  // a quoted field ran to the end of the bytes: the rest is that record
    kEnd,            // no record is left
  };

  // `first_line_number` is the line number of the first byte, counting from 1.
  explicit CsvReader(std::string_view bytes, int first_line_number = 1);
  // Starts afresh on other bytes, keeping the memory for copied values.
  void Reset(std::string_view bytes, int first_line_number);

  // Reads the next record into `fields`: each field's value with its quotes removed and
  // its doubled quotes made single, as views that stay valid until the next call. Empty
  // lines hold no record and are passed over. A quote opens a quoted field only as the
  // field's first character; elsewhere it is an ordinary character, and so is whatever
  // follows a closing quote before the next comma.
  Result Next(std::vector<std::string_view>& fields);
  // Passes over the next record as Next reads it, without making its fields: a record on one
  // line without quotes is passed over at once.
  Result Skip();

  // The line on which the record read last began.
  int RecordLineNumber() const { return record_line_number_; }
  // The line of the position.
  int LineNumber() const { return line_number_; }
  // Everything before this position has been read, the last record's line end included.
  size_t Position() const { return position_; }

 private:
  // Passes over one line end at the position, counting it; false when there is none.
  bool SkipLineEnd();
  // The end of the line at the position, or npos when the line holds a quote.
  size_t QuoteFreeLineEnd() const;
  // A record on one line without quotes, the most common kind, read in one go; false for
  // any other.
  bool UnquotedLine(std::vector<std::string_view>& fields);
  std::string_view UnquotedField();
  // Copies the value of the quoted field at the position to the end of copied_; false when
  // its quote is never closed.
  bool CopyQuotedField();

  // A quoted field's value, copied: where it lies in copied_, so that the views are made
  // once the record is complete and copied_ no longer moves.
  struct CopiedField {
    size_t field_index;
    size_t start;
    size_t length;
  };

  std::string_view bytes_;
  size_t position_ = 0;
  int line_number_;
  int record_line_number_ = 0;
  std::string copied_;
  std::vector<CopiedField> copied_fields_;
  std::vector<std::string_view> skipped_fields_;  // the fields of a record Skip reads
};

}  // namespace userdb::conversion
