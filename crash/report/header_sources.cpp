#include "crash/report/header_sources.h"

#include <grp.h>
#include <langinfo.h>
#include <locale.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

#include "crash/report/report_entries.h"
#include "crash/report/value_formats.h"
#include "platform/path.h"
#include "platform/system_file.h"

namespace userdb::crash {

namespace {

// The value of a "Name: value" or "Name=value" line of a system file.
std::string FieldValue(std::string_view text, std::string_view name, char separator) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    if (line.starts_with(name)) {
      std::string_view rest = TrimReportValue(line.substr(name.size()));
      if (!rest.empty() && rest.front() == separator) {
        return std::string(TrimReportValue(rest.substr(1)));
      }
    }
    start = end + 1;
  }
  return {};
}

std::string Unquoted(std::string value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

uint64_t KilobytesOf(std::string_view text, std::string_view name) {
  return std::strtoull(FieldValue(text, name, ':').c_str(), nullptr, 10);
}

bool InAdminGroup(const passwd& user) {
  if (user.pw_uid == 0) return true;
  int count = 64;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  if (getgrouplist(user.pw_name, user.pw_gid, groups.data(), &count) < 0) {
    groups.resize(static_cast<size_t>(count));
    if (getgrouplist(user.pw_name, user.pw_gid, groups.data(), &count) < 0) return false;
  }
  groups.resize(static_cast<size_t>(count));
  for (const gid_t group : groups) {
    const struct group* entry = getgrgid(group);
    if (entry == nullptr) continue;
    const std::string_view name = entry->gr_name;
    if (name == "sudo" || name == "wheel" || name == "admin") return true;
  }
  return false;
}

// The mount point of the file system holding `path`: the last folder up from it on the same
// device.
std::string MountPointOf(const std::string& path) {
  struct stat own;
  if (stat(path.c_str(), &own) != 0) return {};
  std::string current = path;
  while (current != "/") {
    std::string parent = platform::FolderPart(current);
    if (parent.size() > 1) parent.pop_back();  // the folder without its final "/"
    if (parent.empty()) parent = "/";
    struct stat above;
    if (stat(parent.c_str(), &above) != 0 || above.st_dev != own.st_dev) return current;
    current = parent;
  }
  return "/";
}

std::string FreeSpaceOf(const std::string& mount_point, std::string_view separator) {
  struct statvfs space;
  if (statvfs(mount_point.c_str(), &space) != 0) return {};
  return "(" + mount_point + ") " +
         FormatSize(static_cast<uint64_t>(space.f_bavail) * space.f_frsize, separator);
}

}  // namespace

std::string ComputerName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

std::string RemoteClientName() {
  const char* connection = std::getenv("SSH_CONNECTION");
  if (connection == nullptr) return {};
  const std::string_view text = connection;
  return std::string(text.substr(0, text.find(' ')));
}

std::string UserNameText() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* user = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &user) != 0 || user == nullptr) {
    return {};
  }
  std::string text = user->pw_name;
  if (InAdminGroup(*user)) text += "  <admin>";
  return text;
}

std::string OperatingSystemFrom(std::string_view os_release, std::string_view kernel_release) {
  std::string name = Unquoted(FieldValue(os_release, "PRETTY_NAME", '='));
  if (name.empty()) name = "Linux";
  return name + " x64 build " + std::string(kernel_release);
}

std::string OperatingSystemText() {
  utsname system{};
  if (uname(&system) != 0) return {};
  auto os_release = platform::ReadSystemFile("/etc/os-release");
  if (!os_release) os_release = platform::ReadSystemFile("/usr/lib/os-release");
  return OperatingSystemFrom(os_release.value_or(""), system.release);
}

std::string LanguageNameOf(std::string_view locale_name) {
  if (locale_name.empty() || locale_name == "C" || locale_name == "POSIX" ||
      locale_name.starts_with("C.")) {
    return "English";
  }
  // The locale's own identification names its language in English, when it is installed.
  const std::string name(locale_name);
  const locale_t locale =
      newlocale(LC_IDENTIFICATION_MASK, name.c_str(), static_cast<locale_t>(nullptr));
  if (locale != static_cast<locale_t>(nullptr)) {
    std::string language = nl_langinfo_l(_NL_IDENTIFICATION_LANGUAGE, locale);
    freelocale(locale);
    if (!language.empty()) return language;
  }
  static constexpr std::pair<std::string_view, std::string_view> kLanguages[] = {
      {"ar", "Arabic"},    {"bg", "Bulgarian"},
      {"ca", "Catalan"},   {"cs", "Czech"},
      {"da", "Danish"},    {"de", "German"},
      {"el", "Greek"},     {"en", "English"},
      {"es", "Spanish"},   {"et", "Estonian"},
      {"fi", "Finnish"},   {"fr", "French"},
      {"he", "Hebrew"},    {"hr", "Croatian"},
      {"hu", "Hungarian"}, {"is", "Icelandic"},
      {"it", "Italian"},   {"ja", "Japanese"},
      {"ko", "Korean"},    {"lt", "Lithuanian"},
      {"lv", "Latvian"},   {"nb", "Norwegian Bokmal"},
      {"nl", "Dutch"},     {"nn", "Norwegian Nynorsk"},
      {"pl", "Polish"},    {"pt", "Portuguese"},
      {"ro", "Romanian"},  {"ru", "Russian"},
      {"sk", "Slovak"},    {"sl", "Slovenian"},
      {"sr", "Serbian"},   {"sv", "Swedish"},
      {"th", "Thai"},      {"tr", "Turkish"},
      {"uk", "Ukrainian"}, {"zh", "Chinese"},
  };
  const std::string_view code = locale_name.substr(0, locale_name.find_first_of("_.@"));
  for (const auto& [known, english] : kLanguages) {
    if (known == code) return std::string(english);
  }
  return {};
}

std::string SystemLanguage() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return LanguageNameOf(value);
  }
  const auto configured = platform::ReadSystemFile("/etc/default/locale");
  if (configured) {
    const std::string lang = Unquoted(FieldValue(*configured, "LANG", '='));
    if (!lang.empty()) return LanguageNameOf(lang);
  }
  return LanguageNameOf("C");
}

uint64_t SystemUpTimeSeconds() {
  const std::string line = platform::ReadSystemFileLine("/proc/uptime");
  return static_cast<uint64_t>(std::strtod(line.c_str(), nullptr));
}

std::pair<std::string, std::string> ProcessorsFrom(std::string_view cpuinfo) {
  size_t count = 0;
  std::string model;
  std::istringstream lines{std::string(cpuinfo)};
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("processor") && line.find(':') != std::string::npos) ++count;
    if (model.empty() && line.starts_with("model name"))
      model = FieldValue(line, "model name", ':');
  }
  if (count == 0 || model.empty()) return {};
  if (count == 1) return {"processor", model};
  return {"processors", std::to_string(count) + "x " + model};
}

std::pair<std::string, std::string> ProcessorsEntry() {
  return ProcessorsFrom(platform::ReadSystemFile("/proc/cpuinfo", 4 << 20).value_or(""));
}

std::string PhysicalMemoryFrom(std::string_view meminfo) {
  const uint64_t total = KilobytesOf(meminfo, "MemTotal");
  const uint64_t available = KilobytesOf(meminfo, "MemAvailable");
  if (total == 0) return {};
  const auto megabytes = [](uint64_t kilobytes) { return (kilobytes + 512) / 1024; };
  return std::to_string(megabytes(available)) + "/" + std::to_string(megabytes(total)) +
         " MB (free/total)";
}

std::string PhysicalMemoryText() {
  return PhysicalMemoryFrom(platform::ReadSystemFile("/proc/meminfo").value_or(""));
}

std::string FreeDiskSpaceText(const std::string& executable, std::string_view decimal_separator) {
  std::string text = FreeSpaceOf("/", decimal_separator);
  const std::string mount_point = MountPointOf(executable);
  if (!mount_point.empty() && mount_point != "/") {
    const std::string other = FreeSpaceOf(mount_point, decimal_separator);
    if (!other.empty()) text += (text.empty() ? "" : " ") + other;
  }
  return text;
}

std::string AllocatedMemoryText(std::string_view decimal_separator) {
  const auto status = platform::ReadSystemFile("/proc/self/status");
  if (!status || FieldValue(*status, "RssAnon", ':').empty()) return {};
  return FormatSize(KilobytesOf(*status, "RssAnon") * 1024, decimal_separator);
}

std::string CommandLineText() {
  const auto bytes = platform::ReadSystemFile("/proc/self/cmdline");
  if (!bytes) return {};
  std::vector<std::string> arguments;
  for (size_t start = 0; start < bytes->size();) {
    const size_t end = bytes->find('\0', start);
    arguments.push_back(bytes->substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (arguments.size() < 2) return {};
  std::string text;
  for (const std::string& argument : arguments) {
    if (!text.empty()) text += ' ';
    const bool quoted = argument.empty() || argument.find(' ') != std::string::npos;
    text += quoted ? "\"" + argument + "\"" : argument;
  }
  return text;
}

std::string FileDateTimeText(const std::string& path) {
  struct stat file;
  if (stat(path.c_str(), &file) != 0) return {};
  tm local{};
  if (localtime_r(&file.st_mtime, &local) == nullptr) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
  return text;
}

std::string CompilerText() {
#if defined(__clang__)
  return "clang++ " + std::to_string(__clang_major__) + "." + std::to_string(__clang_minor__) +
         "." + std::to_string(__clang_patchlevel__);
#elif defined(__GNUC__)
  return "g++ " + std::to_string(__GNUC__) + "." + std::to_string(__GNUC_MINOR__) + "." +
         std::to_string(__GNUC_PATCHLEVEL__);
#else
  return {};
#endif
}

}  // namespace userdb::crash
