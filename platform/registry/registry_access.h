// One operation's access to the current user's registry: at most one key open at a time,
// closed when the access object is released (also when the operation fails). Every query
// reads the hive as it is now, so that what another program wrote meanwhile is seen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/registry/registry_store.h"

namespace userdb::registry {

struct RegistryValueInfo {
  uint32_t type = 0;
  size_t size = 0;
};

class RegistryAccess {
 public:
  explicit RegistryAccess(RegistryStore& store) : store_(store) {}
  RegistryAccess(const RegistryAccess&) = delete;
  RegistryAccess& operator=(const RegistryAccess&) = delete;
  ~RegistryAccess() { CloseKey(); }

  // Key paths are "\"-separated. A path with a leading "\" starts at the hive root; one
  // without starts at the open key, or at the root when none is open. Both tell whether
  // the key is open afterwards; when it is not, no key is open.
  bool OpenExistingKey(std::string_view path);
  // Creates the key and its missing parents when needed.
  bool OpenOrCreateKey(std::string_view path);
  void CloseKey() { key_is_open_ = false; }
  bool HasOpenKey() const { return key_is_open_; }
  // The open key's path from the root: "" for the root itself.
  const std::string& OpenKeyPath() const { return open_key_; }

  // The type and data size of a value of the open key; nothing when it does not exist or
  // no key is open.
  std::optional<RegistryValueInfo> QueryValue(std::string_view name) const;
  // Copies a value's data to the start of `buffer` and tells its type and size. Throws
  // RegistryDataReadError when the value does not exist or does not fit.
  RegistryValueInfo ReadData(std::string_view name, std::span<char> buffer) const;

  // A string value (REG_SZ, or REG_EXPAND_SZ unexpanded) up to its first zero byte; ""
  // when the value does not exist or has no data. Throws RegistryDataTypeError for a
  // value of another type with data.
  std::string ReadString(std::string_view name) const;
  // A 32-bit integer value. Throws RegistryDataReadError when the value does not exist or
  // its data is longer than four bytes, RegistryDataTypeError when it is of another type.
  int32_t ReadInteger(std::string_view name) const;

  // Write a value of the open key, replacing any earlier value of that name whatever its
  // type. Throw RegistryDataWriteError when no key is open or the hive cannot be written.
  void WriteString(std::string_view name, std::string_view text);  // with a terminating zero
  void WriteInteger(std::string_view name, int32_t number);
  // Tells whether the value existed and is gone.
  bool DeleteValue(std::string_view name);

 private:
  bool OpenKey(std::string_view path, bool create);
  std::optional<RegistryValue> Fetch(std::string_view name) const;
  void Write(const RegistryValue& value);

  RegistryStore& store_;
  std::string open_key_;
  bool key_is_open_ = false;
};

}  // namespace userdb::registry
