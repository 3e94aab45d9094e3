#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry/regedit_reader.h"
#include "platform/registry/regedit_writer.h"
#include "tests/platform/registry/registry_value_printer.h"
#include "tests/support/temp_folder.h"

namespace userdb::registry {

namespace {

using namespace std::string_literals;
using test_support::ReadFile;

const std::string kFixtures = REGISTRY_FIXTURES;

RegistryValue Value(const Hive& hive, const std::string& key, const std::string& name) {
  const RegistryKey* found = hive.FindKey(key);
  if (found == nullptr) ADD_FAILURE() << "no key " << key;
  const RegistryValue* value = found ? found->FindValue(name) : nullptr;
  if (value == nullptr) {
    ADD_FAILURE() << "no value " << name << " in " << key;
    return {};
  }
  return *value;
}

TEST(RegeditReaderTest, HandWrittenFileGivesEachValueItsType) {
  const Hive hive = ParseRegeditFile(ReadFile(kFixtures + "/handwritten.reg"));

  EXPECT_EQ(Value(hive, "Software\\ZID\\DefaultUserbinPath", "Path"),
            (RegistryValue{"Path", registry_type::kString, "/home/j\xFCrgen/radio/\0"s}));
  EXPECT_EQ(Value(hive, "Software\\ZID\\RadioType", "Type"),
            (RegistryValue{"Type", registry_type::kDword, "\1\0\0\0"s}));
  // A section in other letter case names the same keys.
  EXPECT_EQ(Value(hive, "Software\\ZID\\LineType", "Format"),
            (RegistryValue{"Format", registry_type::kDword, "\xFF\xFF\xFF\xFF"}));

  const std::string odd = "Software\\ZID\\Odd";
  EXPECT_EQ(Value(hive, odd, ""), (RegistryValue{"", registry_type::kString, "default\0"s}));
  EXPECT_EQ(Value(hive, odd, "Say \"hi\""),
            (RegistryValue{"Say \"hi\"", registry_type::kString, "C:\\data\\\0"s}));
  EXPECT_EQ(Value(hive, odd, "Home"),
            (RegistryValue{"Home", registry_type::kExpandString, "%HOME%/x\0"s}));
  std::string blob;
  for (char byte = 0; byte < 0x1A; ++byte) blob += byte;
  EXPECT_EQ(Value(hive, odd, "Blob"), (RegistryValue{"Blob", registry_type::kBinary, blob}));
  EXPECT_EQ(Value(hive, odd, "Big"),
            (RegistryValue{"Big", 0xB, "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F"}));
  EXPECT_EQ(Value(hive, odd, "Empty"), (RegistryValue{"Empty", registry_type::kBinary, ""}));
  EXPECT_EQ(Value(hive, odd, "Strange"), (RegistryValue{"Strange", 0x12345678, "\xAA"}));

  // Parents that the file leaves out exist all the same.
  EXPECT_NE(hive.FindKey("Software\\ZID"), nullptr);
  EXPECT_EQ(hive.Keys().size(), 7u);
}

TEST(RegeditReaderTest, WindowsExportInUtf16IsTakenInto1252) {
  const Hive hive = ParseRegeditFile(ReadFile(kFixtures + "/windows_export_utf16.reg"));

  EXPECT_EQ(Value(hive, "Software\\ZID\\DefaultUserbinPath", "Path").data,
            "C:\\Users\\J\xFCrgen\\Funk\\\0"s);
  const std::string placement = "Software\\ZID\\FormPosAndSize";
  EXPECT_EQ(Value(hive, placement, "Maximized"),
            (RegistryValue{"Maximized", registry_type::kString, "0\0"s}));
  EXPECT_EQ(Value(hive, placement, "Left"),
            (RegistryValue{"Left", registry_type::kDword, "\x1E\x01\0\0"s}));
  EXPECT_EQ(Value(hive, placement, "Saved").data, "1\0"s);

  // Text that Windows-1252 lacks becomes "?"; the text types' hex data is UTF-16 there.
  const std::string signs = "Software\\ZID\\Zeichen \x80";
  EXPECT_EQ(Value(hive, signs, "Euro \x80"),
            (RegistryValue{"Euro \x80", registry_type::kString, "5 \x80 ?\0"s}));
  EXPECT_EQ(Value(hive, signs, "Expand"), (RegistryValue{"Expand", registry_type::kExpandString,
                                                         "%USERPROFILE%\\\xDC"
                                                         "b\0"s}));
  EXPECT_EQ(Value(hive, signs, "Multi"),
            (RegistryValue{"Multi", registry_type::kMultiString, "a\0b\0\0"s}));
  EXPECT_EQ(Value(hive, signs, "Raw"), (RegistryValue{"Raw", registry_type::kBinary, "\xFC\0"s}));
}

TEST(RegeditReaderTest, WindowsExportInUtf8ReadsWithOrWithoutByteOrderMark) {
  const std::string body =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\ZID\\DefaultUserbinPath]\r\n"
      "\"Path\"=\"/home/j\xC3\xBCrgen/\"\r\n";
  for (const std::string& file : {body, "\xEF\xBB\xBF" + body}) {
    const Hive hive = ParseRegeditFile(file);
    EXPECT_EQ(Value(hive, "Software\\ZID\\DefaultUserbinPath", "Path").data, "/home/j\xFCrgen/\0"s);
  }
}

TEST(RegeditReaderTest, EmptyFileIsAnEmptyHive) {
  EXPECT_EQ(ParseRegeditFile(""), Hive());
  EXPECT_EQ(ParseRegeditFile("REGEDIT4\n"), Hive());
  EXPECT_EQ(ParseRegeditFile("\r\nREGEDIT4"), Hive());
}

std::string Repeated(const std::string& text, int times) {
  std::string repeated;
  for (int i = 0; i < times; ++i) repeated += text;
  return repeated;
}

const std::string kBeyondTheLimits =
    "line 2: a key deeper than 512 levels or with a name of more than 255 characters";

// The registry's limits keep a hostile file from making keys whose paths, each stored
// whole, would fill the memory: 200 KB of nested keys would otherwise be 10 GB of paths.
TEST(RegeditReaderTest, KeysUpToTheRegistrysLimitsAreRead) {
  const std::string deepest = Repeated("\\k", 512);
  const Hive deep = ParseRegeditFile("REGEDIT4\n[HKEY_CURRENT_USER" + deepest + "]\n");
  EXPECT_EQ(deep.Keys().size(), 513u);
  EXPECT_NE(deep.FindKey(deepest), nullptr);
  const std::string longest(255, 'n');
  const Hive wide = ParseRegeditFile("REGEDIT4\n[HKEY_CURRENT_USER\\" + longest + "]\n");
  EXPECT_NE(wide.FindKey(longest), nullptr);
}

TEST(RegeditReaderTest, DamagedFilesNameTheLineAndWhatIsWrong) {
  const struct {
    std::string file;
    std::string message;
  } cases[] = {
      {"\xFF\x00garbage", "line 1: not a registry file (no \"REGEDIT4\" header)"},
      {"\n\nREGEDIT 4\n", "line 3: not a registry file (no \"REGEDIT4\" header)"},
      {"REGEDIT4\n\"Type\"=dword:1\n", "line 2: a value before the first key"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n", "line 2: a key outside HKEY_CURRENT_USER"},
      {"REGEDIT4\n[HKEY_CURRENT_USERS\\X]\n", "line 2: a key outside HKEY_CURRENT_USER"},
      {"REGEDIT4\n[-HKEY_CURRENT_USER\\X]\n", "line 2: a key deletion"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\X\n", "line 2: a key without its closing \"]\""},
      {"REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=-\n", "line 3: a value deletion"},
      {"REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=\"C:\\data\"\n",
       "line 3: a \"\\\" that escapes neither \"\\\" nor a quote"},
      {"REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=\"open\n", "line 3: a text without its closing quote"},
      {"REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=\"x\" y\n", "line 3: text after the closing quote"},
      {"REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\" dword:1\n", "line 3: a value name without \"=\""},
      {"REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=dword:123456789\n",
       "line 3: a dword that is not 1 to 8 hexadecimal digits"},
      {"REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=dword:\n",
       "line 3: a dword that is not 1 to 8 hexadecimal digits"},
      {"REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=hex:01,2g\n",
       "line 3: a hex byte that is not 1 to 2 hexadecimal digits"},
      {"REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=hex:01,\\\n  100\n",
       "line 3: a hex byte that is not 1 to 2 hexadecimal digits"},
      {"REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=hex(x):01\n",
       "line 3: a type number that is not 1 to 8 hexadecimal digits"},
      {"REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=hex(2:01\n", "line 3: a hex type without \"):\""},
      {"REGEDIT4\n[HKEY_CURRENT_USER]\n\"a\"=12\n", "line 3: a value of unknown form"},
      {"REGEDIT4\n[HKEY_CURRENT_USER]\nType=dword:1\n", "line 3: neither a key nor a value"},
      {"REGEDIT4\n[HKEY_CURRENT_USER" + Repeated("\\k", 513) + "]\n", kBeyondTheLimits},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\" + std::string(256, 'n') + "]\n", kBeyondTheLimits},
  };
  for (const auto& c : cases) {
    try {
      ParseRegeditFile(c.file);
      ADD_FAILURE() << "accepted: " << c.file;
    } catch (const DamagedRegistryFile& damage) {
      EXPECT_EQ(damage.Message(), c.message) << c.file;
    }
  }
}

TEST(RegeditWriterTest, CommonValuesReadAsTheRegistryEditorWritesThem) {
  Hive hive;
  RegistryKey& key = hive.CreateKey("Software\\ZID\\Demo");
  key.SetValue({"Path", registry_type::kString, "C:\\data\\ \"x\"\0"s});
  key.SetValue({"Type", registry_type::kDword, DwordData(0xFFFFFFF9)});
  key.SetValue({"", registry_type::kExpandString, "%HOME%\0"s});
  key.SetValue({"Bin", registry_type::kBinary, "\x01\xAB"});
  key.SetValue({"Other", 0x1B, ""});

  EXPECT_EQ(FormatRegedit4(hive),
            "REGEDIT4\n"
            "\n[HKEY_CURRENT_USER\\Software]\n"
            "\n[HKEY_CURRENT_USER\\Software\\ZID]\n"
            "\n[HKEY_CURRENT_USER\\Software\\ZID\\Demo]\n"
            "\"Path\"=\"C:\\\\data\\\\ \\\"x\\\"\"\n"
            "\"Type\"=dword:fffffff9\n"
            "@=hex(2):25,48,4f,4d,45,25,00\n"
            "\"Bin\"=hex:01,ab\n"
            "\"Other\"=hex(1b):\n");
}

TEST(RegeditWriterTest, LongHexListsAreBrokenIntoLinesOfAtMost80Characters) {
  Hive hive;
  hive.CreateKey("K").SetValue({"Blob", registry_type::kBinary, std::string(300, '\x5A')});
  const std::string text = FormatRegedit4(hive);
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
  }
  EXPECT_EQ(ParseRegeditFile(text), hive);
}

// Whatever a value holds, the file gives it back byte for byte with its type.
TEST(RegeditWriterTest, EveryValueReadsBackAsWritten) {
  const std::vector<RegistryValue> values = {
      {"plain", registry_type::kString, "text\0"s},
      {"empty text", registry_type::kString, "\0"s},
      {"high bytes \xE4\xF6\xFC", registry_type::kString, "\x80\xA0\xFF\0"s},
      {"quotes \"and\\ back\\slashes\\", registry_type::kString, "\\\"\\\\\"\0"s},
      {"no terminating zero", registry_type::kString, "abc"},
      {"zero inside", registry_type::kString, "a\0b\0"s},
      {"no data", registry_type::kString, ""},
      {"line break", registry_type::kString, "a\r\nb\0"s},
      {"", registry_type::kString, "default\0"s},
      {"expand", registry_type::kExpandString, "%PATH%\0"s},
      {"dword", registry_type::kDword, DwordData(300)},
      {"short dword", registry_type::kDword, "\x2C\x01"},
      {"long dword", registry_type::kDword, "12345"},
      {"binary", registry_type::kBinary, "\0\1\2\xFF"s},
      {"empty binary", registry_type::kBinary, ""},
      {"multi", registry_type::kMultiString, "a\0b\0\0"s},
      {"none", 0, "x"},
      {"largest type", 0xFFFFFFFF, "\x10"},
  };
  Hive hive;
  hive.CreateKey("Software\\Empty key");
  for (const RegistryValue& value : values) hive.CreateKey("Software\\Values").SetValue(value);
  hive.CreateKey("").SetValue({"at the root", registry_type::kDword, DwordData(1)});

  const Hive read = ParseRegeditFile(FormatRegedit4(hive));
  EXPECT_EQ(read.FindKey("Software\\Values")->Values(), values);
  EXPECT_EQ(read, hive);
}

}  // namespace

}  // namespace userdb::registry
