#include "crash/report/memory_sections.h"

#include <algorithm>
#include <utility>

#include "crash/report/value_formats.h"
#include "platform/memory_map.h"

namespace userdb::crash {

namespace {

constexpr size_t kBytesPerLine = 16;
constexpr size_t kMaxLines = 20;

std::string ByteText(uint8_t byte) {
  static constexpr char kDigits[] = "0123456789abcdef";
  return {kDigits[byte >> 4], kDigits[byte & 15]};
}

}  // namespace

std::string StackDumpText(uintptr_t stack_pointer, std::string_view memory) {
  memory = memory.substr(0, std::min(memory.size(), kBytesPerLine * kMaxLines));
  std::string text;
  for (size_t line = 0; line * kBytesPerLine < memory.size(); ++line) {
    const std::string_view bytes = memory.substr(line * kBytesPerLine, kBytesPerLine);
    if (!text.empty()) text += "\r\n";
    text += AddressText(stack_pointer + line * kBytesPerLine) + "  ";
    for (size_t i = 0; i < kBytesPerLine; ++i) {
      if (i == 8) text += i < bytes.size() ? "- " : "  ";
      text += i < bytes.size() ? ByteText(static_cast<uint8_t>(bytes[i])) + " " : "   ";
    }
    text += ' ';
    for (const char byte : bytes) {
      const auto code = static_cast<uint8_t>(byte);
      text += code >= 33 && code <= 126 ? byte : '.';
    }
  }
  return text;
}

std::string StackDumpOfProcess(uintptr_t stack_pointer) {
  const auto region = platform::MemoryRegionHolding(stack_pointer);
  if (!region || !region->readable) return {};
  const size_t length = std::min<uintptr_t>(region->end - stack_pointer, kBytesPerLine * kMaxLines);
  std::string memory(length, '\0');
  memory.resize(platform::ReadOwnMemory(stack_pointer, memory.data(), length));
  return StackDumpText(stack_pointer, memory);
}

std::string CpuRegistersText(const ProcessorContext& context) {
  const std::pair<const char*, int> registers[] = {
      {"rax", REG_RAX}, {"rbx", REG_RBX}, {"rcx", REG_RCX}, {"rdx", REG_RDX}, {"rsi", REG_RSI},
      {"rdi", REG_RDI}, {"rip", REG_RIP}, {"rsp", REG_RSP}, {"rbp", REG_RBP},
  };
  std::string text;
  for (const auto& [name, index] : registers) {
    if (!text.empty()) text += "\r\n";
    text += std::string(name) + " = " +
            AddressText(static_cast<uintptr_t>(context.registers[static_cast<size_t>(index)]));
  }
  return text;
}

}  // namespace userdb::crash
