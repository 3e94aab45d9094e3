#include "crash/config/module_version_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <optional>

#include "platform/unique_fd.h"

namespace userdb::crash {

namespace {

// A version text longer than this is taken to be no text.
constexpr size_t kMaxVersionText = 255;

// Reads the process's own memory through a pipe: the kernel refuses an unreadable address
// with an error where a plain read would crash. One byte at a time, so that nothing past
// the end of the text is touched.
class OwnMemoryReader {
 public:
  OwnMemoryReader() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return;
    read_end_.Reset(ends[0]);
    write_end_.Reset(ends[1]);
  }

  bool Read(uintptr_t address, void* out, size_t size) {
    if (!write_end_.Valid() || size > 4096) return false;
    const void* source = reinterpret_cast<const void*>(address);
    return write(write_end_.Get(), source, size) == static_cast<ssize_t>(size) &&
           read(read_end_.Get(), out, size) == static_cast<ssize_t>(size);
  }

  std::optional<std::string> ReadText(uintptr_t address) {
    std::string text;
    while (text.size() <= kMaxVersionText) {
      char byte = 0;
      if (!Read(address + text.size(), &byte, 1)) return std::nullopt;
      if (byte == '\0') return text;
      text += byte;
    }
    return std::nullopt;
  }

 private:
  platform::UniqueFd read_end_, write_end_;
};

std::optional<std::string> VersionVariableText(const platform::LoadedModule& module,
                                               int32_t version_var) {
  if (version_var <= 0) return std::nullopt;
  OwnMemoryReader memory;
  uintptr_t text_address = 0;
  if (!memory.Read(module.load_bias + static_cast<uintptr_t>(version_var), &text_address,
                   sizeof text_address) ||
      text_address == 0) {
    return std::nullopt;
  }
  return memory.ReadText(text_address);
}

}  // namespace

std::string ModuleVersionText(const platform::LoadedModule& module, int32_t version_var,
                              const std::string& file_version) {
  if (auto text = VersionVariableText(module, version_var)) return *text;
  return file_version.empty() ? "?" : file_version;
}

}  // namespace userdb::crash
