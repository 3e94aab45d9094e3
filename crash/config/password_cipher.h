// The cipher of the mail and upload passwords in the settings record.
//
// The record is part of the program file, so a password in it can only be hidden from a
// casual look at the file, not protected: anyone holding the program can decipher it. The
// stored form is the lower-case hexadecimal text of the password's bytes, each combined by
// exclusive or with a key stream: the bytes of a xorshift64* generator seeded with the
// 64-bit FNV-1a hash of the account name, a line feed and the server name. So the same
// password stored for another account or server looks different, and changing the account
// or server of a record makes its stored password unreadable.
#pragma once

#include <string>
#include <string_view>

#include "crash/config/property_list.h"

namespace userdb::crash {

std::string EncipherPassword(std::string_view password, std::string_view account,
                             std::string_view server);

// The password of a stored form; empty for an empty one, and for one that is not
// hexadecimal text of whole bytes.
std::string DecipherPassword(std::string_view stored, std::string_view account,
                             std::string_view server);

// Deciphers, or enciphers, the text of "SmtpPassword" with "SmtpAccount" and "SmtpServer",
// and of "HttpPassword" with "HttpAccount" and "HttpServer", where the list holds them.
void DecipherStoredPasswords(PropertyList& properties);
void EncipherStoredPasswords(PropertyList& properties);

}  // namespace userdb::crash
