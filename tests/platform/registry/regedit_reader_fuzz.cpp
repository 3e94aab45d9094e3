// Any bytes as a registry file: the reader refuses or parses them without crashing, in
// time linear in their size, and what it parses, written again as this program writes
// hives, reads back the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/registry/regedit_reader.h"
#include "platform/registry/regedit_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  userdb::registry::Hive hive;
  try {
    hive = userdb::registry::ParseRegeditFile(
        std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const userdb::registry::DamagedRegistryFile&) {
    return 0;
  }
  try {
    if (!(userdb::registry::ParseRegeditFile(userdb::registry::FormatRegedit4(hive)) == hive))
      std::abort();
  } catch (const userdb::registry::DamagedRegistryFile&) {
    std::abort();
  }
  return 0;
}
