// Writes a realistic user database of invented people to standard output: DMR IDs with
// their country's prefix, callsigns, names with Windows-1252 letters, cities, states,
// sometimes a nickname, CR LF line ends. With --defects it mixes in what real files
// hold too: quoted fields, parentheses, short IDs, lines with too few fields, empty
// lines.
//
//   generate_userdb LINES [SEED] [--defects] [--header]
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
    "\n"
    "Writes a user database of LINES invented contacts to standard output, with CR LF line\n"
    "ends and Windows-1252 letters; the same SEED (a whole number, 1 unless given) gives\n"
    "the same database.\n"
    "\n"
    "  --defects  mix in what real files hold too: quoted fields, parentheses, short IDs,\n"
    "             lines with too few fields, empty lines\n"
    "  --header   begin with the header line of an exported database\n"
    "  --help     show this text\n";

struct Options {
  bool help = false;
  uint64_t lines = 0;
  uint64_t seed = 1;
  bool defects = false;
  bool header = false;
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

std::string Name(Random& random) {
  std::string name = random.Pick(kFirstNames);
  if (random.Chance(15)) name += std::string(" ") + random.Pick(kMiddleNames);
  return name + " " + random.Pick(kLastNames);
}

std::string Line(Random& random, uint64_t serial, bool defects) {
  const Country& country = Countries()[random.Below(Countries().size())];
  const Place& place = country.places[random.Below(country.places.size())];
  std::string id = std::to_string(country.id_prefix) + std::to_string(1000 + serial % 9000);
  std::vector<std::string> fields = {id,           Callsign(random, country),
                                     Name(random), place.city,
                                     place.state,  random.Chance(20) ? random.Pick(kNicknames) : "",
                                     country.name};
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
  if (options.header) out += "Radio ID,Callsign,Name,City,State,Nickname,Country\r\n";
  for (uint64_t serial = 0; serial < options.lines; ++serial) {
    out += Line(random, serial, options.defects);
    out += "\r\n";
    if (out.size() > (1 << 20)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
