// The current user's registry in memory: keys by path below the hive root, each with its
// values. Key paths are "\"-separated; names of keys and values compare without regard
// to letter case, as the registry's do. Keys and values keep the order in which they
// were first created, so that the file they are saved to changes only where they change.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry_value.h"

// The root's name where the hive is written out: "HKEY_CURRENT_USER".
inline constexpr std::string_view kHiveRootName = "HKEY_CURRENT_USER";

class RegistryKey {
 public:
  explicit RegistryKey(std::string path) : path_(std::move(path)) {}

  // The path from the hive root, normalised: "" for the root itself.
  const std::string& Path() const { return path_; }
  const std::vector<RegistryValue>& Values() const { return values_; }

  const RegistryValue* FindValue(std::string_view name) const;
  // Replaces the value of the same name, whatever its type, keeping its place; a new
  // name is added at the end. Tells whether anything changed.
  bool SetValue(RegistryValue value);
  // Tells whether there was such a value.
  bool DeleteValue(std::string_view name);

  friend bool operator==(const RegistryKey&, const RegistryKey&) = default;

 private:
  std::string path_;
  std::vector<RegistryValue> values_;
};

class Hive {
 public:
  Hive();  // just the root key

  // The key at `path` (normalised first), or null when it does not exist.
  const RegistryKey* FindKey(std::string_view path) const;
  RegistryKey* FindKey(std::string_view path);
  // The key at `path`, created with its missing parents. The reference stays valid while
  // the hive lives.
  RegistryKey& CreateKey(std::string_view path);

  // Every key, the root first, parents before their children.
  const std::deque<RegistryKey>& Keys() const { return keys_; }

  friend bool operator==(const Hive&, const Hive&) = default;

 private:
  std::deque<RegistryKey> keys_;
};

// `path` with empty segments dropped, so that "\Software\\ZID\" names "Software\ZID".
std::string NormalizeKeyPath(std::string_view path);

// `child` below `parent`, both paths from the root.
std::string JoinKeyPath(std::string_view parent, std::string_view child);
