// Writes a realistic user database of invented people to standard output: DMR IDs with
// their country's prefix, callsigns, names with Windows-1252 letters, cities, states,
// sometimes a nickname, CR LF line ends. With --defects it mixes in what real files
// hold too: quoted fields, parentheses, short IDs, lines with too few fields, empty
// lines. With --csv it writes the CSV export of radioid.net instead (a header naming the
// columns, UTF-8, fields quoted where they hold a comma, a quote or a line break); with
// --scripts one name in ten is written in letters beyond ASCII (Latin, Cyrillic, Greek)
// and every other name in ASCII, all in UTF-8.
//
//   generate_userdb LINES [SEED] [--defects] [--header] [--csv] [--scripts]
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kExitUsage = 2;

constexpr char kUsage[] =
    "Usage: generate_userdb LINES [SEED] [--defects] [--header]\n"
    "       generate_userdb LINES [SEED] [--defects] [--csv] [--scripts]\n"
    "\n"
    "Writes a user database of LINES invented contacts to standard output, with CR LF line\n"
    "ends and Windows-1252 letters; the same SEED (a whole number, 1 unless given) gives\n"
    "the same database.\n"
    "\n"
    "  --defects  mix in what real files hold too: quoted fields, parentheses, short IDs,\n"
    "             lines with too few fields, empty lines\n"
    "  --header   begin with the header line of an exported database\n"
    "  --csv      write the radioid.net CSV export (UTF-8) instead; with --defects it\n"
    "             holds short IDs, records short of a column, empty lines and quoted\n"
    "             commas, quotes and line breaks\n"
    "  --scripts  one name in ten in Latin letters with accents, Cyrillic or Greek, the\n"
    "             others in ASCII; all text in UTF-8\n"
    "  --help     show this text\n";

struct Options {
  bool help = false;
  uint64_t lines = 0;
  uint64_t seed = 1;
  bool defects = false;
  bool header = false;
  bool csv = false;
  bool scripts = false;
};

// A command line that cannot be understood, with the reason.
struct UsageError {
  std::string message;
};

// A whole decimal number of digits alone; nothing for anything else or one too large.
std::optional<uint64_t> WholeNumber(std::string_view text) {
  uint64_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return number;
}

Options ParseOptions(const std::vector<std::string_view>& arguments) {
  Options options;
  std::vector<std::string_view> numbers;
  for (const std::string_view argument : arguments) {
    if (argument == "--help" || argument == "-h") {
      options.help = true;
      return options;
    }
    if (argument == "--defects") {
      options.defects = true;
    } else if (argument == "--header") {
      options.header = true;
    } else if (argument == "--csv") {
      options.csv = true;
    } else if (argument == "--scripts") {
      options.scripts = true;
    } else if (argument.size() > 1 && argument[0] == '-' &&
               (argument[1] < '0' || argument[1] > '9')) {
      throw UsageError{"unknown option " + std::string(argument)};
    } else {
      numbers.push_back(argument);
    }
  }
  if (numbers.empty()) throw UsageError{"LINES is missing"};
  if (numbers.size() > 2) throw UsageError{"unexpected argument " + std::string(numbers[2])};
  const char* const names[] = {"LINES", "SEED"};
  uint64_t* const values[] = {&options.lines, &options.seed};
  for (size_t i = 0; i < numbers.size(); ++i) {
    const std::optional<uint64_t> number = WholeNumber(numbers[i]);
    if (!number) {
      throw UsageError{std::string(names[i]) + " must be a whole number, not \"" +
                       std::string(numbers[i]) + "\""};
    }
    *values[i] = *number;
  }
  return options;
}

struct Place {
  const char* city;
  const char* state;
};

struct Country {
  const char* name;
  int id_prefix;  // the first three digits of a DMR ID
  const char* call_prefixes[3];
  std::vector<Place> places;
};

const std::vector<Country>& Countries() {
  static const std::vector<Country> countries = {
      {"Germany",
       262,
       {"DL", "DO", "DB"},
       {{"Berlin", "Berlin"},
        {"M\xFCnchen", "Bayern"},
        {"Frankfurt am Main", "Hessen"},
        {"Leipzig", "Sachsen"},
        {"Rostock", "Mecklenburg-Vorpommern"},
        {"Kiel", "Schleswig-Holstein"},
        {"Hannover", "Niedersachsen"},
        {"K\xF6ln", "Nordrhein-Westfalen"},
        {"Mainz", "Rheinland-Pfalz"},
        {"Saarbr\xFC"
         "cken",
         "Saarland"},
        {"Stuttgart", "Baden-Wuerttemberg"},
        {"Erfurt", "Thuringia"},
        {"Magdeburg", "Sachsen-Anhalt"},
        {"Potsdam", "Brandenburg"},
        {"Hamburg", "Hamburg"},
        {"Bremen", "Bremen"}}},
      {"United States",
       310,
       {"K", "W", "N"},
       {{"Springfield", "Illinois"},
        {"Portland", "Oregon"},
        {"Austin", "Texas"},
        {"San Diego", "California"},
        {"Buffalo", "New York"},
        {"Tampa", "Florida"},
        {"Boulder", "Colorado"}}},
      {"Canada",
       302,
       {"VE3", "VA3", "VE7"},
       {{"Toronto", "Ontario"},
        {"Montr\xE9"
         "al",
         "Quebec"},
        {"Vancouver", "British Columbia"}}},
      {"United Kingdom",
       234,
       {"G", "M", "2E0"},
       {{"London", "England"}, {"Glasgow", "Scotland"}, {"Cardiff", "Wales"}}},
      {"France",
       208,
       {"F1", "F4", "F5"},
       {{"Lyon", "Auvergne-Rh\xF4ne-Alpes"},
        {"Nantes", "Pays de la Loire"},
        {"Lille", "Hauts-de-France"}}},
      {"Netherlands",
       204,
       {"PA", "PD", "PE"},
       {{"Utrecht", "Utrecht"}, {"Groningen", "Groningen"}}},
      {"Switzerland", 228, {"HB9", "HB3", "HE9"}, {{"Z\xFCrich", "ZH"}, {"Gen\xE8ve", "GE"}}},
      {"Australia",
       505,
       {"VK2", "VK3", "VK4"},
       {{"Sydney", "New South Wales"}, {"Perth", "Western Australia"}}},
      {"Spain",
       214,
       {"EA1", "EA4", "EA7"},
       {{"Sevilla",
         "Andaluc\xED"
         "a"},
        {"Le\xF3n", "Castilla y Le\xF3n"}}},
      {"Czech Republic",
       230,
       {"OK1", "OK2", "OL"},
       {{"Brno", "Jihomoravsk\xFD"}, {"Praha", "Praha"}}},
  };
  return countries;
}

const char* const kFirstNames[] = {"Hans",
                                   "Anna",
                                   "Peter",
                                   "Julia",
                                   "Klaus-Dieter",
                                   "Monika",
                                   "J\xFCrgen",
                                   "Bj\xF6rn",
                                   "Robert",
                                   "Mary",
                                   "James",
                                   "Linda",
                                   "Pierre",
                                   "Fran\xE7ois",
                                   "Ren\xE9"
                                   "e",
                                   "Jos\xE9",
                                   "Mar\xED"
                                   "a",
                                   "Jan",
                                   "Sanne",
                                   "Ursula",
                                   "Jack",
                                   "Olivia",
                                   "Ji\xF8\xED",
                                   "Lucie",
                                   "Thomas",
                                   "Sabine",
                                   "Stefan",
                                   "Erika",
                                   "William",
                                   "Barbara",
                                   "Chlo\xE9",
                                   "Andr\xE9"};
const char* const kMiddleNames[] = {"Maria", "J.", "Paul", "Anne", "Lee", "de"};
const char* const kLastNames[] = {"M\xFCller",
                                  "Schmidt",
                                  "Schneider",
                                  "Fischer",
                                  "Weber",
                                  "Meyer",
                                  "Wagner",
                                  "Becker",
                                  "Smith",
                                  "Johnson",
                                  "Williams",
                                  "Brown",
                                  "Jones",
                                  "Tremblay",
                                  "Gagnon",
                                  "Dubois",
                                  "Martin",
                                  "Garc\xED"
                                  "a",
                                  "Fern\xE1ndez",
                                  "de Vries",
                                  "Jansen",
                                  "Keller",
                                  "Wilson",
                                  "Nov\xE1k",
                                  "Dvo\xF8\xE1k",
                                  "O'Brien",
                                  "Gro\xDF"
                                  "mann",
                                  "Br\xE4uer",
                                  "Lef\xE8vre"};
const char* const kNicknames[] = {"Bob",  "Jim",   "Hansi", "Anni", "Tom", "Jule",
                                  "Sepp", "Willy", "Kat",   "Max",  "Ben", "Charly"};

// A small, fast, reproducible generator (xorshift64*).
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 2654435761u + 88172645463325252ull) {}
  uint64_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 2685821657736338717ull;
  }
  size_t Below(size_t bound) { return static_cast<size_t>(Next() % bound); }
  bool Chance(int percent) { return Below(100) < static_cast<size_t>(percent); }
  template <typename T, size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(N)];
  }

 private:
  uint64_t state_;
};

std::string Callsign(Random& random, const Country& country) {
  std::string call = country.call_prefixes[random.Below(3)];
  if (call.back() < '0' || call.back() > '9') call += static_cast<char>('0' + random.Below(10));
  for (size_t letters = 2 + random.Below(2); letters > 0; --letters) {
    call += static_cast<char>('A' + random.Below(26));
  }
  return call;
}

// Names in UTF-8 beyond ASCII, for --scripts: Latin letters with accents, Cyrillic, Greek.
struct ScriptName {
  const char* first;
  const char* last;
};
const ScriptName kScriptNames[] = {
    {"\xC5\x81ukasz", "W\xC3\xB3jcik"},    // Łukasz Wójcik
    {"J\xC3\xBCrgen", "Gro\xC3\x9Fmann"},  // Jürgen Großmann
    {"\xC4\x90or\xC4\x91"
     "e",
     "Petrovi\xC4\x87"},                    // Đorđe Petrović
    {"Fran\xC3\xA7ois", "Lef\xC3\xA8vre"},  // François Lefèvre
    {"\xD0\xA1\xD0\xB5\xD1\x80\xD0\xB3\xD0\xB5\xD0\xB9",
     "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2"},  // Сергей Иванов
    {"\xD0\x9E\xD0\xBB\xD1\x8C\xD0\xB3\xD0\xB0",
     "\xD0\x9F\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE\xD0\xB2\xD0\xB0"},  // Ольга Петрова
    {"\xCE\x9F\xCE\xBB\xCE\xB3\xCE\xB1",
     "\xCE\xA0\xCE\xB1\xCF\x80\xCE\xB1\xCE\xB4\xCE\xAC\xCE\xBA\xCE\xB7"},  // Ολγα Παπαδάκη
    {"\xCE\x93\xCE\xB9\xCF\x8E\xCF\x81\xCE\xB3\xCE\xBF\xCF\x82",
     "\xCE\x9D\xCE\xB9\xCE\xBA\xCE\xBF\xCE\xBB\xCE\xAC\xCE\xBF\xCF\x85"},  // Γιώργος Νικολάου
};

bool IsAscii(std::string_view text) {
  for (const char byte : text) {
    if (static_cast<unsigned char>(byte) >= 0x80) return false;
  }
  return true;
}

// The ASCII entries of a table of names.
template <size_t N>
std::vector<const char*> AsciiOnly(const char* const (&names)[N]) {
  std::vector<const char*> ascii;
  for (const char* name : names) {
    if (IsAscii(name)) ascii.push_back(name);
  }
  return ascii;
}

// The tables hold Latin-1 letters only: each byte above 0x7F is its own code point.
std::string Utf8Of1252(std::string_view text) {
  std::string utf8;
  for (const char byte : text) {
    const auto value = static_cast<unsigned char>(byte);
    if (value < 0x80) {
      utf8 += byte;
    } else {
      utf8 += static_cast<char>(0xC0 | (value >> 6));
      utf8 += static_cast<char>(0x80 | (value & 0x3F));
    }
  }
  return utf8;
}

struct Person {
  std::string first;  // with a middle name, sometimes
  std::string last;
};

Person MakePerson(Random& random, bool scripts) {
  if (!scripts) {
    // Drawn in this order, so that a seed gives the databases it always gave.
    Person person;
    person.first = random.Pick(kFirstNames);
    if (random.Chance(15)) person.first += std::string(" ") + random.Pick(kMiddleNames);
    person.last = random.Pick(kLastNames);
    return person;
  }
  if (random.Chance(10)) {
    const ScriptName& name = random.Pick(kScriptNames);
    return {name.first, name.last};
  }
  static const std::vector<const char*> firsts = AsciiOnly(kFirstNames);
  static const std::vector<const char*> lasts = AsciiOnly(kLastNames);
  return {firsts[random.Below(firsts.size())], lasts[random.Below(lasts.size())]};
}

// A field as the CSV export writes it: in quotes, its quotes doubled, when it holds a
// comma, a quote or a line break.
std::string CsvField(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string quoted = "\"";
  for (const char byte : value) {
    if (byte == '"') quoted += '"';
    quoted += byte;
  }
  return quoted + "\"";
}

std::string CsvLine(Random& random, uint64_t serial, const Options& options) {
  const Country& country = Countries()[random.Below(Countries().size())];
  const Place& place = country.places[random.Below(country.places.size())];
  std::string callsign = Callsign(random, country);
  const Person person = MakePerson(random, options.scripts);
  std::vector<std::string> fields = {
      std::to_string(country.id_prefix) + std::to_string(1000 + serial % 9000),
      std::move(callsign),
      options.scripts ? person.first : Utf8Of1252(person.first),
      options.scripts ? person.last : Utf8Of1252(person.last),
      Utf8Of1252(place.city),
      Utf8Of1252(place.state),
      country.name,
      random.Chance(5) ? "DMR, D-STAR" : ""};
  if (options.defects) {
    const size_t kind = random.Below(200);
    if (kind == 0) return "";
    if (kind == 1) fields[0].pop_back();                     // a short ID: ignored
    if (kind == 2) fields.resize(6);                         // short of columns: malformed
    if (kind == 3) fields[7] = "first line\r\nsecond line";  // a line break in quotes
    if (kind == 4) fields[4] += ", " + fields[5];            // a comma in quotes
    if (kind == 5) fields[2] += " \"" + fields[2] + "\"";    // quotes in quotes
  }
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += CsvField(fields[i]);
  }
  return line;
}

std::string Line(Random& random, uint64_t serial, const Options& options) {
  if (options.csv) return CsvLine(random, serial, options);
  const Country& country = Countries()[random.Below(Countries().size())];
  const Place& place = country.places[random.Below(country.places.size())];
  // Drawn in the order they always were.
  std::string callsign = Callsign(random, country);
  const Person person = MakePerson(random, options.scripts);
  std::string nickname = random.Chance(20) ? random.Pick(kNicknames) : "";
  // With --scripts everything is UTF-8.
  const auto text = [&](std::string_view latin1) {
    return options.scripts ? Utf8Of1252(latin1) : std::string(latin1);
  };
  std::vector<std::string> fields = {
      std::to_string(country.id_prefix) + std::to_string(1000 + serial % 9000),
      std::move(callsign),
      person.first + " " + person.last,
      text(place.city),
      text(place.state),
      std::move(nickname),
      country.name};
  const bool defects = options.defects;
  if (defects) {
    const size_t kind = random.Below(200);
    if (kind == 0) return "";
    if (kind == 1) fields[0].pop_back();                 // a short ID: ignored
    if (kind == 2) fields.resize(5);                     // no nickname: a mismatch
    if (kind == 3) fields.resize(6);                     // no country: a mismatch
    if (kind == 4) fields.resize(3);                     // too few fields: skipped
    if (kind == 5) fields[3] += " (" + fields[4] + ")";  // parentheses vanish
    if (kind >= 6 && kind < 12) {
      for (std::string& field : fields) field = "\"" + field + "\"";
    }
  }
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += fields[i];
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    options = ParseOptions(std::vector<std::string_view>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    std::fprintf(stderr,
                 "generate_userdb: %s\nTry 'generate_userdb --help' for more information.\n",
                 error.message.c_str());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  Random random(options.seed);
  std::string out;
  if (options.csv) {
    out += "RADIO_ID,CALLSIGN,FIRST_NAME,LAST_NAME,CITY,STATE,COUNTRY,REMARKS\r\n";
  } else if (options.header) {
    out += "Radio ID,Callsign,Name,City,State,Nickname,Country\r\n";
  }
  for (uint64_t serial = 0; serial < options.lines; ++serial) {
    out += Line(random, serial, options);
    out += "\r\n";
    if (out.size() > (1 << 20)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
