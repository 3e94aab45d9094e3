#include "crash/config/password_cipher.h"

#include <cstdint>
#include <optional>

#include "crash/key_stream.h"

namespace userdb::crash {

namespace {

using userdb::crash::Fnv1a64;
using userdb::crash::KeyStream;

struct PasswordProperties {
  std::string_view password, account, server;
};

constexpr PasswordProperties kStoredPasswords[] = {
    {"SmtpPassword", "SmtpAccount", "SmtpServer"},
    {"HttpPassword", "HttpAccount", "HttpServer"},
};

// The key of a password: the stream seeded with the hash of its account, a line feed and
// its server.
KeyStream PasswordKey(std::string_view account, std::string_view server) {
  return KeyStream(Fnv1a64(server, Fnv1a64("\n", Fnv1a64(account))));
}

int HexDigitValue(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  return -1;
}

std::optional<std::string> BytesOfHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigitValue(hex[i]), low = HexDigitValue(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

template <typename Transform>
void TransformStoredPasswords(PropertyList& properties, Transform transform) {
  for (const PasswordProperties& names : kStoredPasswords) {
    Property* password = properties.Find(names.password);
    if (password == nullptr || password->kind != PropertyKind::kText) continue;
    const Property* account = properties.Find(names.account);
    const Property* server = properties.Find(names.server);
    password->text_value = transform(password->text_value, account ? account->text_value : "",
                                     server ? server->text_value : "");
  }
}

}  // namespace

std::string EncipherPassword(std::string_view password, std::string_view account,
                             std::string_view server) {
  constexpr char kDigits[] = "0123456789abcdef";
  KeyStream key = PasswordKey(account, server);
  std::string stored;
  for (const char byte : password) {
    const uint8_t enciphered = static_cast<uint8_t>(byte) ^ key.Next();
    stored += kDigits[enciphered >> 4];
    stored += kDigits[enciphered & 0xF];
  }
  return stored;
}

std::string DecipherPassword(std::string_view stored, std::string_view account,
                             std::string_view server) {
  std::optional<std::string> bytes = BytesOfHex(stored);
  if (!bytes) return {};
  KeyStream key = PasswordKey(account, server);
  for (char& byte : *bytes) byte = static_cast<char>(static_cast<uint8_t>(byte) ^ key.Next());
  return *bytes;
}

void DecipherStoredPasswords(PropertyList& properties) {
  TransformStoredPasswords(properties, DecipherPassword);
}

void EncipherStoredPasswords(PropertyList& properties) {
  TransformStoredPasswords(properties, EncipherPassword);
}

}  // namespace userdb::crash
