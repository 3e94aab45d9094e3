// make_settings_stream SOURCE STREAM: turns the readable source of a settings record into
// the property stream that programs carry (see settings_source.h for the source's form).
// The mail and upload passwords are enciphered on the way.
#include <cstdio>
#include <string>

#include "crash/config/password_cipher.h"
#include "crash/config/settings_stream_writer.h"
#include "crash/config/tools/settings_source.h"
#include "platform/display_text.h"
#include "platform/whole_file.h"

namespace userdb::crash {

int MakeSettingsStream(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: make_settings_stream SOURCE STREAM\n", stderr);
    return 2;
  }
  const std::string source_path = argv[1];
  try {
    PropertyList properties = ParseSettingsSource(platform::ReadWholeFile(source_path));
    EncipherStoredPasswords(properties);
    SettingsStreamWriter writer;
    for (const Property& property : properties.Items()) writer.Add(property);
    platform::WriteWholeFile(argv[2], writer.Finish());
    return 0;
  } catch (const SettingsSourceError& error) {
    std::fprintf(stderr, "%s: %s\n", source_path.c_str(),
                 platform::DisplayUtf8(error.Message()).c_str());
  } catch (const Exception& error) {
    std::fprintf(stderr, "make_settings_stream: %s\n",
                 platform::DisplayUtf8(error.Message()).c_str());
  }
  return 1;
}

}  // namespace userdb::crash

int main(int argc, char** argv) {
  return userdb::crash::MakeSettingsStream(argc, argv);
}
