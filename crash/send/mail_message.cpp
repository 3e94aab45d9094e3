#include "crash/send/mail_message.h"

#include <algorithm>

#include "crash/config/placeholder_expansion.h"
#include "crash/report/report_header.h"
#include "platform/trimmed.h"

namespace userdb::crash {

namespace {

using platform::Trimmed;

MailRecipient RecipientOf(std::string_view entry) {
  const size_t open = entry.find('<');
  if (open == std::string_view::npos) return {std::string(entry), std::string(entry)};
  const size_t close = entry.find('>', open);
  const std::string_view address = entry.substr(
      open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1);
  return {std::string(Trimmed(entry.substr(0, open))), std::string(Trimmed(address))};
}

}  // namespace

std::vector<MailRecipient> SplitRecipients(std::string_view list) {
  std::vector<MailRecipient> recipients;
  for (size_t start = 0; start <= list.size();) {
    const size_t end = std::min(list.find_first_of(",;", start), list.size());
    const std::string_view entry = Trimmed(list.substr(start, end - start));
    if (!entry.empty()) recipients.push_back(RecipientOf(entry));
    start = end + 1;
  }
  return recipients;
}

std::string ExceptionMessageOf(std::string_view report) {
  const auto value = ReadHeaderValue(report, "exception message");
  return value ? std::string(Trimmed(*value)) : std::string();
}

std::string ExpandMailText(std::string_view text, std::string_view report) {
  PlaceholderValues values;
  values.exception_message = ExceptionMessageOf(report);
  values.bug_report = std::string(report);
  return ExpandPlaceholders(text, values);
}

}  // namespace userdb::crash
