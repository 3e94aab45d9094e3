// The stored form of the crash reporter's settings: a property stream as the executable
// carries it. It starts with the signature "TPF0", the class name "TQuorvex" and the object
// name "Quorvex", each name after its length byte; then come property records (a length
// byte, the name, a value-type byte, the value), ended by an empty name and one more zero.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "crash/config/property_list.h"

namespace userdb::crash {

// The signature, the class name and the object name, each name after its length byte.
inline constexpr std::string_view kSettingsStreamHeader =
    "TPF0"
    "\x08TQuorvex"
    "\x07Quorvex";

// The name of the ELF section that holds a module's settings stream.
inline constexpr std::string_view kSettingsSection = "TQUORVEX";

// The value types of a property record.
enum SettingsValueType : uint8_t {
  kInt8Value = 2,
  kInt16Value = 3,
  kInt32Value = 4,
  kShortTextValue = 6,  // one length byte
  kFalseValue = 8,
  kTrueValue = 9,
  kLongTextValue = 12,   // four length bytes
  kUtf16TextValue = 18,  // four bytes of 16-bit character count, then UTF-16LE
};

struct ParsedSettingsStream {
  PropertyList properties;
  // Why the reading stopped before the end of the list (the message of
  // InvalidSettingsResource or TruncatedSettingsResource); the properties read until
  // then are kept.
  std::optional<std::string> failure_message;
};

// The properties of a stream; none when the stream does not start with exactly the
// signature, class name and object name. Never reads past the end of `bytes`.
std::optional<ParsedSettingsStream> ParseSettingsStream(std::string_view bytes);

}  // namespace userdb::crash
