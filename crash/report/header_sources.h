// Where the header of a bug report gets its values on this system. Each gives an empty text
// when its value cannot be obtained (the header then leaves the line out).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace userdb::crash {

std::string ComputerName();  // the host name
// The address of the SSH client when the program runs in a remote session.
std::string RemoteClientName();
// The login name of the user, followed by "  <admin>" for root or a member of sudo, wheel
// or admin.
std::string UserNameText();
// PRETTY_NAME of /etc/os-release, " x64", " build " and the kernel release.
std::string OperatingSystemText();
std::string OperatingSystemFrom(std::string_view os_release, std::string_view kernel_release);
// The English name of the language of the system's default locale.
std::string SystemLanguage();
std::string LanguageNameOf(std::string_view locale_name);  // "de_DE.UTF-8" gives "German"
uint64_t SystemUpTimeSeconds();                            // 0 when it cannot be read
// ("processor", name) for one processor, ("processors", "<n>x <name>") for more.
std::pair<std::string, std::string> ProcessorsEntry();
std::pair<std::string, std::string> ProcessorsFrom(std::string_view cpuinfo);
// "<available>/<total> MB (free/total)".
std::string PhysicalMemoryText();
std::string PhysicalMemoryFrom(std::string_view meminfo);
// "(/) 12,34 GB", and " (<mount point>) <size>" for the executable's file system when that
// is another one.
std::string FreeDiskSpaceText(const std::string& executable, std::string_view decimal_separator);
// "1920x1080, 24 bit" for the X screen; empty without an X server.
std::string DisplayModeText();
// The process's anonymous resident memory as a size.
std::string AllocatedMemoryText(std::string_view decimal_separator);
// The whole command line, only when the program was started with parameters.
std::string CommandLineText();
// The file's last-write time: "2024-03-07 14:05".
std::string FileDateTimeText(const std::string& path);
// The compiler of this build and its version: "g++ 12.2.0".
std::string CompilerText();

}  // namespace userdb::crash
