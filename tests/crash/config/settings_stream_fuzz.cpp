// Any bytes as a settings stream: the parser never reads past them or crashes, and what
// it reads, written again as this program writes streams, reads back the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "crash/config/settings_stream.h"
#include "crash/config/settings_stream_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto parsed = userdb::crash::ParseSettingsStream(
      std::string_view(reinterpret_cast<const char*>(data), size));
  if (!parsed) return 0;
  userdb::crash::SettingsStreamWriter writer;
  for (const userdb::crash::Property& property : parsed->properties.Items()) writer.Add(property);
  const auto again = userdb::crash::ParseSettingsStream(writer.Finish());
  if (!again || again->failure_message || again->properties.Items() != parsed->properties.Items()) {
    std::abort();
  }
  return 0;
}
