#include "crash/report/hardware_section.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <set>

#include "crash/report/hardware_names.h"
#include "crash/report/value_formats.h"
#include "platform/case_insensitive_1252.h"
#include "platform/folder_entries.h"
#include "platform/path.h"
#include "platform/system_file.h"

namespace userdb::crash {

namespace {

constexpr uint8_t kUnassignedPciClass = 0xFF;
constexpr uint8_t kUsbClassPerInterface = 0x00;
constexpr size_t kIdsFileLimit = 16 << 20;

std::vector<std::string> SortedEntries(const std::string& folder) {
  std::vector<std::string> names = platform::FolderEntries(folder);
  std::sort(names.begin(), names.end());
  return names;
}

unsigned HexValue(const std::string& path) {
  const std::string text = platform::ReadSystemFileLine(path);
  return static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 16));
}

// The bound driver's name and, where the kernel tells it, its module's version.
std::string DriverOf(const std::string& sys_root, const std::string& device) {
  char target[4096];
  const ssize_t length = readlink((device + "/driver").c_str(), target, sizeof target - 1);
  if (length <= 0) return {};
  const std::string name =
      platform::FileNamePart(std::string_view(target, static_cast<size_t>(length)));
  const std::string version =
      platform::ReadSystemFileLine(sys_root + "/module/" + name + "/version");
  return version.empty() ? name : name + " " + version;
}

std::string DeviceName(const HardwareNames& names, uint16_t vendor, uint16_t device) {
  const std::string vendor_name = names.Vendor(vendor);
  const std::string device_name = names.Device(vendor, device);
  const std::string device_id = HexText(0x10000u | device).substr(1);
  if (vendor_name.empty())
    return "device " + HexText(0x10000u | vendor).substr(1) + ":" + device_id;
  if (device_name.empty()) return vendor_name + " device " + device_id;
  return vendor_name + " " + device_name;
}

std::string ClassName(const HardwareNames& names, std::string_view bus, uint8_t device_class) {
  const std::string name = names.Class(device_class);
  return name.empty() ? std::string(bus) + " class " + HexText(0x100u | device_class).substr(1)
                      : name;
}

HardwareNames NamesFor(const std::string& ids_file, const std::set<uint16_t>& vendors) {
  const auto text = platform::ReadSystemFile(ids_file, kIdsFileLimit);
  return text ? HardwareNames(*text, vendors) : HardwareNames();
}

void AddPciDevices(const HardwareSources& sources, std::vector<HardwareDevice>& devices) {
  const std::string bus = sources.sys_root + "/bus/pci/devices/";
  const std::vector<std::string> entries = SortedEntries(bus);
  std::set<uint16_t> vendors;
  for (const std::string& entry : entries)
    vendors.insert(static_cast<uint16_t>(HexValue(bus + entry + "/vendor")));
  if (entries.empty()) return;
  const HardwareNames names = NamesFor(sources.pci_ids, vendors);
  for (const std::string& entry : entries) {
    const std::string device = bus + entry;
    const auto device_class = static_cast<uint8_t>(HexValue(device + "/class") >> 16);
    if (device_class == kUnassignedPciClass) continue;
    devices.push_back({ClassName(names, "PCI", device_class),
                       DeviceName(names, static_cast<uint16_t>(HexValue(device + "/vendor")),
                                  static_cast<uint16_t>(HexValue(device + "/device"))),
                       DriverOf(sources.sys_root, device)});
  }
}

void AddUsbDevices(const HardwareSources& sources, std::vector<HardwareDevice>& devices) {
  const std::string bus = sources.sys_root + "/bus/usb/devices/";
  std::vector<std::string> entries;
  std::set<uint16_t> vendors;
  for (const std::string& entry : SortedEntries(bus)) {
    // Devices only (interfaces carry a ":"), and no root hub ("usb1").
    if (entry.find(':') != std::string::npos || entry.starts_with("usb")) continue;
    if (platform::ReadSystemFileLine(bus + entry + "/idVendor").empty()) continue;
    entries.push_back(entry);
    vendors.insert(static_cast<uint16_t>(HexValue(bus + entry + "/idVendor")));
  }
  if (entries.empty()) return;
  const HardwareNames names = NamesFor(sources.usb_ids, vendors);
  for (const std::string& entry : entries) {
    const std::string device = bus + entry;
    const std::string first_interface = device + "/" + entry + ":1.0";
    auto device_class = static_cast<uint8_t>(HexValue(device + "/bDeviceClass"));
    if (device_class == kUsbClassPerInterface) {
      device_class = static_cast<uint8_t>(HexValue(first_interface + "/bInterfaceClass"));
    }
    std::string name = platform::ReadSystemFileLine(device + "/product");
    if (name.empty()) {
      name = DeviceName(names, static_cast<uint16_t>(HexValue(device + "/idVendor")),
                        static_cast<uint16_t>(HexValue(device + "/idProduct")));
    }
    devices.push_back(
        {ClassName(names, "USB", device_class), name, DriverOf(sources.sys_root, first_interface)});
  }
}

bool LessIgnoringCase(std::string_view left, std::string_view right) {
  return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                      [](char a, char b) {
                                        return std::tolower(static_cast<unsigned char>(a)) <
                                               std::tolower(static_cast<unsigned char>(b));
                                      });
}

}  // namespace

std::vector<HardwareDevice> InstalledHardware(const HardwareSources& sources) {
  std::vector<HardwareDevice> devices;
  AddPciDevices(sources, devices);
  AddUsbDevices(sources, devices);
  return devices;
}

std::string HardwareText(std::vector<HardwareDevice> devices) {
  std::stable_sort(devices.begin(), devices.end(),
                   [](const HardwareDevice& a, const HardwareDevice& b) {
                     if (!platform::EqualIgnoringCase1252(a.class_name, b.class_name)) {
                       return LessIgnoringCase(a.class_name, b.class_name);
                     }
                     return LessIgnoringCase(a.name, b.name);
                   });
  std::string text;
  const std::string* current_class = nullptr;
  for (const HardwareDevice& device : devices) {
    if (current_class == nullptr ||
        !platform::EqualIgnoringCase1252(*current_class, device.class_name)) {
      if (!text.empty()) text += "\r\n";
      text += "+ " + device.class_name;
      current_class = &device.class_name;
    }
    text += "\r\n  - " + device.name;
    if (!device.driver.empty()) text += " (driver " + device.driver + ")";
  }
  return text;
}

std::string HardwareSection() {
  return HardwareText(InstalledHardware());
}

}  // namespace userdb::crash
