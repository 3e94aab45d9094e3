#include "conversion/source_file.h"

#include <cstring>

#include "conversion/line_ends.h"

namespace userdb::conversion {

namespace {

// Large enough that reading costs few calls, small enough to stay in the processor's cache.
constexpr size_t kWindowSize = 1 << 20;

}  // namespace

SourceFile::SourceFile(const std::string& path, std::string& window)
    : reader_(path), window_(window) {
  if (window_.size() < kWindowSize) window_.resize(kWindowSize);
  FillFrom(0);
  layout_ = DetectInputForm(Held(), path);
}

void SourceFile::FillFrom(uint64_t offset) {
  window_offset_ = offset;
  held_ = 0;
  at_end_ = false;
  Refill(0);
}

void SourceFile::Refill(size_t keep_from) {
  std::memmove(window_.data(), window_.data() + keep_from, held_ - keep_from);
  window_offset_ += keep_from;
  held_ -= keep_from;
  if (at_end_) return;
  // A line or record as long as the whole window: it needs more room.
  if (held_ == window_.size()) window_.resize(window_.size() * 2);
  char* const free_room = window_.data() + held_;
  const size_t wanted = window_.size() - held_;
  const size_t got = reader_.ReadAt(window_offset_ + held_, free_room, wanted);
  if (const void* nul = std::memchr(free_room, '\0', got)) {
    held_ = static_cast<const char*>(nul) - window_.data();
    at_end_ = true;
  } else {
    held_ += got;
    at_end_ = got < wanted;
  }
}

void SourceFile::ForEachLine(const std::function<void(std::string_view line)>& visit) {
  FillFrom(0);
  size_t position = 0;
  for (;;) {
    const std::string_view held = Held();
    if (position == held.size() && at_end_) return;
    const size_t line_end = FindLineEnd(held, position);
    // A CR that ends the window may have its LF in the next piece.
    const bool whole =
        line_end < held.size() && (held[line_end] != '\r' || line_end + 1 < held.size());
    if (!whole && !at_end_) {
      Refill(position);
      position = 0;
      continue;
    }
    visit(held.substr(position, line_end - position));
    position = PastLineEnd(held, line_end);
  }
}

int64_t SourceFile::CountLines() {
  FillFrom(0);
  int64_t line_ends = 0;
  char last = '\n';  // as if the text began after a line end: an empty one has no line
  for (;;) {
    const std::string_view held = Held();
    // A CR that ends the window may have its LF in the next piece: it is counted there.
    size_t counted = held.size();
    if (!at_end_ && counted > 0 && held.back() == '\r') --counted;
    line_ends += static_cast<int64_t>(CountLineEnds(held.substr(0, counted)));
    if (counted > 0) last = held[counted - 1];
    if (at_end_) break;
    Refill(counted);
  }
  // A last line without a line end is a line too.
  return line_ends + (last != '\n' && last != '\r' ? 1 : 0);
}

void SourceFile::ForEachRecord(const RecordVisit& visit) {
  WalkRecords(true, visit);
}

int64_t SourceFile::CountRecords() {
  int64_t count = 0;
  WalkRecords(false,
              [&](CsvReader::Result, const std::vector<std::string_view>&, int) { ++count; });
  return count;
}

void SourceFile::WalkRecords(bool with_fields, const RecordVisit& visit) {
  FillFrom(layout_.records_start);
  int line_number = layout_.records_first_line;
  size_t position = 0;
  CsvReader reader({});
  std::vector<std::string_view> fields;
  for (;;) {
    const std::string_view rest = Held().substr(position);
    reader.Reset(rest, line_number);
    const CsvReader::Result result = with_fields ? reader.Next(fields) : reader.Skip();
    // A record that reaches the end of the window may go on in the next piece.
    if (!at_end_ && reader.Position() == rest.size()) {
      Refill(position);
      position = 0;
      continue;
    }
    if (result == CsvReader::Result::kEnd) return;
    visit(result, fields, reader.RecordLineNumber());
    if (result == CsvReader::Result::kUnclosedQuote) return;
    position += reader.Position();
    line_number = reader.LineNumber();
  }
}

}  // namespace userdb::conversion
