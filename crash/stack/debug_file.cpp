#include "crash/stack/debug_file.h"

#include <elfutils/libdwelf.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <vector>

#include "crash/stack/symbol_data.h"
#include "platform/path.h"

namespace userdb::crash::detail {
namespace {

std::optional<uint32_t> FileCrc32(const std::string& path) {
  const userdb::platform::UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.Valid()) return std::nullopt;
  uLong crc = crc32(0, nullptr, 0);
  std::vector<Bytef> buffer(1 << 16);
  for (;;) {
    const ssize_t got = read(fd.Get(), buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) return static_cast<uint32_t>(crc);
    crc = crc32(crc, buffer.data(), static_cast<uInt>(got));
  }
}

std::optional<ElfFile> OpenMatching(const std::string& path, const std::string& build_id,
                                    std::optional<uint32_t> link_crc) {
  auto file = ElfFile::Open(path);
  if (!file) return std::nullopt;
  if (!build_id.empty()) {
    if (file->BuildId() != build_id) return std::nullopt;
  } else if (!link_crc || FileCrc32(path) != link_crc) {
    return std::nullopt;
  }
  return file;
}

}  // namespace

std::optional<ElfFile> OpenSeparateDebugFile(const std::string& module_path,
                                             const ElfFile& module_file,
                                             const std::string& build_id,
                                             const std::string& debug_root) {
  if (build_id.size() >= 2) {
    const std::string hex = BuildIdText(build_id);
    const std::string path =
        debug_root + "/.build-id/" + hex.substr(0, 2) + "/" + hex.substr(2) + ".debug";
    if (auto file = OpenMatching(path, build_id, std::nullopt)) return file;
  }
  // A module named without a folder has no place beside which to look.
  if (!module_path.starts_with('/')) return std::nullopt;
  GElf_Word crc = 0;
  const char* link = dwelf_elf_gnu_debuglink(module_file.Get(), &crc);
  if (link == nullptr || *link == '\0' ||
      std::string_view(link).find('/') != std::string_view::npos) {
    return std::nullopt;
  }
  const std::string folder = userdb::platform::FolderPart(module_path);
  for (const std::string& path :
       {folder + link, folder + ".debug/" + link, debug_root + folder + link}) {
    if (path == module_path) continue;
    if (auto file = OpenMatching(path, build_id, crc)) return file;
  }
  return std::nullopt;
}

}  // namespace userdb::crash::detail
