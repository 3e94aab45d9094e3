// Finding the settings of modules, reading them with their fallbacks, writing them, and
// a caught exception's overlay, over modules that the test makes up.
#include "crash/config/settings_registry.h"

#include <cctype>
#include <thread>

#include <gtest/gtest.h>

#include "crash/config/password_cipher.h"
#include "crash/config/settings_overlay.h"
#include "crash/config/settings_stream_writer.h"
#include "tests/crash/config/property_printer.h"
#include "tests/support/recording_message_box.h"

namespace userdb::crash {

namespace {

struct FakeModule {
  platform::LoadedModule module;
  uintptr_t start = 0, end = 0;       // its code and data
  std::optional<std::string> stream;  // its settings record
  std::string file_version;
};

class FakeCatalog : public ModuleCatalog {
 public:
  // Modules are added in ascending address order.
  void Add(FakeModule module) { modules_.push_back(std::move(module)); }

  std::optional<platform::LoadedModule> ModuleContaining(const void* address) const override {
    const auto at = reinterpret_cast<uintptr_t>(address);
    for (const FakeModule& fake : modules_) {
      if (at >= fake.start && at < fake.end) return fake.module;
    }
    return std::nullopt;
  }

  std::vector<platform::LoadedModule> Modules() const override {
    std::vector<platform::LoadedModule> modules;
    for (const FakeModule& fake : modules_) modules.push_back(fake.module);
    return modules;
  }

  std::optional<std::string> SettingsStream(const platform::LoadedModule& module) const override {
    const std::lock_guard lock(mutex_);
    ++stream_reads_[module.path];
    return Find(module).stream;
  }

  std::string FileVersion(const platform::LoadedModule& module) const override {
    return Find(module).file_version;
  }

  int StreamReads(const std::string& path) const {
    const std::lock_guard lock(mutex_);
    return stream_reads_[path];
  }

 private:
  const FakeModule& Find(const platform::LoadedModule& module) const {
    for (const FakeModule& fake : modules_) {
      if (fake.module.path == module.path) return fake;
    }
    throw std::logic_error("unknown module " + module.path);
  }

  std::vector<FakeModule> modules_;
  mutable std::mutex mutex_;
  mutable std::map<std::string, int> stream_reads_;
};

std::string Stream(std::initializer_list<Property> properties) {
  SettingsStreamWriter writer;
  for (const Property& property : properties) writer.Add(property);
  return writer.Finish();
}

// Whether `text` starts with `shape`, where "d" stands for any digit.
bool HasShape(std::string_view text, std::string_view shape) {
  if (text.size() < shape.size()) return false;
  for (size_t i = 0; i < shape.size(); ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(text[i]));
    if (shape[i] == 'd' ? !digit : text[i] != shape[i]) return false;
  }
  return true;
}

const void* Address(uintptr_t address) {
  return reinterpret_cast<const void*>(address);
}

// The executable at 0x1000, libraries at 0x2000, 0x3000 and 0x4000, each 0x1000 long.
FakeModule Module(const std::string& path, uintptr_t start, std::optional<std::string> stream,
                  std::string file_version = "") {
  return {{path, start, path == "/opt/app/userdb-transform"},
          start,
          start + 0x1000,
          std::move(stream),
          std::move(file_version)};
}

constexpr uintptr_t kInExecutable = 0x1010, kInFirstLibrary = 0x2010, kInSecondLibrary = 0x3010,
                    kInThirdLibrary = 0x4010, kNowhere = 0x9000;

class SettingsRegistryTest : public ::testing::Test {
 protected:
  FakeCatalog catalog_;
  test_support::RecordingMessageBox box_;
  SettingsRegistry registry_{catalog_, box_};
};

TEST_F(SettingsRegistryTest, TheExecutablesOwnSettingsAreTheMainSettings) {
  catalog_.Add(Module("/opt/app/userdb-transform", 0x1000, Stream({TextProperty("Who", "exe")})));
  catalog_.Add(Module("/opt/app/libfirst.so", 0x2000, Stream({TextProperty("Who", "first")})));
  const auto main = registry_.MainSettings();
  ASSERT_TRUE(main);
  EXPECT_EQ(main->ReadText("Who"), "exe");
  EXPECT_EQ(registry_.SettingsFor(Address(kInExecutable)), main);
  EXPECT_EQ(registry_.SettingsFor(Address(kInFirstLibrary))->ReadText("Who"), "first");
}

TEST_F(SettingsRegistryTest, WithoutExecutableSettingsTheFirstModuleInAddressOrderThatHasSome) {
  catalog_.Add(Module("/opt/app/userdb-transform", 0x1000,
                      Stream({TextProperty("Who", "exe"), BooleanProperty("NoSettings", true)})));
  catalog_.Add(Module("/opt/app/libfirst.so", 0x2000, "TPF0 damaged"));
  catalog_.Add(
      Module("/opt/app/libsecond.so", 0x3000,
             Stream({TextProperty("Who", "second"), BooleanProperty("NoSettings", true)})));
  catalog_.Add(Module("/opt/app/libthird.so", 0x4000, Stream({TextProperty("Who", "third")})));
  const auto main = registry_.MainSettings();
  ASSERT_TRUE(main);
  EXPECT_EQ(main->ReadText("Who"), "third");
  // Modules without settings of their own read the main settings.
  for (const uintptr_t address :
       {kInExecutable, kInFirstLibrary, kInSecondLibrary, kInThirdLibrary, kNowhere}) {
    EXPECT_EQ(registry_.SettingsFor(Address(address)), main) << std::hex << address;
  }
}

TEST_F(SettingsRegistryTest, NoModuleWithSettingsLeavesTheProcessWithout) {
  catalog_.Add(Module("/opt/app/userdb-transform", 0x1000, std::nullopt));
  catalog_.Add(
      Module("/opt/app/libfirst.so", 0x2000, Stream({BooleanProperty("NoSettings", true)})));
  EXPECT_EQ(registry_.MainSettings(), nullptr);
  EXPECT_EQ(registry_.SettingsFor(Address(kInExecutable)), nullptr);
  EXPECT_EQ(registry_.SettingsFor(Address(kInFirstLibrary)), nullptr);
  EXPECT_TRUE(box_.Shown().empty());
}

TEST_F(SettingsRegistryTest, AModuleReadsItsListThenTheMainSettingsThenTheDefaults) {
  catalog_.Add(Module("/opt/app/userdb-transform", 0x1000,
                      Stream({TextProperty("Both", "main"), TextProperty("MainOnly", "main"),
                              IntegerProperty("AutoDelay", 5)})));
  catalog_.Add(Module("/opt/app/libfirst.so", 0x2000, Stream({TextProperty("Both", "module")})));
  const auto module = registry_.SettingsFor(Address(kInFirstLibrary));
  const auto main = registry_.SettingsFor(Address(kInExecutable));
  EXPECT_EQ(module->ReadText("Both"), "module");
  EXPECT_EQ(module->ReadText("MainOnly"), "main");
  EXPECT_EQ(module->ReadInteger("AutoDelay"), 5);   // the main settings answer first
  EXPECT_EQ(module->ReadInteger("VersionVar"), 0);  // then the default table
  EXPECT_EQ(main->ReadInteger("AutoDelay"), 5);
  EXPECT_EQ(main->Find("MailFrom"), TextProperty("MailFrom", ""));
  EXPECT_EQ(module->Find("Unknown"), std::nullopt);
  EXPECT_FALSE(module->ReadBoolean("Unknown"));
  EXPECT_EQ(module->ReadInteger("Unknown"), 0);
  EXPECT_EQ(module->ReadText("Unknown"), "");
}

TEST_F(SettingsRegistryTest, TheMainSettingsThemselvesFallBackToTheDefaultTable) {
  catalog_.Add(
      Module("/opt/app/userdb-transform", 0x1000, Stream({BooleanProperty("Enabled", true)})));
  const auto main = registry_.MainSettings();
  EXPECT_EQ(main->ReadInteger("AutoDelay"), 60);
  EXPECT_EQ(main->ReadText("MailFrom"), "");
  EXPECT_EQ(main->ReadText("AddFields"), "");
  EXPECT_EQ(main->ReadInteger("VersionVar"), 0);
}

TEST_F(SettingsRegistryTest, BooleansAndIntegersReadTheirFieldWhateverTheKind) {
  catalog_.Add(Module("/opt/app/userdb-transform", 0x1000,
                      Stream({IntegerProperty("Number", 7), BooleanProperty("Flag", true),
                              TextProperty("Text", "1")})));
  const auto main = registry_.MainSettings();
  EXPECT_FALSE(main->ReadBoolean("Number"));
  EXPECT_EQ(main->ReadInteger("Number"), 7);
  EXPECT_EQ(main->ReadText("Number"), "");
  EXPECT_TRUE(main->ReadBoolean("Flag"));
  EXPECT_EQ(main->ReadInteger("Flag"), 0);
  EXPECT_FALSE(main->ReadBoolean("Text"));
  EXPECT_EQ(main->ReadInteger("Text"), 0);
}

TEST_F(SettingsRegistryTest, AWriteChangesTheModulesSettingsForTheRestOfTheRun) {
  catalog_.Add(
      Module("/opt/app/userdb-transform", 0x1000, Stream({BooleanProperty("AutoSave", true)})));
  catalog_.Add(Module("/opt/app/libfirst.so", 0x2000, Stream({TextProperty("Own", "yes")})));
  const auto main = registry_.MainSettings();
  EXPECT_TRUE(main->WriteBoolean("AutoSave", false));
  EXPECT_FALSE(main->WriteInteger("AutoSave", 1));
  EXPECT_TRUE(main->WriteInteger("AutoDelay", 10));
  EXPECT_FALSE(registry_.SettingsFor(Address(kInExecutable))->ReadBoolean("AutoSave"));
  EXPECT_EQ(registry_.SettingsFor(Address(kInFirstLibrary))->ReadInteger("AutoDelay"), 10);
  EXPECT_FALSE(registry_.SettingsFor(Address(kInFirstLibrary))->ReadBoolean("AutoSave"));
}

TEST_F(SettingsRegistryTest, ParsesEachRecordOnceAndReportsAnUnknownTypeOnce) {
  SettingsStreamWriter writer;
  writer.Add(BooleanProperty("Enabled", true));
  writer.AddRecord("Odd", 0x1F, "");
  writer.Add(BooleanProperty("Lost", true));
  catalog_.Add(Module("/opt/app/userdb-transform", 0x1000, writer.Finish()));
  for (int i = 0; i < 3; ++i) {
    const auto settings = registry_.SettingsFor(Address(kInExecutable));
    ASSERT_TRUE(settings);
    EXPECT_TRUE(settings->ReadBoolean("Enabled"));
    EXPECT_FALSE(settings->ReadBoolean("Lost"));
  }
  EXPECT_EQ(catalog_.StreamReads("/opt/app/userdb-transform"), 1);
  EXPECT_EQ(box_.Shown(), (std::vector<test_support::ShownMessage>{
                              {"Quorvex", "Internal error: Invalid settings resource ($1f).",
                               platform::MessageKind::kError}}));
}

TEST_F(SettingsRegistryTest, SettingsHeldOutliveClearingAndAreReadAgainAfterIt) {
  catalog_.Add(Module("/opt/app/userdb-transform", 0x1000, Stream({TextProperty("Who", "exe")})));
  const auto held = registry_.SettingsFor(Address(kInExecutable));
  held->WriteText("Who", "changed");
  registry_.Clear();
  EXPECT_EQ(held->ReadText("Who"), "changed");
  const auto again = registry_.SettingsFor(Address(kInExecutable));
  EXPECT_NE(again, held);
  EXPECT_EQ(again->ReadText("Who"), "exe");
  EXPECT_EQ(catalog_.StreamReads("/opt/app/userdb-transform"), 2);
}

TEST_F(SettingsRegistryTest, DeciphersTheStoredPasswordsWhenParsing) {
  catalog_.Add(Module(
      "/opt/app/userdb-transform", 0x1000,
      Stream({TextProperty("SmtpServer", "smtp.example.org"), TextProperty("SmtpAccount", "op"),
              TextProperty("SmtpPassword", EncipherPassword("geheim", "op", "smtp.example.org")),
              TextProperty("HttpPassword", "")})));
  const auto main = registry_.MainSettings();
  EXPECT_EQ(main->ReadText("SmtpPassword"), "geheim");
  EXPECT_EQ(main->ReadText("HttpPassword"), "");
}

TEST_F(SettingsRegistryTest, TextsNameTheExecutableAndTheSettingsModule) {
  catalog_.Add(
      Module("/opt/app/userdb-transform", 0x1000,
             Stream({TextProperty("Names", "%appname% %modname% %appversion% %modversion%")}),
             "1.0.1.16"));
  catalog_.Add(
      Module("/opt/app/libfirst.so", 0x2000,
             Stream({TextProperty("Names", "%appname% %modname% %appversion% %modversion%")})));
  EXPECT_EQ(registry_.SettingsFor(Address(kInExecutable))->ReadText("Names"),
            "userdb-transform userdb-transform 1.0.1.16 1.0.1.16");
  EXPECT_EQ(registry_.SettingsFor(Address(kInFirstLibrary))->ReadText("Names"),
            "userdb-transform libfirst.so 1.0.1.16 ?");
}

TEST_F(SettingsRegistryTest, TextsKeepTheReadersPlaceholdersAndExpandTheOthers) {
  catalog_.Add(Module("/opt/app/userdb-transform", 0x1000,
                      Stream({TextProperty("MailBody", "%exceptMsg%%LF%%bugReport%"),
                              TextProperty("When", "%DATE% %time%")})));
  const auto main = registry_.MainSettings();
  EXPECT_EQ(main->ReadText("MailBody"), "%exceptMsg%\r\n%bugReport%");
  EXPECT_TRUE(
      HasShape(main->ReadText("When"), "dddd-dd-dd dd:dd:dd, d"))  // then up to 3 digits, "ms"
      << main->ReadText("When");
  EXPECT_TRUE(main->ReadText("When").ends_with("ms"));
}

TEST_F(SettingsRegistryTest, ReadsFromManyThreadsParseTheRecordOnce) {
  catalog_.Add(
      Module("/opt/app/userdb-transform", 0x1000, Stream({IntegerProperty("Counter", 0)})));
  catalog_.Add(Module("/opt/app/libfirst.so", 0x2000, Stream({TextProperty("Own", "yes")})));
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        const auto settings =
            registry_.SettingsFor(Address(t % 2 ? kInExecutable : kInFirstLibrary));
        settings->ReadText("Own");
        registry_.MainSettings()->WriteInteger("Counter", t);
        settings->ReadInteger("Counter");
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(catalog_.StreamReads("/opt/app/userdb-transform"), 1);
  EXPECT_EQ(catalog_.StreamReads("/opt/app/libfirst.so"), 1);
  const int counter = registry_.MainSettings()->ReadInteger("Counter");
  EXPECT_TRUE(counter >= 0 && counter < 8);
}

class SettingsOverlayTest : public SettingsRegistryTest {
 protected:
  void SetUp() override {
    catalog_.Add(
        Module("/opt/app/userdb-transform", 0x1000,
               Stream({BooleanProperty("PauseThreads", false), BooleanProperty("AutoSave", true),
                       TextProperty("MainOnly", "main"), IntegerProperty("AutoDelay", 20)})));
    catalog_.Add(Module(
        "/opt/app/libfirst.so", 0x2000,
        Stream({TextProperty("TitleBar", "%modname%"), BooleanProperty("AutoSave", false)})));
  }
};

TEST_F(SettingsOverlayTest, StartsEmptyAndTakesWritesForItselfAlone) {
  const auto settings = registry_.SettingsFor(Address(kInExecutable));
  SettingsOverlay first(settings), second(settings);
  EXPECT_FALSE(first.ReadBoolean("PauseThreads"));
  EXPECT_TRUE(first.WriteBoolean("PauseThreads", true));
  EXPECT_TRUE(first.WriteBoolean("PlWaitBox", false));
  EXPECT_TRUE(first.ReadBoolean("PauseThreads"));
  EXPECT_FALSE(second.ReadBoolean("PauseThreads"));
  EXPECT_FALSE(settings->ReadBoolean("PauseThreads"));
  EXPECT_EQ(settings->Find("PlWaitBox"), std::nullopt);
  EXPECT_FALSE(first.WriteInteger("PauseThreads", 1));  // the overlay's own kind rule
}

TEST_F(SettingsOverlayTest, ReadsItsModulesListThenTheDefaultTable) {
  SettingsOverlay overlay(registry_.SettingsFor(Address(kInFirstLibrary)));
  EXPECT_EQ(overlay.Origin().module.path, "/opt/app/libfirst.so");
  EXPECT_FALSE(overlay.ReadBoolean("AutoSave"));
  EXPECT_EQ(overlay.ReadText("TitleBar"), "libfirst.so");
  EXPECT_EQ(overlay.ReadInteger("AutoDelay"), 60);
  EXPECT_EQ(overlay.ReadText("MainOnly"), "");
  SettingsOverlay of_main(registry_.MainSettings());
  EXPECT_EQ(of_main.ReadInteger("AutoDelay"), 20);
  EXPECT_EQ(of_main.ReadText("MainOnly"), "main");
}

TEST_F(SettingsOverlayTest, SeesLaterWritesToItsModule) {
  const auto settings = registry_.SettingsFor(Address(kInExecutable));
  SettingsOverlay overlay(settings);
  settings->WriteBoolean("AutoSave", false);
  EXPECT_FALSE(overlay.ReadBoolean("AutoSave"));
}

}  // namespace

}  // namespace userdb::crash
