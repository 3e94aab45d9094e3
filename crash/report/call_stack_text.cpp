#include "crash/report/call_stack_text.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "crash/report/value_formats.h"

namespace userdb::crash {

namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit)
      value = (value & 1) != 0 ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    table[i] = value;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool Printed(const StackItem& item, const StackItem* previous, const StackTextOptions& options) {
  if (item.always_printed) return true;
  return (!item.function_name.empty() || item.traced_frame) &&
         (!options.hide_ugly_items || item.line != 0) &&
         (previous == nullptr || previous->address != item.address);
}

// An item's part of the checksums: its offset in its function, continued over the names; the
// address's low 32 bits when function start or module is unknown. A function without a name
// is told by its module and offset alone: its address changes with every load of the module.
uint32_t ItemValue(const StackItem& item) {
  if (!item.function_start || item.module_name.empty()) {
    return static_cast<uint32_t>(item.address);
  }
  uint32_t value = static_cast<uint32_t>(item.address - *item.function_start);
  value = Crc32Update(value, Lower(item.module_name));
  if (!item.unit.empty()) value = Crc32Update(value, Lower(item.unit));
  return Crc32Update(value, Lower(item.function_name));
}

uint32_t UpdateWithValue(uint32_t checksum, uint32_t value) {
  const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                         static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
  return Crc32Update(checksum, std::string_view(bytes, 4));
}

std::string PadRight(std::string_view text, size_t width) {
  std::string padded(text);
  if (padded.size() < width) padded.append(width - padded.size(), ' ');
  return padded;
}

// Right-aligned in width - 1, then a blank.
std::string RightAligned(std::string_view text, size_t width) {
  if (width == 0) return {};
  std::string aligned;
  if (text.size() + 1 < width) aligned.append(width - 1 - text.size(), ' ');
  aligned += text;
  aligned += ' ';
  return aligned;
}

bool HasRelativeLine(const StackItem& item, const StackTextOptions& options) {
  return options.show_relative_lines && item.line != 0 && item.function_first_line != 0;
}

std::string LineColumnText(const StackItem& item, const StackTextOptions& options) {
  if (item.line == 0) return {};
  if (HasRelativeLine(item, options))
    return "+" + std::to_string(item.line - item.function_first_line);
  return std::to_string(item.line);
}

}  // namespace

uint32_t Crc32Update(uint32_t value, std::string_view bytes) {
  for (const char byte : bytes) {
    value = kCrcTable[(value ^ static_cast<uint8_t>(byte)) & 0xFF] ^ (value >> 8);
  }
  return value;
}

PrintedStack PrintCallStack(const std::vector<StackItem>& items, const StackTextOptions& options) {
  std::vector<const StackItem*> printed;
  for (const StackItem& item : items) {
    if (Printed(item, printed.empty() ? nullptr : printed.back(), options))
      printed.push_back(&item);
  }

  size_t module_width = 0, unit_width = 0, absolute_width = 0, line_width = 0, offset_digits = 0;
  bool offsets = false;
  for (const StackItem* item : printed) {
    module_width = std::max(module_width, item->module_name.size());
    unit_width = std::max(unit_width, item->unit.size());
    if (HasRelativeLine(*item, options)) {
      absolute_width = std::max(absolute_width, std::to_string(item->line).size());
    }
    line_width = std::max(line_width, LineColumnText(*item, options).size());
    if (item->function_start && *item->function_start < item->address) {
      offsets = true;
      offset_digits =
          std::max(offset_digits, HexText(item->address - *item->function_start).size());
    }
  }
  // Columns that no printed item fills take no room.
  const auto column = [](size_t longest) { return longest == 0 ? 0 : longest + 1; };

  PrintedStack result;
  bool first = true;
  for (const StackItem* item : printed) {
    std::string line = AddressText(item->address) + " ";
    if (options.show_relative_addresses && offsets) {
      const uint64_t offset = item->function_start ? item->address - *item->function_start : 0;
      std::string digits = HexText(offset);
      if (!item->function_start || *item->function_start > item->address) digits = "0";
      line += "+" + std::string(offset_digits - std::min(offset_digits, digits.size()), '0') +
              digits + " ";
    }
    line += PadRight(item->module_name, module_width + 1);
    line += PadRight(item->unit, unit_width + 1);
    line += RightAligned(HasRelativeLine(*item, options) ? std::to_string(item->line) : "",
                         column(absolute_width));
    line += RightAligned(LineColumnText(*item, options), column(line_width));
    line += item->function_name;
    result.lines.push_back(std::move(line));

    const uint32_t value = ItemValue(*item);
    if (first) {
      result.checksums.first = value;
      result.checksums.second = value;
      first = false;
    } else {
      result.checksums.second = UpdateWithValue(result.checksums.second, value);
    }
    if (item->line != 0) result.checksums.has_line_information = true;
  }
  return result;
}

std::string LocationLine(const StackItem& item, const StackTextOptions& options) {
  std::string line = AddressText(item.address);
  if (item.function_name.empty()) {
    if (options.show_relative_addresses) line += " +0";
    return line + " ???";
  }
  if (options.show_relative_addresses) {
    const bool known = item.function_start && *item.function_start <= item.address;
    line += " +" + HexText(known ? item.address - *item.function_start : 0);
  }
  line += " " + item.module_name + " " + item.unit + " ";
  if (item.line != 0) {
    line += std::to_string(item.line) + " ";
    if (options.show_relative_lines) {
      line += item.function_first_line != 0
                  ? "+" + std::to_string(item.line - item.function_first_line) + " "
                  : std::string("+0 ");
    }
  }
  return line + item.function_name;
}

ReportChecksums CombineChecksums(const StackChecksums& first_thread,
                                 const std::vector<StackChecksums>& other_threads) {
  ReportChecksums checksums{first_thread.first, first_thread.second, first_thread.second};
  for (const StackChecksums& other : other_threads) {
    if (other.has_line_information) {
      checksums.all_threads = UpdateWithValue(checksums.all_threads, other.second);
    }
  }
  return checksums;
}

std::string ChecksumsText(const ReportChecksums& checksums) {
  char text[40];
  std::snprintf(text, sizeof text, "$%08x, $%08x, $%08x", checksums.first, checksums.second,
                checksums.all_threads);
  return text;
}

}  // namespace userdb::crash
