#include "crash/helper/helper_protocol.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>

namespace userdb::crash {

namespace {

// "<name> <count>\n" at `position`: the name, the count and the position after the line.
struct CountedLine {
  std::string name;
  size_t count = 0;
  size_t next = 0;
};

enum class LineState { kComplete, kIncomplete, kBroken };

// Longer than any name and count of the protocol. The same limit whether the line came in one
// read or in several.
constexpr size_t kMaxLineLength = 256;

LineState ReadCountedLine(const std::string& buffer, size_t position, CountedLine& line) {
  const size_t end = buffer.find('\n', position);
  if (end == std::string::npos)
    return buffer.size() - position > kMaxLineLength ? LineState::kBroken : LineState::kIncomplete;
  if (end - position > kMaxLineLength) return LineState::kBroken;
  const std::string_view text(buffer.data() + position, end - position);
  const size_t blank = text.rfind(' ');
  if (blank == std::string_view::npos || blank == 0) return LineState::kBroken;
  const auto [rest, error] =
      std::from_chars(text.data() + blank + 1, text.data() + text.size(), line.count);
  if (error != std::errc() || rest != text.data() + text.size()) return LineState::kBroken;
  line.name = std::string(text.substr(0, blank));
  line.next = end + 1;
  return LineState::kComplete;
}

}  // namespace

std::string HelperMessage::Field(std::string_view name) const {
  for (const auto& [field, value] : fields) {
    if (field == name) return value;
  }
  return {};
}

HelperMessage& HelperMessage::With(std::string name, std::string value) {
  fields.emplace_back(std::move(name), std::move(value));
  return *this;
}

std::string EncodeHelperMessage(const HelperMessage& message) {
  std::string out = message.verb + " " + std::to_string(message.fields.size()) + "\n";
  for (const auto& [name, value] : message.fields) {
    out += name + " " + std::to_string(value.size()) + "\n";
    out += value;
    out += '\n';
  }
  return out;
}

std::optional<HelperMessage> HelperMessageReader::Next() {
  if (broken_) return std::nullopt;
  CountedLine head;
  LineState state = ReadCountedLine(buffer_, 0, head);
  if (state == LineState::kComplete && head.count > 1024) state = LineState::kBroken;
  if (state != LineState::kComplete) {
    broken_ = state == LineState::kBroken;
    return std::nullopt;
  }
  HelperMessage message;
  message.verb = head.name;
  size_t position = head.next;
  for (size_t i = 0; i < head.count; ++i) {
    CountedLine field;
    state = ReadCountedLine(buffer_, position, field);
    if (state == LineState::kComplete && field.count > kMaxFieldSize) state = LineState::kBroken;
    if (state != LineState::kComplete) {
      broken_ = state == LineState::kBroken;
      return std::nullopt;
    }
    if (buffer_.size() < field.next + field.count + 1) return std::nullopt;
    if (buffer_[field.next + field.count] != '\n') {
      broken_ = true;
      return std::nullopt;
    }
    message.fields.emplace_back(field.name, buffer_.substr(field.next, field.count));
    position = field.next + field.count + 1;
  }
  buffer_.erase(0, position);
  return message;
}

bool WriteHelperMessage(int fd, const HelperMessage& message) {
  const std::string bytes = EncodeHelperMessage(message);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

}  // namespace userdb::crash
