#include "platform/module_section.h"

#include <elf.h>
#include <gnu/libc-version.h>
#include <sys/auxv.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace userdb::platform {

namespace {

using test_support::TempFolder;
using test_support::WriteFile;

void FunctionOfThisProgram() {}

struct FixtureSection {
  std::string name;
  uint32_t type = SHT_PROGBITS;
  std::string bytes;
};

// A small ELF file: the header, the section header table right after it (the null section,
// the names, then `sections`), the section names, then each section's bytes.
std::string MakeElf(const std::vector<FixtureSection>& sections) {
  std::string names(1, '\0');
  std::vector<uint32_t> name_offsets;
  for (const std::string& name : {std::string(".shstrtab")}) {
    name_offsets.push_back(static_cast<uint32_t>(names.size()));
    names += name + '\0';
  }
  for (const FixtureSection& section : sections) {
    name_offsets.push_back(static_cast<uint32_t>(names.size()));
    names += section.name + '\0';
  }
  const size_t count = sections.size() + 2;
  std::vector<Elf64_Shdr> headers(count);
  uint64_t offset = sizeof(Elf64_Ehdr) + count * sizeof(Elf64_Shdr);
  headers[1] = {name_offsets[0], SHT_STRTAB, 0, 0, offset, names.size(), 0, 0, 1, 0};
  offset += names.size();
  std::string contents = names;
  for (size_t i = 0; i < sections.size(); ++i) {
    headers[i + 2] = {
        name_offsets[i + 1], sections[i].type, 0, 0, offset, sections[i].bytes.size(), 0, 0, 1, 0};
    if (sections[i].type != SHT_NOBITS) {
      offset += sections[i].bytes.size();
      contents += sections[i].bytes;
    }
  }
  Elf64_Ehdr header{};
  std::memcpy(header.e_ident, ELFMAG, SELFMAG);
  header.e_ident[EI_CLASS] = ELFCLASS64;
  header.e_ident[EI_DATA] = ELFDATA2LSB;
  header.e_ident[EI_VERSION] = EV_CURRENT;
  header.e_type = ET_DYN;
  header.e_machine = EM_X86_64;
  header.e_version = EV_CURRENT;
  header.e_ehsize = sizeof(Elf64_Ehdr);
  header.e_shoff = sizeof(Elf64_Ehdr);
  header.e_shentsize = sizeof(Elf64_Shdr);
  header.e_shnum = static_cast<Elf64_Half>(count);
  header.e_shstrndx = 1;
  std::string file(reinterpret_cast<const char*>(&header), sizeof header);
  file.append(reinterpret_cast<const char*>(headers.data()), count * sizeof(Elf64_Shdr));
  return file + contents;
}

const std::vector<FixtureSection> kFixtureSections = {
    {"TQUORVEX", SHT_PROGBITS, "the record"},
    {"EMPTY", SHT_NOBITS, std::string(100, 'x')},
    {"LATER", SHT_PROGBITS, "later bytes"},
};

// Offsets of fields inside the fixture file.
constexpr size_t SectionHeaderAt(size_t index) {
  return sizeof(Elf64_Ehdr) + index * sizeof(Elf64_Shdr);
}

template <typename Value>
void Put(std::string& file, size_t offset, Value value) {
  std::memcpy(file.data() + offset, &value, sizeof value);
}

class ElfFixtureTest : public ::testing::Test {
 protected:
  std::optional<std::string> ReadSection(const std::string& file_bytes, std::string_view name) {
    WriteFile(path_, file_bytes);
    return ReadElfSection(path_, name);
  }

  TempFolder folder_;
  const std::string path_ = folder_ / "module.so";
  const std::string fixture_ = MakeElf(kFixtureSections);
};

TEST_F(ElfFixtureTest, FindsEachSectionByItsExactName) {
  EXPECT_EQ(ReadSection(fixture_, "TQUORVEX"), "the record");
  EXPECT_EQ(ReadSection(fixture_, "LATER"), "later bytes");
  EXPECT_EQ(ReadSection(fixture_, "EMPTY"), "");  // no bytes in the file
  EXPECT_EQ(ReadSection(fixture_, "tquorvex"), std::nullopt);
  EXPECT_EQ(ReadSection(fixture_, "TQUORVE"), std::nullopt);
  EXPECT_EQ(ReadSection(fixture_, "MISSING"), std::nullopt);
}

TEST_F(ElfFixtureTest, FindsTheFirstOfTwoSectionsOfOneName) {
  EXPECT_EQ(
      ReadSection(MakeElf({{"TWICE", SHT_PROGBITS, "first"}, {"TWICE", SHT_PROGBITS, "second"}}),
                  "TWICE"),
      "first");
}

TEST_F(ElfFixtureTest, ReadsTheExtendedSectionCountAndNamesIndexFromSectionZero) {
  std::string file = fixture_;
  Put<Elf64_Half>(file, offsetof(Elf64_Ehdr, e_shnum), 0);
  Put<Elf64_Half>(file, offsetof(Elf64_Ehdr, e_shstrndx), SHN_XINDEX);
  Put<Elf64_Xword>(file, SectionHeaderAt(0) + offsetof(Elf64_Shdr, sh_size),
                   kFixtureSections.size() + 2);
  Put<Elf64_Word>(file, SectionHeaderAt(0) + offsetof(Elf64_Shdr, sh_link), 1);
  EXPECT_EQ(ReadSection(file, "LATER"), "later bytes");
}

TEST_F(ElfFixtureTest, AFileCutAnywhereAnswersNone) {
  for (size_t length = 0; length < fixture_.size(); ++length) {
    const auto section = ReadSection(fixture_.substr(0, length), "LATER");
    EXPECT_EQ(section, std::nullopt) << "cut at " << length;
  }
}

struct Damage {
  const char* what;
  size_t offset;
  uint64_t value;
  size_t size;
};

class DamagedElfTest : public ElfFixtureTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedElfTest, AnswersNone) {
  std::string file = fixture_;
  const Damage& damage = GetParam();
  std::memcpy(file.data() + damage.offset, &damage.value, damage.size);
  EXPECT_EQ(ReadSection(file, "TQUORVEX"), std::nullopt);
}

constexpr size_t kNamesHeader = SectionHeaderAt(1);
constexpr size_t kRecordHeader = SectionHeaderAt(2);

INSTANTIATE_TEST_SUITE_P(
    Fields, DamagedElfTest,
    ::testing::Values(
        Damage{"not ELF", 0, 'X', 1}, Damage{"32-bit class", EI_CLASS, ELFCLASS32, 1},
        Damage{"big-endian", EI_DATA, ELFDATA2MSB, 1},
        Damage{"no section table", offsetof(Elf64_Ehdr, e_shoff), 0, 8},
        Damage{"section table past the end", offsetof(Elf64_Ehdr, e_shoff), 1u << 30, 8},
        Damage{"section table offset overflowing", offsetof(Elf64_Ehdr, e_shoff), ~uint64_t{0} - 8,
               8},
        Damage{"section entries too small", offsetof(Elf64_Ehdr, e_shentsize), 8, 2},
        Damage{"more sections than the file holds", offsetof(Elf64_Ehdr, e_shnum), 0xFFFE, 2},
        Damage{"extended count of zero", offsetof(Elf64_Ehdr, e_shnum), 0, 2},
        Damage{"names index past the table", offsetof(Elf64_Ehdr, e_shstrndx), 40, 2},
        Damage{"names without file bytes", kNamesHeader + offsetof(Elf64_Shdr, sh_type), SHT_NOBITS,
               4},
        Damage{"names past the end", kNamesHeader + offsetof(Elf64_Shdr, sh_offset), 1u << 30, 8},
        Damage{"names size overflowing", kNamesHeader + offsetof(Elf64_Shdr, sh_size), ~uint64_t{0},
               8},
        Damage{"names cut before the terminating zero",
               kNamesHeader + offsetof(Elf64_Shdr, sh_size), 15, 8},
        Damage{"name offset past the names", kRecordHeader + offsetof(Elf64_Shdr, sh_name), 5000,
               4},
        Damage{"section bytes past the end", kRecordHeader + offsetof(Elf64_Shdr, sh_offset),
               1u << 30, 8},
        Damage{"section size past the end", kRecordHeader + offsetof(Elf64_Shdr, sh_size), 1u << 30,
               8},
        Damage{"section end overflowing", kRecordHeader + offsetof(Elf64_Shdr, sh_offset),
               ~uint64_t{0} - 4, 8}),
    [](const auto& case_info) {
      std::string name = case_info.param.what;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

TEST(ReadElfSection, AnswersNoneForWhatIsNoRegularFile) {
  TempFolder folder;
  EXPECT_EQ(ReadElfSection(folder / "missing", "TQUORVEX"), std::nullopt);
  EXPECT_EQ(ReadElfSection(folder.Path(), "TQUORVEX"), std::nullopt);
  const std::string fifo = folder / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadElfSection(fifo, "TQUORVEX"), std::nullopt);  // and does not wait for a writer
}

TEST(ModuleContaining, FindsTheExecutableForItsOwnCode) {
  const auto module = ModuleContaining(reinterpret_cast<const void*>(&FunctionOfThisProgram));
  ASSERT_TRUE(module);
  EXPECT_TRUE(module->is_executable);
  EXPECT_EQ(module->path, ExecutablePath());
  EXPECT_TRUE(module->path.ends_with("/platform_module_tests")) << module->path;
}

TEST(ModuleContaining, FindsTheSharedLibraryForItsCode) {
  const auto module = ModuleContaining(reinterpret_cast<const void*>(&gnu_get_libc_version));
  ASSERT_TRUE(module);
  EXPECT_FALSE(module->is_executable);
  EXPECT_NE(module->path.find("libc.so"), std::string::npos) << module->path;
  EXPECT_NE(module->load_bias, 0u);
}

TEST(ModuleContaining, AnswersNoneOutsideEveryModule) {
  int on_the_stack = 0;
  EXPECT_EQ(ModuleContaining(nullptr), std::nullopt);
  EXPECT_EQ(ModuleContaining(&on_the_stack), std::nullopt);
}

TEST(LoadedModules, ListsEveryModuleOnceInAddressOrderWithTheExecutable) {
  const std::vector<LoadedModule> modules = LoadedModules();
  size_t executables = 0, libc = 0;
  for (const LoadedModule& module : modules) {
    executables += module.is_executable;
    libc += module.path.find("libc.so") != std::string::npos;
  }
  EXPECT_EQ(executables, 1u);
  EXPECT_EQ(libc, 1u);
  const auto libc_module = ModuleContaining(reinterpret_cast<const void*>(&gnu_get_libc_version));
  const auto own_module = ModuleContaining(reinterpret_cast<const void*>(&FunctionOfThisProgram));
  ASSERT_TRUE(libc_module && own_module);
  // Address order: the executable (mapped low) comes before the libraries here.
  const auto position = [&](const std::string& path) {
    for (size_t i = 0; i < modules.size(); ++i) {
      if (modules[i].path == path) return i;
    }
    return modules.size();
  };
  EXPECT_LT(position(own_module->path), position(libc_module->path));
}

TEST(ReadModuleSection, ReadsTheRunningExecutablesOwnSection) {
  const auto module = ModuleContaining(reinterpret_cast<const void*>(&FunctionOfThisProgram));
  ASSERT_TRUE(module);
  EXPECT_EQ(ReadModuleSection(*module, "VERSIONINFO"),
            "FileVersion=1.0.1.16\nOriginalFilename=2018-01-11\n");
  EXPECT_EQ(ReadModuleSection(*module, "NO SUCH SECTION"), std::nullopt);
}

// One note: name and descriptor sizes, type, then name and descriptor padded to 4 bytes.
std::string Note(uint32_t type, std::string name, std::string descriptor) {
  std::string note(12, '\0');
  const uint32_t sizes[3] = {static_cast<uint32_t>(name.size()),
                             static_cast<uint32_t>(descriptor.size()), type};
  std::memcpy(note.data(), sizes, sizeof sizes);
  name.resize((name.size() + 3) / 4 * 4, '\0');
  descriptor.resize((descriptor.size() + 3) / 4 * 4, '\0');
  return note + name + descriptor;
}

TEST(GnuBuildIdOfNotes, FindsTheGnuBuildIdAmongOtherNotes) {
  const std::string id("\x8f\x00\x3a\x11\x22", 5);
  const std::string gnu("GNU", 4);
  EXPECT_EQ(
      GnuBuildIdOfNotes(Note(NT_GNU_ABI_TAG, gnu, "abcdefgh") + Note(NT_GNU_BUILD_ID, gnu, id)),
      id);
  EXPECT_EQ(GnuBuildIdOfNotes(Note(NT_GNU_BUILD_ID, std::string("XYZ", 4), id)), "");
  std::string cut = Note(NT_GNU_BUILD_ID, gnu, id);
  cut.resize(cut.size() - 4);
  EXPECT_EQ(GnuBuildIdOfNotes(cut), "") << "a descriptor past the end";
  EXPECT_EQ(GnuBuildIdOfNotes(""), "");
}

TEST(ReadElfImage, DescribesTheRunningProgramsFile) {
  const auto image = ReadElfImage(ExecutablePath());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->build_id.size(), 20u) << "the linker's SHA-1 build id";
  size_t loaded = 0, executable = 0;
  for (const ElfSegment& segment : image->segments) {
    loaded += segment.type == PT_LOAD;
    executable += segment.type == PT_LOAD && (segment.flags & PF_X) != 0;
  }
  EXPECT_GE(loaded, 2u);
  EXPECT_EQ(executable, 1u);
  const auto module = ModuleContaining(reinterpret_cast<const void*>(&FunctionOfThisProgram));
  ASSERT_TRUE(module);
  EXPECT_EQ(module->load_bias + image->entry, getauxval(AT_ENTRY));
  EXPECT_EQ(ReadElfImage(ExecutablePath() + ".missing"), std::nullopt);
}

TEST(ReadModuleSection, ReadsNoFileForAModuleNamedWithoutFolder) {
  TempFolder folder;
  WriteFile(folder / "linux-vdso.so.1", MakeElf(kFixtureSections));
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  const auto section = ReadModuleSection({"linux-vdso.so.1", 0x7000, false}, "TQUORVEX");
  std::filesystem::current_path(previous);
  EXPECT_EQ(section, std::nullopt);
  EXPECT_EQ(ReadModuleSection({folder / "linux-vdso.so.1", 0x7000, false}, "TQUORVEX"),
            "the record");
}

}  // namespace

}  // namespace userdb::platform
