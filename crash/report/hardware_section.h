// The "hardware" section: the PCI and USB devices, grouped by device class.
#pragma once

#include <string>
#include <vector>

namespace userdb::crash {

struct HardwareDevice {
  std::string class_name;  // the class's description, or its identifier
  std::string name;
  std::string driver;  // "<name> <version>", "<name>", or empty when no driver is bound
};

// Where the devices and their names are found: the system's, or a test's.
struct HardwareSources {
  std::string sys_root = "/sys";
  std::string pci_ids = "/usr/share/misc/pci.ids";
  std::string usb_ids = "/usr/share/misc/usb.ids";
};

// The devices, less those of no class ("Unassigned class") and the USB root hubs, which the
// kernel's host controller drivers make up.
std::vector<HardwareDevice> InstalledHardware(const HardwareSources& sources = {});

// Classes, and devices within a class, sorted without regard to letter case: "+ " and the
// class, then "  - " and each device, with " (driver " + driver + ")" when one is bound.
std::string HardwareText(std::vector<HardwareDevice> devices);

// The section's plug-in text for this machine.
std::string HardwareSection();

}  // namespace userdb::crash
