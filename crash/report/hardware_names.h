// Names of PCI and USB hardware from the system's hardware database files, pci.ids and
// usb.ids (one vendor a line, its devices below it indented by one tab; "C" lines name the
// device classes, their subclasses indented).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace userdb::crash {

class HardwareNames {
 public:
  HardwareNames() = default;
  // Keeps the device names of the vendors in `vendors` only: the files are large.
  HardwareNames(std::string_view ids_text, const std::set<uint16_t>& vendors);

  // Empty when the database does not know it.
  std::string Vendor(uint16_t vendor) const;
  std::string Device(uint16_t vendor, uint16_t device) const;
  std::string Class(uint8_t device_class) const;

 private:
  std::map<uint16_t, std::string> vendors_;
  std::map<std::pair<uint16_t, uint16_t>, std::string> devices_;
  std::map<uint8_t, std::string> classes_;
};

}  // namespace userdb::crash
