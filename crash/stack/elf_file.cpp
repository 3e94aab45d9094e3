#include "crash/stack/elf_file.h"

#include <elfutils/libdwelf.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <utility>

namespace userdb::crash::detail {

std::optional<ElfFile> ElfFile::Open(const std::string& path) {
  // Not blocking keeps a FIFO in place of the file from stopping the reader.
  userdb::platform::UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat status {};
  if (!fd.Valid() || fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  elf_version(EV_CURRENT);
  Elf* elf = elf_begin(fd.Get(), ELF_C_READ_MMAP, nullptr);
  if (elf == nullptr) return std::nullopt;
  if (elf_kind(elf) != ELF_K_ELF) {
    elf_end(elf);
    return std::nullopt;
  }
  return ElfFile(std::move(fd), elf);
}

ElfFile::ElfFile(ElfFile&& other) noexcept
    : fd_(std::move(other.fd_)), elf_(std::exchange(other.elf_, nullptr)) {}

ElfFile::~ElfFile() {
  if (elf_ != nullptr) elf_end(elf_);
}

std::string ElfFile::BuildId() const {
  const void* bytes = nullptr;
  const ssize_t size = dwelf_elf_gnu_build_id(elf_, &bytes);
  if (size <= 0 || bytes == nullptr) return {};
  return std::string(static_cast<const char*>(bytes), static_cast<size_t>(size));
}

}  // namespace userdb::crash::detail
