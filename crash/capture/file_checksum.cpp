#include "crash/capture/file_checksum.h"

#include <elf.h>
#include <zlib.h>

#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/module_section.h"
#include "platform/unique_fd.h"

namespace userdb::crash {

namespace {

uint32_t Crc(uint32_t crc, std::string_view bytes) {
  while (!bytes.empty()) {
    const auto piece = static_cast<uInt>(std::min<size_t>(bytes.size(), 1u << 30));
    crc = static_cast<uint32_t>(crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), piece));
    bytes.remove_prefix(piece);
  }
  return crc;
}

// The file, mapped for reading while it lives.
class FileView {
 public:
  explicit FileView(const std::string& path) {
    platform::UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status;
    if (!fd.Valid() || fstat(fd.Get(), &status) != 0 || status.st_size <= 0) return;
    void* memory =
        mmap(nullptr, static_cast<size_t>(status.st_size), PROT_READ, MAP_PRIVATE, fd.Get(), 0);
    if (memory == MAP_FAILED) return;
    bytes_ =
        std::string_view(static_cast<const char*>(memory), static_cast<size_t>(status.st_size));
  }
  ~FileView() {
    if (!bytes_.empty()) munmap(const_cast<char*>(bytes_.data()), bytes_.size());
  }
  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;
  std::string_view Bytes() const { return bytes_; }

 private:
  std::string_view bytes_;
};

}  // namespace

std::optional<uint32_t> LoadedContentChecksum(const std::string& path) {
  const std::optional<platform::ElfImage> image = platform::ReadElfImage(path);
  if (!image) return std::nullopt;
  const FileView view(path);
  const std::string_view file = view.Bytes();
  if (file.size() < sizeof(Elf64_Ehdr)) return std::nullopt;
  Elf64_Ehdr header;
  std::memcpy(&header, file.data(), sizeof header);
  header.e_shoff = 0;
  header.e_shentsize = 0;
  header.e_shnum = 0;
  header.e_shstrndx = 0;
  uint32_t crc = Crc(crc32(0, nullptr, 0),
                     std::string_view(reinterpret_cast<const char*>(&header), sizeof header));
  for (const platform::ElfSegment& segment : image->segments) {
    if (segment.type != PT_LOAD) continue;
    if (segment.offset > file.size() || segment.filesz > file.size() - segment.offset) {
      return std::nullopt;
    }
    uint64_t start = segment.offset;
    uint64_t size = segment.filesz;
    // The ELF header, summed above, lies at the start of the first segment.
    if (start < sizeof header) {
      const uint64_t skipped = std::min<uint64_t>(sizeof header - start, size);
      start += skipped;
      size -= skipped;
    }
    crc = Crc(crc, file.substr(start, size));
  }
  return crc;
}

IntegrityCheck CheckFileIntegrity(const std::string& path) {
  const std::optional<std::string> stored = platform::ReadElfSection(path, kChecksumSection);
  if (!stored) return IntegrityCheck::kNotChecked;
  const std::optional<uint32_t> checksum = LoadedContentChecksum(path);
  if (!checksum) return IntegrityCheck::kDamaged;
  return *stored == ChecksumSectionBytes(*checksum) ? IntegrityCheck::kIntact
                                                    : IntegrityCheck::kDamaged;
}

std::string ChecksumSectionBytes(uint32_t checksum) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i)
    bytes[static_cast<size_t>(i)] = static_cast<char>(checksum >> (8 * i));
  return bytes;
}

}  // namespace userdb::crash
