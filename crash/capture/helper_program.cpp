#include "crash/capture/helper_program.h"

#include "platform/module_section.h"
#include "platform/path.h"

namespace userdb::crash {

namespace {

constexpr char kHelperName[] = "userdb-crash-helper";
// The installation's folder of the helper, relative to the programs' folder; the build sets it
// from the install directories.
constexpr char kInstalledHelperFolder[] = USERDB_INSTALLED_HELPER_FOLDER;

}  // namespace

std::string HelperProgramPathFor(std::string_view executable_path) {
  const std::string programs = platform::FolderPart(executable_path);
  const std::string beside = programs + kHelperName;
  if (platform::FileExists(beside)) return beside;
  const std::string installed = programs + kInstalledHelperFolder + "/" + kHelperName;
  if (platform::FileExists(installed)) return installed;
  return beside;
}

std::string HelperProgramPath() {
  return HelperProgramPathFor(platform::ExecutablePath());
}

}  // namespace userdb::crash
