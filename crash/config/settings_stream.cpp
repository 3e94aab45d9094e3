#include "crash/config/settings_stream.h"

#include "crash/config/settings_failures.h"
#include "platform/text_encoding.h"

namespace userdb::crash {

namespace {

// Reads the stream front to back; every read fails rather than pass the end.
class StreamCursor {
 public:
  explicit StreamCursor(std::string_view bytes) : rest_(bytes) {}

  bool Take(uint64_t length, std::string_view& out) {
    if (length > rest_.size()) return false;
    out = rest_.substr(0, length);
    rest_.remove_prefix(length);
    return true;
  }

  // A little-endian unsigned number of `size` bytes.
  bool TakeNumber(size_t size, uint32_t& out) {
    std::string_view bytes;
    if (!Take(size, bytes)) return false;
    out = 0;
    for (size_t i = size; i-- > 0;) out = (out << 8) | static_cast<uint8_t>(bytes[i]);
    return true;
  }

  // Text after its length, which takes `length_size` bytes.
  bool TakeText(size_t length_size, std::string_view& out) {
    uint32_t length = 0;
    return TakeNumber(length_size, length) && Take(length, out);
  }

 private:
  std::string_view rest_;
};

bool ReadInteger(StreamCursor& cursor, size_t size, Property& property) {
  uint32_t bits = 0;
  if (!cursor.TakeNumber(size, bits)) return false;
  const unsigned shift = 32 - 8 * static_cast<unsigned>(size);
  property.kind = PropertyKind::kInteger;
  property.integer_value = static_cast<int32_t>(bits << shift) >> shift;  // sign-extended
  return true;
}

bool ReadUtf16Text(StreamCursor& cursor, Property& property) {
  uint32_t count = 0;
  std::string_view bytes;
  if (!cursor.TakeNumber(4, count) || !cursor.Take(uint64_t{count} * 2, bytes)) return false;
  property.text_value = platform::Windows1252FromUtf16Le(bytes);
  return true;
}

bool ReadText(StreamCursor& cursor, size_t length_size, Property& property) {
  std::string_view text;
  if (!cursor.TakeText(length_size, text)) return false;
  property.text_value = text;
  return true;
}

// Reads the value of `type` into `property`; false when the stream ends inside it.
bool ReadValue(StreamCursor& cursor, uint8_t type, Property& property) {
  switch (type) {
    case kInt8Value:
      return ReadInteger(cursor, 1, property);
    case kInt16Value:
      return ReadInteger(cursor, 2, property);
    case kInt32Value:
      return ReadInteger(cursor, 4, property);
    case kShortTextValue:
      return ReadText(cursor, 1, property);
    case kLongTextValue:
      return ReadText(cursor, 4, property);
    case kUtf16TextValue:
      return ReadUtf16Text(cursor, property);
    default:  // the booleans
      property.kind = PropertyKind::kBoolean;
      property.boolean_value = type == kTrueValue;
      return true;
  }
}

bool IsKnownType(uint8_t type) {
  switch (type) {
    case kInt8Value:
    case kInt16Value:
    case kInt32Value:
    case kShortTextValue:
    case kFalseValue:
    case kTrueValue:
    case kLongTextValue:
    case kUtf16TextValue:
      return true;
    default:
      return false;
  }
}

// Reads property records up to the end mark; a failure stops the reading there.
void ReadProperties(StreamCursor& cursor, ParsedSettingsStream& parsed) {
  for (;;) {
    std::string_view name;
    uint32_t type = 0;
    if (!cursor.TakeText(1, name)) break;
    if (name.empty()) return;  // the end mark
    if (!cursor.TakeNumber(1, type)) break;
    if (!IsKnownType(static_cast<uint8_t>(type))) {
      parsed.failure_message = InvalidSettingsResource(static_cast<uint8_t>(type)).Message();
      return;
    }
    Property property;
    property.name = name;
    if (!ReadValue(cursor, static_cast<uint8_t>(type), property)) break;
    parsed.properties.Append(std::move(property));
  }
  parsed.failure_message = TruncatedSettingsResource().Message();
}

}  // namespace

std::optional<ParsedSettingsStream> ParseSettingsStream(std::string_view bytes) {
  if (!bytes.starts_with(kSettingsStreamHeader)) return std::nullopt;
  StreamCursor cursor(bytes.substr(kSettingsStreamHeader.size()));
  ParsedSettingsStream parsed;
  ReadProperties(cursor, parsed);
  return parsed;
}

}  // namespace userdb::crash
