#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "crash/report/hardware_section.h"
#include "crash/report/memory_sections.h"
#include "crash/report/modules_section.h"
#include "crash/report/processes_section.h"
#include "platform/module_section.h"
#include "platform/path.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return lines;
}

TEST(StackDump, LaysOutSixteenBytesALine) {
  const std::string memory(
      "\x00\x00\x00\x00\x01\x00\x00\x00\x4c\xf5\x12\x00\xe1\xb4\x45\x00"
      "ABC",
      19);
  // Beyond the end: three blanks a byte, and two in place of "- ".
  EXPECT_EQ(
      StackDumpText(0x12f5a0, memory),
      "000000000012f5a0  00 00 00 00 01 00 00 00 - 4c f5 12 00 e1 b4 45 00  ........L.....E.\r\n"
      "000000000012f5b0  41 42 43 " +
          std::string(5 * 3 + 2 + 8 * 3, ' ') + " ABC");
}

TEST(StackDump, StopsAfterTwentyLines) {
  const std::string memory(1000, 'x');
  EXPECT_EQ(Lines(StackDumpText(0x1000, memory)).size(), 20u);
}

TEST(StackDump, OfThisProcessEndsWithItsStackRegion) {
  char here[64];
  std::memset(here, 'z', sizeof here);
  const std::string dump = StackDumpOfProcess(reinterpret_cast<uintptr_t>(here));
  ASSERT_FALSE(dump.empty());
  EXPECT_NE(dump.find("zzzzzzzzzzzzzzzz"), std::string::npos);
  EXPECT_EQ(StackDumpOfProcess(8), "") << "no region holds the first page";
}

TEST(CpuRegisters, NamesTheNineRegisters) {
  ProcessorContext context;
  context.registers[REG_RAX] = 0x1;
  context.registers[REG_RIP] = 0x44a1b2;
  const std::vector<std::string> lines = Lines(CpuRegistersText(context));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "rax = 0000000000000001");
  EXPECT_EQ(lines[6], "rip = 000000000044a1b2");
  EXPECT_EQ(lines[8], "rbp = 0000000000000000");
}

TEST(Modules, VersionsFromTheRecordOrTheFileNamesNumericTail) {
  EXPECT_EQ(NumericTail("libQt6Core.so.6.4.2"), "6.4.2");
  EXPECT_EQ(NumericTail("libc.so.6"), "6");
  EXPECT_EQ(NumericTail("libfoo.so"), "");
  EXPECT_EQ(NumericTail("libfoo.so.1a"), "");
  EXPECT_EQ(NumericTail("libelf-0.188.so"), "0.188");
  EXPECT_EQ(NumericTail("libcomposeplatforminputcontextplugin.so"), "");
  EXPECT_EQ(NumericTail("ld-linux-x86-64.so.2"), "2");
  EXPECT_EQ(ModuleFileVersion(platform::ExecutablePath()), "1.0.1.16");
}

TEST(Modules, ColumnsArePaddedToTheLongestPlusOne) {
  EXPECT_EQ(ModulesText(
                {{0x400000, "/usr/bin/prog", "1.0.1.16"}, {0x7f0000000000, "/lib/libc.so.6", "6"}}),
            "0000000000400000 prog      1.0.1.16 /usr/bin\r\n"
            "00007f0000000000 libc.so.6 6        /lib");
}

// The files that /proc/self/maps shows mapped with execution rights.
std::set<std::string> ExecutableMappings() {
  std::set<std::string> files;
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    std::istringstream fields(line);
    std::string range, permissions, offset, device, inode, path;
    fields >> range >> permissions >> offset >> device >> inode >> path;
    if (permissions.find('x') != std::string::npos && path.starts_with("/")) files.insert(path);
  }
  return files;
}

TEST(Modules, ListEveryModuleOfThisProcessInAddressOrder) {
  const std::vector<ModuleLine> modules = LoadedModuleLines();
  std::set<std::string> listed;
  for (size_t i = 0; i < modules.size(); ++i) {
    listed.insert(platform::ResolvedPath(modules[i].path));
    if (i > 0) {
      EXPECT_LT(modules[i - 1].load_address, modules[i].load_address);
    }
  }
  for (const std::string& file : ExecutableMappings()) {
    EXPECT_TRUE(listed.contains(platform::ResolvedPath(file))) << file;
  }
  const std::vector<std::string> lines = Lines(ModulesSection());
  EXPECT_EQ(lines.size(), modules.size());
}

TEST(Processes, PriorityClassesFromPolicyAndNice) {
  EXPECT_EQ(PriorityClass(SCHED_OTHER, 0), "normal");
  EXPECT_EQ(PriorityClass(SCHED_OTHER, 5), "below normal");
  EXPECT_EQ(PriorityClass(SCHED_OTHER, 19), "idle");
  EXPECT_EQ(PriorityClass(SCHED_IDLE, 0), "idle");
  EXPECT_EQ(PriorityClass(SCHED_OTHER, -5), "above normal");
  EXPECT_EQ(PriorityClass(SCHED_BATCH, -15), "high");
  EXPECT_EQ(PriorityClass(SCHED_FIFO, 0), "realtime");
}

TEST(Processes, TheSessionColumnOnlyWhenAnyIsNotZero) {
  std::vector<ProcessLine> processes = {{0x1, "init", 0u, "normal", "/sbin"},
                                        {0x1a2, "kthreadd", std::nullopt, "high", ""}};
  EXPECT_EQ(ProcessesText(processes),
            "001 init     normal /sbin\r\n"
            "1a2 kthreadd high   ");
  processes[0].session = 12;
  EXPECT_EQ(ProcessesText(processes),
            "001 init     12 normal /sbin\r\n"
            "1a2 kthreadd    high   ");
}

TEST(Processes, ListThisProcessWithItsFolder) {
  const std::vector<ProcessLine> processes = RunningProcesses();
  const std::string executable = platform::ExecutablePath();
  bool found = false;
  for (const ProcessLine& process : processes) {
    if (process.id != getpid()) continue;
    found = true;
    EXPECT_EQ(process.name, platform::FileNamePart(executable));
    EXPECT_EQ(process.folder + "/", platform::FolderPart(executable));
    EXPECT_FALSE(process.priority_class.empty());
  }
  EXPECT_TRUE(found);
  size_t in_proc = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") == std::string::npos) ++in_proc;
  }
  // Processes may start and end meanwhile; most are there.
  EXPECT_GT(processes.size() * 10, in_proc * 9);
}

void Write(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

TEST(Hardware, GroupsDevicesByClassWithNamesFromTheDatabases) {
  test_support::TempFolder folder;
  const std::filesystem::path root = folder.Path();
  const auto pci = root / "sys/bus/pci/devices";
  Write(pci / "0000:00:02.0/class", "0x030000\n");
  Write(pci / "0000:00:02.0/vendor", "0x8086\n");
  Write(pci / "0000:00:02.0/device", "0x1234\n");
  Write(root / "sys/bus/pci/drivers/i915/bind", "");
  std::filesystem::create_directory_symlink(root / "sys/bus/pci/drivers/i915",
                                            pci / "0000:00:02.0/driver");
  Write(root / "sys/module/i915/version", "1.6.0\n");
  Write(pci / "0000:00:1f.0/class", "0x060100\n");
  Write(pci / "0000:00:1f.0/vendor", "0x8086\n");
  Write(pci / "0000:00:1f.0/device", "0x9999\n");
  Write(pci / "0000:00:05.0/class", "0xff0000\n");  // unassigned: left out
  Write(pci / "0000:00:05.0/vendor", "0x1af4\n");
  Write(pci / "0000:00:05.0/device", "0x0001\n");
  const auto usb = root / "sys/bus/usb/devices";
  Write(usb / "usb1/idVendor", "1d6b\n");  // a root hub: left out
  Write(usb / "1-1/idVendor", "046d\n");
  Write(usb / "1-1/idProduct", "c52b\n");
  Write(usb / "1-1/bDeviceClass", "00\n");
  Write(usb / "1-1/1-1:1.0/bInterfaceClass", "03\n");
  Write(usb / "1-2/idVendor", "abcd\n");
  Write(usb / "1-2/idProduct", "0001\n");
  Write(usb / "1-2/bDeviceClass", "08\n");
  Write(usb / "1-2/product", "Thumb Drive\n");
  Write(root / "pci.ids",
        "# comment\n8086  Intel Corporation\n\t1234  Graphics Adapter\n\t\t1111 2222  Sub\n"
        "C 03  Display controller\n\t00  VGA compatible controller\nC 06  Bridge\n");
  Write(root / "usb.ids",
        "046d  Logitech, Inc.\n\tc52b  Unifying Receiver\nC 03  Human Interface Device\n"
        "C 08  Mass Storage\nHID 00  Unknown\n");
  HardwareSources sources{(root / "sys").string(), (root / "pci.ids").string(),
                          (root / "usb.ids").string()};
  EXPECT_EQ(HardwareText(InstalledHardware(sources)),
            "+ Bridge\r\n"
            "  - Intel Corporation device 9999\r\n"
            "+ Display controller\r\n"
            "  - Intel Corporation Graphics Adapter (driver i915 1.6.0)\r\n"
            "+ Human Interface Device\r\n"
            "  - Logitech, Inc. Unifying Receiver\r\n"
            "+ Mass Storage\r\n"
            "  - Thumb Drive");
}

TEST(Hardware, ClassesAndDevicesSortWithoutRegardToCase) {
  EXPECT_EQ(HardwareText({{"network", "b", ""}, {"Bridge", "Zeta", ""}, {"Network", "a", "e1000"}}),
            "+ Bridge\r\n  - Zeta\r\n+ Network\r\n  - a (driver e1000)\r\n  - b");
}

}  // namespace

}  // namespace userdb::crash
