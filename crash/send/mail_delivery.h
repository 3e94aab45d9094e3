// Handing a mail to the desktop, in the two ways the crash reporter tries one after the
// other:
//  - to the user's mail program with its attachments: `xdg-email --utf8 --subject S --body B
//    --attach FILE ... ADDRESS ...`. The mail program opens with the prepared message and
//    the user sends it from there. xdg-email answers only whether it could hand the message
//    on: exit status 0 counts as delivered, anything else (3 when no mail program is
//    installed, after it tried the web browsers) as failed. It has no answer for "the user
//    discarded the message", so a hand-off is never reported as cancelled.
//  - as a "mailto:" line to the desktop's registered mail handler: `xdg-mime query default
//    x-scheme-handler/mailto` names the handler (no name: failed), and `xdg-open LINE`
//    starts it. xdg-open may stay until the mail program ends: the hand-off counts as done
//    once it runs; only an early failure of its own fails it.
#pragma once

#include <chrono>
#include <string>

#include "crash/send/mail_message.h"

namespace userdb::crash {

struct MailPrograms {
  std::string search_path;  // where the xdg tools are looked for, as PATH lists folders
  // How long the mail program may take to take the message. xdg-email may wait for a
  // mail program it started; at the limit it is left running (it may hold the user's
  // message) and the hand-off counts as failed.
  std::chrono::milliseconds mail_program_limit{60000};
  std::chrono::milliseconds query_limit{5000};  // xdg-mime, stopped at its limit
  // How long xdg-open is watched for a failure of its own before it counts as started.
  std::chrono::milliseconds open_watch{3000};

  // The programs on this process's PATH.
  static MailPrograms FromEnvironment();
};

// The message to the mail program with its attachments, each given under its send-as
// name (a file whose name differs is linked or copied under that name into
// `attachment_folder`, a folder of the caller's that ends with "/"). Recipients are the
// addresses of the entries of MailMessage::recipients that hold an "@". Texts go as UTF-8.
// Tells whether the mail program took the message.
bool HandToMailProgram(const MailMessage& message, const std::string& attachment_folder,
                       const MailPrograms& programs);

// Starts the desktop's mail handler with `mailto_line` (see MailtoLine); tells whether
// it started.
bool HandToMailtoHandler(const std::string& mailto_line, const MailPrograms& programs);

}  // namespace userdb::crash
