#include "crash/stack/stack_text.h"

#include <cstdio>

#include "platform/path.h"

namespace userdb::crash {
namespace {

constexpr char kLineBreak[] = "\r\n";

std::string Hex16(uintptr_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016lx", static_cast<unsigned long>(value));
  return text;
}

}  // namespace

std::string FormatStackPlain(const TraceResult& result) {
  std::string text;
  for (const TraceItem& item : result.items) {
    if (!text.empty()) text += kLineBreak;
    text += Hex16(item.code_address);
    text += item.top ? "!" : "";
    text += " " + item.module_name;
    if (!item.unit_name.empty()) text += " " + item.unit_name;
    if (item.line != 0) text += " " + std::to_string(item.line);
    if (!item.function_name.empty()) text += " " + item.function_name;
  }
  return text;
}

std::string FormatLocationLine(SymbolLookup& symbols, uintptr_t address) {
  std::string text = Hex16(address);
  if (address == 0) return text + " ???";  // LocationInfo would take 0 as its caller's place
  const Location location = symbols.LocationInfo(address);
  if (!location.found) return text + " ???";
  text += " " + platform::FileNamePart(location.module_file_name) + " " +
          std::string(location.unit) + " ";
  if (location.line > 0) text += std::to_string(location.line) + " ";
  text += location.public_name;
  return text;
}

std::string InternalErrorText(SymbolLookup& symbols, const std::string& stage,
                              uintptr_t failure_address, bool is_exception,
                              uintptr_t exception_address) {
  std::string text = ">> internal error in " + stage;
  if (failure_address != 0)
    text += std::string(":") + kLineBreak + FormatLocationLine(symbols, failure_address);
  if (is_exception) {
    text += std::string(kLineBreak) + ">> original exception location: " + kLineBreak +
            FormatLocationLine(symbols, exception_address);
  }
  return text;
}

}  // namespace userdb::crash
