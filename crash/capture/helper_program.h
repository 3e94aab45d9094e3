// Where the crash reporter finds its crash helper: beside the executable (a build tree, a
// program copied with its helper), or in the installation's folder for programs that are no
// commands for people ("<prefix>/libexec/userdb-transform/" beside "<prefix>/bin/").
#pragma once

#include <string>
#include <string_view>

namespace userdb::crash {

// The crash helper of the executable at `executable_path`: the file beside it when that exists,
// else the installation's file when that exists; without either, the file beside it, so that a
// failed start names where the helper was looked for first.
std::string HelperProgramPathFor(std::string_view executable_path);

// The crash helper of the running executable.
std::string HelperProgramPath();

}  // namespace userdb::crash
