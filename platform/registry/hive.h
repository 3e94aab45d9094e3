// The current user's registry in memory: keys by path below the hive root, each with its
// values. Key paths are "\"-separated; names of keys and values compare without regard
// to letter case, as the registry's do. Keys and values keep the order in which they
// were first created, so that the file they are saved to changes only where they change.
// Look-ups go through hashes of the names: a hive of many keys, or a key of many values,
// is built and searched in time linear in its size.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/case_insensitive_1252.h"
#include "platform/registry/registry_value.h"

namespace userdb::registry {

// Positions in a list of named things, by name without regard to letter case.
using NameIndex = std::unordered_map<std::string, size_t, platform::HashIgnoringCase1252,
                                     platform::SameIgnoringCase1252>;

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

  friend bool operator==(const RegistryKey& left, const RegistryKey& right) {
    return left.path_ == right.path_ && left.values_ == right.values_;
  }

 private:
  std::string path_;
  std::vector<RegistryValue> values_;
  NameIndex value_positions_;
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

  friend bool operator==(const Hive& left, const Hive& right) { return left.keys_ == right.keys_; }

 private:
  // The position in keys_ of the key at a normalised path; keys_.size() when there is none.
  size_t PositionOf(std::string_view normal_path) const;
  RegistryKey& AddKey(std::string normal_path);

  std::deque<RegistryKey> keys_;
  NameIndex key_positions_;
};

// The registry's limits for a key: at most this many levels below the root, and names of
// at most this many characters.
inline constexpr size_t kMaxKeyDepth = 512;
inline constexpr size_t kMaxKeyNameLength = 255;

// Whether a normalised key path keeps within those limits.
bool KeyPathFitsLimits(std::string_view normal_path);

// `path` with empty segments dropped, so that "\Software\\ZID\" names "Software\ZID".
std::string NormalizeKeyPath(std::string_view path);

// `child` below `parent`, both paths from the root.
std::string JoinKeyPath(std::string_view parent, std::string_view child);

}  // namespace userdb::registry
