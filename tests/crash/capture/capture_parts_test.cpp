// The capture's pieces that need no running crash reporter: class chains, filters, the
// exception-time rule, the signal texts, the box's line breaks and the helper protocol.
#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>

#include "crash/box/box_texts.h"
#include "crash/capture/exception_filter.h"
#include "crash/capture/exception_object.h"
#include "crash/capture/exception_times.h"
#include "crash/capture/helper_box.h"
#include "crash/capture/signal_exception.h"
#include "crash/helper/box_request.h"
#include "crash/helper/helper_protocol.h"
#include "platform/exception.h"

namespace userdb::crash {

namespace {

namespace outer::inner {
class EDBEditError : public Exception {
 public:
  EDBEditError() : Exception("edit") {}
};
class EDerivedEdit : public EDBEditError {};
struct Mixin {
  virtual ~Mixin() = default;
};
class EBoth : public Mixin, public EDerivedEdit {};
}  // namespace outer::inner

TEST(ClassChain, RunsFromTheClassToItsRootsWithoutNamespaces) {
  EXPECT_EQ(ClassChainOf(typeid(outer::inner::EDerivedEdit)),
            (std::vector<std::string>{"EDerivedEdit", "EDBEditError", "Exception", "exception"}));
  EXPECT_EQ(ClassChainOf(typeid(outer::inner::EBoth)),
            (std::vector<std::string>{"EBoth", "Mixin", "EDerivedEdit", "EDBEditError", "Exception",
                                      "exception"}));
  EXPECT_EQ(ClassChainOf(typeid(int)), (std::vector<std::string>{"int"}));
}

TEST(ClassChain, ReadsTheThrownObjectAndItsMessage) {
  const auto failure = std::make_exception_ptr(outer::inner::EDerivedEdit());
  const ThrownObject thrown = ThrownObjectOf(failure);
  ASSERT_NE(thrown.type, nullptr);
  EXPECT_EQ(ClassNameOf(*thrown.type), "EDerivedEdit");
  EXPECT_EQ(MessageOf(failure), "edit");
  EXPECT_EQ(MessageOf(std::make_exception_ptr(std::out_of_range("range"))), "range");
  EXPECT_EQ(MessageOf(std::make_exception_ptr(7)), "");
}

TEST(ExceptionFilter, SplitsItsClassListAtCommasAndTrims) {
  EXPECT_EQ(FilterClasses(" EDBEditError ,  EOther,,"),
            (std::vector<std::string>{"EDBEditError", "EOther"}));
  EXPECT_TRUE(FilterClasses("  ").empty());
}

TEST(ExceptionTimes, TheRuleHoldsForTenExceptionsWithinNSeconds) {
  struct Case {
    int32_t n;
    int added;  // exceptions, one a second, the last at 1000
    int64_t now;
    bool holds;
  };
  const Case cases[] = {
      {0, 10, 1000, false}, {1, 0, 1000, true},  {20, 10, 1000, true}, {20, 9, 1000, false},
      {5, 10, 1000, false}, {9, 10, 1000, true}, {20, 12, 1000, true}, {20, 10, 1030, false},
  };
  for (const Case& c : cases) {
    ExceptionTimes times;
    for (int i = c.added - 1; i >= 0; --i) times.Add(1000 - i);
    EXPECT_EQ(times.RuleHolds(c.n, c.now), c.holds) << c.n << " " << c.added << " " << c.now;
  }
}

TEST(ExceptionTimes, KeepsTheNewestTenNewestFirst) {
  ExceptionTimes times;
  for (int64_t t = 1; t <= 12; ++t) times.Add(t);
  EXPECT_EQ(times.Get(), (ExceptionTimes::Table{12, 11, 10, 9, 8, 7, 6, 5, 4, 3}));
}

TEST(SignalException, NamesTheFaultInGermanWithSixteenDigitAddresses) {
  struct Case {
    SignalMessageFacts facts;
    std::string class_name;
    std::string message;
  };
  const Case cases[] = {
      {{SIGSEGV, SEGV_MAPERR, 0x55d0c1a2b3c4, 0, false, "userdb-transform"},
       "EAccessViolation",
       "Zugriffsverletzung bei Adresse 000055d0c1a2b3c4 in Modul 'userdb-transform'. Lesen von "
       "Adresse 0000000000000000."},
      {{SIGSEGV, SEGV_ACCERR, 0x10, 0x20, true, "m.so"},
       "EAccessViolation",
       "Zugriffsverletzung bei Adresse 0000000000000010 in Modul 'm.so'. Schreiben von Adresse "
       "0000000000000020."},
      {{SIGFPE, FPE_INTDIV, 0x10, 0, false, "m"},
       "EDivByZero",
       "Division durch Null bei Adresse 0000000000000010 in Modul 'm'."},
      {{SIGILL, ILL_ILLOPC, 0x10, 0, false, ""},
       "EIllegalInstruction",
       "Ung\xFCltige Anweisung bei Adresse 0000000000000010."},
      {{SIGABRT, 0, 0x10, 0, false, "libc.so.6"},
       "EProgramAbort",
       "Programmabbruch bei Adresse 0000000000000010 in Modul 'libc.so.6'."},
      {{SIGSEGV, SEGV_ACCERR, 0x10, 0x7f3a1c7feff8, true, "m", false, 0, true},
       "EStackOverflow",
       "Stack-\xDC"
       "berlauf bei Adresse 0000000000000010 in Modul 'm'. Schreiben von Adresse "
       "00007f3a1c7feff8 im Schutzbereich unter dem Stack."},
      // Sent: si_addr holds the sender's ids, which are no address.
      {{SIGSEGV, SI_USER, 0x10, 0x3e800001267, false, "userdb2csv", true, 4711},
       "ESentSignal",
       "Signal SIGSEGV, von Prozess 4711 gesendet, empfangen bei Adresse 0000000000000010 in "
       "Modul 'userdb2csv'."},
      {{SIGFPE, SI_QUEUE, 0x10, 0, false, "", true, 0},
       "ESentSignal",
       "Signal SIGFPE, von au\xDF"
       "en gesendet, empfangen bei Adresse 0000000000000010."},
  };
  for (const Case& c : cases) {
    const ExceptionObject object = SignalExceptionObject(c.facts);
    EXPECT_EQ(object.class_chain, (std::vector<std::string>{c.class_name, "VostrelException"}));
    EXPECT_EQ(object.message, c.message);
  }
}

TEST(SignalException, EverySignalAProcessSentIsReportedAsSentButTheProgramsOwnAbort) {
  struct Case {
    int signal;
    int code;
    pid_t sender;
    bool sent;
  };
  const pid_t self = 100;
  const Case cases[] = {
      {SIGSEGV, SI_USER, 4711, true},   {SIGSEGV, SI_TKILL, self, true},
      {SIGABRT, SI_USER, 4711, true},   {SIGABRT, SI_TKILL, self, false},
      {SIGSEGV, SEGV_MAPERR, 0, false}, {SIGBUS, BUS_ADRERR, 0, false},
      {SIGSEGV, SI_KERNEL, 0, false},   {SIGFPE, SI_QUEUE, 4711, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReportedAsSent(c.signal, c.code, c.sender, self), c.sent)
        << c.signal << " " << c.code << " " << c.sender;
  }
}

TEST(BoxMessageLines, BreaksAfterSentencesAwayFromTheEnds) {
  EXPECT_EQ(BreakMessageLines("Zugriffsverletzung bei Adresse 1. Lesen von Adresse 0000000000."),
            "Zugriffsverletzung bei Adresse 1.\r\nLesen von Adresse 0000000000.");
  EXPECT_EQ(BreakMessageLines("Kurz. Text."), "Kurz. Text.");
  EXPECT_EQ(BreakMessageLines("A sentence that is long. Ends. x"),
            "A sentence that is long. Ends. x");
}

TEST(HelperProtocol, ABoxRequestArrivesAsItWasSent) {
  BoxRequest sent;
  sent.settings.title_bar = "%appname%";
  sent.settings.captions[IndexOf(ButtonKind::kClose)] =
      "Anwendung schlie\xDF"
      "en";
  sent.settings.visible[IndexOf(ButtonKind::kSave)] = true;
  sent.settings.focused_button = 6;
  sent.settings.auto_delay_seconds = 0;
  sent.settings.program_name = "userdb-transform";
  sent.exception = {"Zeile 1\r\nZeile 2", true, false};
  sent.show_setting = 3;
  sent.first_showing = false;
  sent.automatic.restart_holds = true;
  const BoxRequest got = DecodeBoxRequest(EncodeBoxRequest(sent));
  EXPECT_EQ(got.settings.title_bar, sent.settings.title_bar);
  EXPECT_EQ(got.settings.captions, sent.settings.captions);
  EXPECT_EQ(got.settings.visible, sent.settings.visible);
  EXPECT_EQ(got.settings.focused_button, 6);
  EXPECT_EQ(got.settings.auto_delay_seconds, 0);
  EXPECT_EQ(got.settings.program_name, "userdb-transform");
  EXPECT_EQ(got.exception.message, sent.exception.message);
  EXPECT_TRUE(got.exception.frozen);
  EXPECT_FALSE(got.exception.can_continue);
  EXPECT_EQ(got.show_setting, 3);
  EXPECT_FALSE(got.first_showing);
  EXPECT_TRUE(got.automatic.restart_holds);
  EXPECT_FALSE(got.automatic.close_holds);
}

TEST(HelperProtocol, TheReportKeepsItsListsInOrderWithEmptyValues) {
  const ReportContents sent{"text",
                            true,
                            {{"date/time", "1"}, {"empty", ""}, {"computer name", "x"}},
                            {{"main thread ($1a)", "00401000 +0"}, {"modules", ""}}};
  const ReportContents got = DecodeReport(EncodeReport(sent));
  EXPECT_EQ(got.text, "text");
  EXPECT_TRUE(got.complete);
  EXPECT_EQ(got.header, sent.header);
  EXPECT_EQ(got.sections, sent.sections);
}

TEST(HelperProtocol, CarriesAnyBytesWholeEvenInPieces) {
  HelperMessage message{"box", {}};
  message.With("title", "userdb-transform").With("text", "Zeile 1\nZeile\xDF 2\n\n").With("e", "");
  const std::string bytes = EncodeHelperMessage(message) + EncodeHelperMessage({"quit", {}});
  HelperMessageReader reader;
  std::vector<HelperMessage> got;
  for (const char byte : bytes) {
    reader.Feed(std::string_view(&byte, 1));
    while (auto next = reader.Next()) got.push_back(*next);
  }
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].verb, "box");
  EXPECT_EQ(got[0].fields, message.fields);
  EXPECT_EQ(got[0].Field("text"), "Zeile 1\nZeile\xDF 2\n\n");
  EXPECT_EQ(got[1].verb, "quit");
  EXPECT_FALSE(reader.Broken());
}

TEST(HelperProtocol, ABrokenStreamStops) {
  for (const std::string bytes : {"box x\n", "box 1\ntitle 3\nabcX", "box 1\ntitle\n"}) {
    HelperMessageReader reader;
    reader.Feed(bytes);
    EXPECT_FALSE(reader.Next().has_value());
    EXPECT_TRUE(reader.Broken()) << bytes;
  }
}

}  // namespace

}  // namespace userdb::crash
