#include "crash/report/exception_text.h"

#include <algorithm>

#include "crash/report/report_entries.h"

namespace userdb::crash {

namespace {

bool DescendsFrom(const ExceptionObject& object, std::string_view name) {
  return std::find(object.class_chain.begin(), object.class_chain.end(), name) !=
         object.class_chain.end();
}

// Classes whose objects carry a message of their own: ours, the crash reporter's, and the
// C++ standard library's root ("exception"), whose what() is the message of every standard
// and foreign exception class.
bool CarriesMessage(const ExceptionObject& object) {
  return DescendsFrom(object, "Exception") || DescendsFrom(object, "VostrelException") ||
         DescendsFrom(object, "exception");
}

}  // namespace

std::string ExceptionClassText(const std::optional<ExceptionObject>& object) {
  if (!object || object->class_chain.empty() || object->class_chain.front().empty())
    return "Unknown";
  return object->class_chain.front();
}

std::string FormattedExceptionMessage(const std::optional<ExceptionObject>& object) {
  std::string raw;
  if (object) {
    raw = CarriesMessage(*object) ? object->message : ExceptionClassText(object);
  }
  std::string kept;
  for (const char c : raw) {
    if (static_cast<unsigned char>(c) >= 32 || c == '\r' || c == '\n') kept += c;
  }
  std::string message(TrimReportValue(kept));
  if (message.empty()) message = "Unknown";
  while (!message.empty() && (message.back() == '.' || message.back() == '!')) message.pop_back();
  return message + ".";
}

}  // namespace userdb::crash
