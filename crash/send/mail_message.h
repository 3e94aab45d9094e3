// The mail that carries a bug report: its recipients, subject, body and attachments, and
// the texts as the settings make them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace userdb::crash {

struct MailAttachment {
  std::string path;     // the file
  std::string send_as;  // the name the recipient sees ("bugreport.txt", "screenshot.png")
  std::string field;    // what it holds: "BugReport" or "ScreenShot"
};

struct MailMessage {
  std::string recipients;  // as "MailAddr" holds them: entries separated by "," or ";"
  std::string subject;
  std::string body;
  std::vector<MailAttachment> attachments;
};

struct MailRecipient {
  std::string name;
  std::string address;

  friend bool operator==(const MailRecipient&, const MailRecipient&) = default;
};

// The entries of a recipient list, split at "," and ";", blanks around them removed and
// empty ones left out. "Name <address>" gives the name before "<" and the address between
// "<" and ">"; an entry without "<" is both name and address.
std::vector<MailRecipient> SplitRecipients(std::string_view list);

// The exception message of a report: the value of its "exception message" header line,
// trimmed; empty when there is none.
std::string ExceptionMessageOf(std::string_view report);

// A mail text setting ("MailSubj", "MailBody", read through the settings) with
// "%exceptMsg%" replaced by the report's exception message ("Unknown" when it has none)
// and "%bugReport%" by the whole report.
std::string ExpandMailText(std::string_view text, std::string_view report);

}  // namespace userdb::crash
