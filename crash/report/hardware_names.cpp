#include "crash/report/hardware_names.h"

#include <cstdlib>

namespace userdb::crash {

namespace {

// The hexadecimal id at the start of `text` and the name after the two blanks behind it.
bool SplitIdLine(std::string_view text, unsigned& id, std::string_view& name) {
  const size_t blank = text.find(' ');
  if (blank == 0 || blank == std::string_view::npos) return false;
  const std::string digits(text.substr(0, blank));
  char* end = nullptr;
  id = static_cast<unsigned>(std::strtoul(digits.c_str(), &end, 16));
  if (*end != '\0') return false;
  name = text.substr(blank);
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  return !name.empty();
}

}  // namespace

HardwareNames::HardwareNames(std::string_view ids_text, const std::set<uint16_t>& vendors) {
  enum class Block { kNone, kVendor, kClass, kOther } block = Block::kNone;
  unsigned current = 0;
  size_t start = 0;
  while (start < ids_text.size()) {
    size_t end = ids_text.find('\n', start);
    if (end == std::string_view::npos) end = ids_text.size();
    std::string_view line = ids_text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    unsigned id = 0;
    std::string_view name;
    if (line.front() != '\t') {
      if (line.starts_with("C ") && SplitIdLine(line.substr(2), id, name)) {
        block = Block::kClass;
        classes_[static_cast<uint8_t>(id)] = std::string(name);
      } else if (line.size() >= 4 && SplitIdLine(line, id, name) && line.find(' ') == 4) {
        block = Block::kVendor;
        current = id;
        vendors_[static_cast<uint16_t>(id)] = std::string(name);
      } else {
        block = Block::kOther;  // the other lists of usb.ids
      }
      continue;
    }
    if (block != Block::kVendor || line.starts_with("\t\t")) continue;
    if (!vendors.contains(static_cast<uint16_t>(current))) continue;
    if (SplitIdLine(line.substr(1), id, name)) {
      devices_[{static_cast<uint16_t>(current), static_cast<uint16_t>(id)}] = std::string(name);
    }
  }
}

std::string HardwareNames::Vendor(uint16_t vendor) const {
  const auto found = vendors_.find(vendor);
  return found != vendors_.end() ? found->second : std::string();
}

std::string HardwareNames::Device(uint16_t vendor, uint16_t device) const {
  const auto found = devices_.find({vendor, device});
  return found != devices_.end() ? found->second : std::string();
}

std::string HardwareNames::Class(uint8_t device_class) const {
  const auto found = classes_.find(device_class);
  return found != classes_.end() ? found->second : std::string();
}

}  // namespace userdb::crash
