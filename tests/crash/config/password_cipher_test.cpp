#include "crash/config/password_cipher.h"

#include <gtest/gtest.h>

#include "tests/crash/config/property_printer.h"

namespace userdb::crash {

namespace {

using namespace std::string_literals;

// The stored form is kept in program files: it must never change. The values were worked out
// apart from this code, from the description of the form in password_cipher.h.
TEST(PasswordCipher, StoresTheKnownForm) {
  struct Case {
    const char* password;
    const char* account;
    const char* server;
    const char* stored;
  } cases[] = {
      {"geheim", "operator", "smtp.example.org", "6b9b75109b41"},
      {"p\xE4ss", "", "", "e4cb028d"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EncipherPassword(c.password, c.account, c.server), c.stored) << c.password;
    EXPECT_EQ(DecipherPassword(c.stored, c.account, c.server), c.password) << c.stored;
  }
}

TEST(PasswordCipher, DeciphersWhatItEnciphered) {
  for (const std::string& password :
       {"geheim"s, "p\xE4ss w\xF6rd!"s, "a\0b"s, std::string(300, 'x')}) {
    const std::string stored = EncipherPassword(password, "operator", "smtp.example.org");
    EXPECT_EQ(stored.size(), password.size() * 2);
    EXPECT_EQ(stored.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(DecipherPassword(stored, "operator", "smtp.example.org"), password);
  }
}

TEST(PasswordCipher, DependsOnAccountAndServer) {
  const std::string stored = EncipherPassword("geheim", "operator", "smtp.example.org");
  EXPECT_NE(stored, EncipherPassword("geheim", "operatoR", "smtp.example.org"));
  EXPECT_NE(stored, EncipherPassword("geheim", "operator", "smtp.example.com"));
  // The separator keeps "ab" + "c" apart from "a" + "bc".
  EXPECT_NE(EncipherPassword("geheim", "ab", "c"), EncipherPassword("geheim", "a", "bc"));
  EXPECT_NE(DecipherPassword(stored, "other", "smtp.example.org"), "geheim");
}

TEST(PasswordCipher, AnEmptyStoredPasswordStaysEmpty) {
  EXPECT_EQ(EncipherPassword("", "operator", "smtp.example.org"), "");
  EXPECT_EQ(DecipherPassword("", "operator", "smtp.example.org"), "");
  EXPECT_EQ(DecipherPassword("", "", ""), "");
}

TEST(PasswordCipher, AStoredFormThatIsNotHexadecimalBytesReadsEmpty) {
  for (const char* stored : {"abc", "zz", "0g", "12 4"})
    EXPECT_EQ(DecipherPassword(stored, "a", "s"), "") << stored;
  EXPECT_EQ(DecipherPassword(EncipherPassword("Ab", "a", "s").c_str(), "a", "s"), "Ab");
}

TEST(StoredPasswords, EachPasswordIsKeyedByItsOwnAccountAndServer) {
  PropertyList list;
  list.Append(TextProperty("SmtpServer", "smtp.example.org"));
  list.Append(TextProperty("SmtpAccount", "operator"));
  list.Append(TextProperty("SmtpPassword", "geheim"));
  list.Append(TextProperty("HttpPassword", "p\xE4ss"));  // no account, no server
  list.Append(TextProperty("MailAddr", "a@b.c"));
  EncipherStoredPasswords(list);
  // The known forms of the two passwords (see above).
  EXPECT_EQ(list.Find("SmtpPassword")->text_value, "6b9b75109b41");
  EXPECT_EQ(list.Find("HttpPassword")->text_value, "e4cb028d");
  EXPECT_EQ(list.Find("MailAddr")->text_value, "a@b.c");
  DecipherStoredPasswords(list);
  EXPECT_EQ(list.Find("SmtpPassword")->text_value, "geheim");
  EXPECT_EQ(list.Find("HttpPassword")->text_value, "p\xE4ss");
}

TEST(StoredPasswords, APasswordThatIsNoTextIsLeftAlone) {
  PropertyList list;
  list.Append(IntegerProperty("SmtpPassword", 1234));
  DecipherStoredPasswords(list);
  EXPECT_EQ(list.Items(), std::vector<Property>{IntegerProperty("SmtpPassword", 1234)});
}

}  // namespace

}  // namespace userdb::crash
