// Any text as a linker map: parsing never reads past it or crashes.
#include <cstdint>
#include <string_view>

#include "crash/stack/linker_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  userdb::crash::detail::ParseLinkerMap(
      std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
