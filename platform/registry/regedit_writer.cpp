#include "platform/registry/regedit_writer.h"

#include <cstdint>
#include <cstdio>

namespace userdb::registry {

namespace {

// Where the registry editor breaks hex lists, so that lines stay readable.
constexpr size_t kHexLineWidth = 76;

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char byte : text) {
    if (byte == '\\' || byte == '"') quoted += '\\';
    quoted += byte;
  }
  return quoted + '"';
}

// A string that reads back the same from the quoted form: one terminating zero, no zero
// inside, no line break.
bool WritableAsQuoted(const RegistryValue& value) {
  const std::string& data = value.data;
  return value.type == registry_type::kString && !data.empty() && data.back() == '\0' &&
         data.find('\0') == data.size() - 1 && data.find_first_of("\r\n") == std::string::npos;
}

std::string HexPrefix(uint32_t type) {
  if (type == registry_type::kBinary) return "hex:";
  char prefix[20];
  std::snprintf(prefix, sizeof prefix, "hex(%x):", type);
  return prefix;
}

void AppendHexList(std::string& out, size_t line_start, std::string_view data) {
  for (size_t i = 0; i < data.size(); ++i) {
    char token[4];
    std::snprintf(token, sizeof token, i + 1 < data.size() ? "%02x," : "%02x",
                  static_cast<unsigned char>(data[i]));
    if (out.size() - line_start + 3 > kHexLineWidth) {
      out += "\\\n  ";
      line_start = out.size() - 2;
    }
    out += token;
  }
}

void AppendValue(std::string& out, const RegistryValue& value) {
  const size_t line_start = out.size();
  out += value.name.empty() ? "@" : Quoted(value.name);
  out += '=';
  if (WritableAsQuoted(value)) {
    out += Quoted(std::string_view(value.data).substr(0, value.data.size() - 1));
  } else if (value.type == registry_type::kDword && value.data.size() == 4) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "dword:%08x", DwordNumber(value.data));
    out += digits;
  } else {
    out += HexPrefix(value.type);
    AppendHexList(out, line_start, value.data);
  }
  out += '\n';
}

}  // namespace

std::string FormatRegedit4(const Hive& hive) {
  std::string out = "REGEDIT4\n";
  for (const RegistryKey& key : hive.Keys()) {
    if (key.Path().empty() && key.Values().empty()) continue;
    out += "\n[";
    out += kHiveRootName;
    if (!key.Path().empty()) out += "\\" + key.Path();
    out += "]\n";
    for (const RegistryValue& value : key.Values()) AppendValue(out, value);
  }
  return out;
}

}  // namespace userdb::registry
