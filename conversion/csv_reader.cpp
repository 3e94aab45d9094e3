#include "conversion/csv_reader.h"

#include "conversion/line_ends.h"

namespace userdb::conversion {

namespace {

constexpr char kQuote = '"';
constexpr char kComma = ',';

bool IsLineEnd(char byte) {
  return byte == '\n' || byte == '\r';
}

}  // namespace

CsvReader::CsvReader(std::string_view bytes, int first_line_number)
    : bytes_(bytes), line_number_(first_line_number) {}

void CsvReader::Reset(std::string_view bytes, int first_line_number) {
  bytes_ = bytes;
  position_ = 0;
  line_number_ = first_line_number;
  record_line_number_ = 0;
}

bool CsvReader::SkipLineEnd() {
  if (position_ >= bytes_.size() || !IsLineEnd(bytes_[position_])) return false;
  if (bytes_[position_] == '\r') ++position_;
  if (position_ < bytes_.size() && bytes_[position_] == '\n') ++position_;
  ++line_number_;
  return true;
}

std::string_view CsvReader::UnquotedField() {
  const size_t start = position_;
  while (position_ < bytes_.size()) {
    const char byte = bytes_[position_];
    if (byte == kComma || IsLineEnd(byte)) break;
    ++position_;
  }
  return bytes_.substr(start, position_ - start);
}

bool CsvReader::CopyQuotedField() {
  ++position_;  // the opening quote
  for (;;) {
    if (position_ >= bytes_.size()) return false;
    const char byte = bytes_[position_];
    if (byte == kQuote) {
      ++position_;
      if (position_ >= bytes_.size() || bytes_[position_] != kQuote) break;  // the closing quote
    } else if (IsLineEnd(byte)) {
      // The line end stays in the value as it stands in the file.
      const size_t start = position_;
      SkipLineEnd();
      copied_.append(bytes_.substr(start, position_ - start));
      continue;
    }
    copied_ += bytes_[position_];
    ++position_;
  }
  copied_.append(UnquotedField());  // whatever follows the closing quote
  return true;
}

size_t CsvReader::QuoteFreeLineEnd() const {
  const size_t line_end = FindLineEnd(bytes_, position_);
  const std::string_view line = bytes_.substr(position_, line_end - position_);
  return line.find(kQuote) == std::string_view::npos ? line_end : std::string_view::npos;
}

bool CsvReader::UnquotedLine(std::vector<std::string_view>& fields) {
  const size_t line_end = QuoteFreeLineEnd();
  if (line_end == std::string_view::npos) return false;
  const std::string_view line = bytes_.substr(position_, line_end - position_);
  size_t start = 0;
  for (size_t comma = line.find(kComma); comma != std::string_view::npos;
       comma = line.find(kComma, start)) {
    fields.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
  fields.push_back(line.substr(start));
  position_ = line_end;
  SkipLineEnd();
  return true;
}

CsvReader::Result CsvReader::Next(std::vector<std::string_view>& fields) {
  fields.clear();
  copied_.clear();
  copied_fields_.clear();
  while (SkipLineEnd()) {
  }
  if (position_ >= bytes_.size()) return Result::kEnd;
  record_line_number_ = line_number_;
  if (UnquotedLine(fields)) return Result::kRecord;
  for (;;) {
    if (position_ < bytes_.size() && bytes_[position_] == kQuote) {
      const size_t start = copied_.size();
      if (!CopyQuotedField()) return Result::kUnclosedQuote;
      copied_fields_.push_back({fields.size(), start, copied_.size() - start});
      fields.emplace_back();
    } else {
      fields.push_back(UnquotedField());
    }
    if (position_ >= bytes_.size() || bytes_[position_] != kComma) break;
    ++position_;  // a comma: another field follows, empty when nothing does
  }
  SkipLineEnd();
  for (const CopiedField& copied : copied_fields_) {
    fields[copied.field_index] = std::string_view(copied_).substr(copied.start, copied.length);
  }
  return Result::kRecord;
}

CsvReader::Result CsvReader::Skip() {
  while (SkipLineEnd()) {
  }
  if (position_ >= bytes_.size()) return Result::kEnd;
  const size_t line_end = QuoteFreeLineEnd();
  if (line_end == std::string_view::npos) return Next(skipped_fields_);
  record_line_number_ = line_number_;
  position_ = line_end;
  SkipLineEnd();
  return Result::kRecord;
}

}  // namespace userdb::conversion
