// Any bytes as a module's file: reading a section or the image headers never reads past the
// file or crashes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "platform/module_section.h"
#include "platform/unique_fd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const userdb::platform::UniqueFd file(memfd_create("elf", MFD_CLOEXEC));
  if (!file.Valid() || write(file.Get(), data, size) != static_cast<ssize_t>(size)) return 0;
  const std::string path = "/proc/self/fd/" + std::to_string(file.Get());
  userdb::platform::ReadElfSection(path, "TQUORVEX");
  userdb::platform::ReadElfSection(path, ".shstrtab");
  userdb::platform::ReadElfImage(path);
  return 0;
}
