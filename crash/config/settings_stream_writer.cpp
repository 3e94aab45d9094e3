#include "crash/config/settings_stream_writer.h"

#include <stdexcept>

#include "crash/config/settings_stream.h"

namespace userdb::crash {

SettingsStreamWriter::SettingsStreamWriter() : bytes_(kSettingsStreamHeader) {}

void SettingsStreamWriter::Add(const Property& property) {
  switch (property.kind) {
    case PropertyKind::kText:
      AddRecord(property.name, kLongTextValue,
                LittleEndianBytes(static_cast<uint32_t>(property.text_value.size()), 4) +
                    property.text_value);
      break;
    case PropertyKind::kInteger:
      AddRecord(property.name, kInt32Value,
                LittleEndianBytes(static_cast<uint32_t>(property.integer_value), 4));
      break;
    case PropertyKind::kBoolean:
      AddRecord(property.name, property.boolean_value ? kTrueValue : kFalseValue, "");
      break;
  }
}

void SettingsStreamWriter::AddRecord(std::string_view name, uint8_t type,
                                     std::string_view value_bytes) {
  if (name.size() > 255) throw std::length_error("property name longer than 255 bytes");
  bytes_ += static_cast<char>(name.size());
  bytes_ += name;
  bytes_ += static_cast<char>(type);
  bytes_ += value_bytes;
}

std::string SettingsStreamWriter::Finish() const {
  return bytes_ + std::string(2, '\0');
}

std::string LittleEndianBytes(uint32_t value, size_t size) {
  std::string bytes;
  for (size_t i = 0; i < size; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

}  // namespace userdb::crash
