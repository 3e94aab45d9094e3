// The Debian package built from this tree (debian/build-from-tree), as a user meets it: its
// files in their places, its programs stripped of their debug information (which went into the
// -dbgsym package) but still carrying their packed symbols, and the programs run from a
// scratch root (dpkg -x) as an ordinary user, whose files go into $XDG_STATE_HOME: userdb2csv
// converts the sample database, and the failures that the tests' hook causes are reported with
// the names of the programs' own functions, by the crash helper from libexec for the window.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "platform/module_section.h"
#include "tests/crash/capture/failing_program.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unprivileged_child.h"

namespace userdb::test_support {
namespace {

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string Architecture() {
  return Trimmed(RunProgram({"/usr/bin/env", "dpkg", "--print-architecture"}).out);
}

// The package file named `name` in the folder where the package was built, for this tree's
// version (the project's, which the programs' version record carries).
std::string PackageFile(const std::string& name) {
  return std::string(PACKAGE_FOLDER) + "/" + name + "_" + PROJECT_VERSION + "_" + Architecture() +
         ".deb";
}

// The package unpacked into a scratch root, as dpkg would install it, once for all tests.
const TempFolder& InstalledRoot() {
  static const TempFolder* root = [] {
    auto* folder = new TempFolder;
    const ProgramResult unpacked =
        RunProgram({"/usr/bin/env", "dpkg", "-x", PackageFile("userdb-transform"), folder->Path()});
    EXPECT_EQ(unpacked.exit_code, 0) << unpacked.err;
    // dpkg -x gives the root the package's mode of "./"; the programs' folder takes no files
    // from their user, also when the tests run as the owner of the scratch root.
    chmod(folder->Path().c_str(), 0755);
    chmod((*folder / "usr/bin").c_str(), 0555);
    return folder;
  }();
  return *root;
}

std::string Installed(const std::string& path) {
  return InstalledRoot() / path;
}

// The regular files of a package with their modes and owners ("-rwxr-xr-x root/root").
std::map<std::string, std::string> PackageFiles(const std::string& package) {
  const ProgramResult listing = RunProgram({"/usr/bin/env", "dpkg-deb", "-c", package});
  EXPECT_EQ(listing.exit_code, 0) << listing.err;
  std::map<std::string, std::string> files;
  std::stringstream lines(listing.out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("-")) continue;
    std::stringstream fields(line);
    std::string mode, owner, size, date, time, path;
    fields >> mode >> owner >> size >> date >> time >> path;
    files[path] = mode + " " + owner;
  }
  return files;
}

std::string ControlField(const std::string& package, const std::string& field) {
  return Trimmed(RunProgram({"/usr/bin/env", "dpkg-deb", "-f", package, field}).out);
}

TEST(InstalledPackage, HoldsTheProgramsAndTheirDocumentsInTheirPlaces) {
  const std::string program = "-rwxr-xr-x root/root";
  const std::string document = "-rw-r--r-- root/root";
  const std::map<std::string, std::string> expected = {
      {"./usr/bin/userdb-transform", program},
      {"./usr/bin/userdb2csv", program},
      {"./usr/bin/userdb-trace", program},
      {"./usr/libexec/userdb-transform/userdb-crash-helper", program},
      {"./usr/share/applications/userdb-transform.desktop", document},
      {"./usr/share/icons/hicolor/scalable/apps/userdb-transform.svg", document},
      {"./usr/share/metainfo/org.example.userdb_transform.metainfo.xml", document},
      {"./usr/share/man/man1/userdb-transform.1.gz", document},
      {"./usr/share/man/man1/userdb2csv.1.gz", document},
      {"./usr/share/man/man1/userdb-trace.1.gz", document},
      {"./usr/share/bash-completion/completions/userdb2csv", document},
      {"./usr/share/doc/userdb-transform/changelog.gz", document},
      {"./usr/share/doc/userdb-transform/copyright", document},
  };
  EXPECT_EQ(PackageFiles(PackageFile("userdb-transform")), expected);
}

// What the package installs of the documents is what the tests of the documents check in the
// tree: the pages (compressed now) render without warnings, the metadata validates.
TEST(InstalledPackage, ItsManualPagesRenderAndItsDesktopMetadataValidates) {
  for (const char* page : {"userdb-transform.1.gz", "userdb2csv.1.gz", "userdb-trace.1.gz"}) {
    const ProgramResult rendered =
        RunProgram({"/usr/bin/env", "MANWIDTH=80", "LC_ALL=C.UTF-8", "man", "--warnings", "-l",
                    Installed("usr/share/man/man1/" + std::string(page))});
    EXPECT_EQ(rendered.exit_code, 0) << page;
    EXPECT_EQ(rendered.err, "") << page;
    EXPECT_NE(rendered.out.find("userdb-transform " PROJECT_VERSION), std::string::npos) << page;
  }
  const ProgramResult entry =
      RunProgram({"/usr/bin/env", "desktop-file-validate",
                  Installed("usr/share/applications/userdb-transform.desktop")});
  EXPECT_EQ(entry.exit_code, 0) << entry.out << entry.err;
  const ProgramResult metainfo =
      RunProgram({"/usr/bin/env", "appstreamcli", "validate", "--no-net", "--pedantic",
                  Installed("usr/share/metainfo/org.example.userdb_transform.metainfo.xml")});
  EXPECT_EQ(metainfo.exit_code, 0) << metainfo.out << metainfo.err;
}

TEST(InstalledPackage, TakesItsVersionFromTheProgramsAndItsLibrariesFromTheirLinks) {
  const std::string package = PackageFile("userdb-transform");
  const ProgramResult version = RunProgram({Installed("usr/bin/userdb2csv"), "--version"});
  EXPECT_EQ(version.out, ControlField(package, "Version") + "\n");
  EXPECT_EQ(ControlField(package, "Architecture"), Architecture());
  // dh_shlibdeps' libraries, and the Qt plugin that no link names.
  const std::string depends = ControlField(package, "Depends");
  for (const char* dependency :
       {"libc6 (>= ", "libqt6widgets6 (>= ", "libdw1 (>= ", "libzydis4", "qt6-qpa-plugins"}) {
    EXPECT_NE(depends.find(dependency), std::string::npos) << depends;
  }
}

// The programs lost their debug information and symbol tables to the -dbgsym package, one debug
// file a program; the two with a crash reporter keep the packed symbols it names them from.
TEST(InstalledPackage, ProgramsAreStrippedIntoTheDbgsymPackageAndKeepTheirPackedSymbols) {
  for (const char* program :
       {"usr/bin/userdb-transform", "usr/bin/userdb2csv", "usr/bin/userdb-trace",
        "usr/libexec/userdb-transform/userdb-crash-helper"}) {
    EXPECT_FALSE(platform::ReadElfSection(Installed(program), ".debug_info")) << program;
    EXPECT_FALSE(platform::ReadElfSection(Installed(program), ".symtab")) << program;
  }
  for (const char* program : {"usr/bin/userdb-transform", "usr/bin/userdb2csv"}) {
    EXPECT_TRUE(platform::ReadElfSection(Installed(program), "TVOSTREL")) << program;
  }
  size_t debug_files = 0;
  for (const auto& [path, mode] : PackageFiles(PackageFile("userdb-transform-dbgsym"))) {
    if (path.starts_with("./usr/lib/debug/.build-id/") && path.ends_with(".debug")) ++debug_files;
  }
  EXPECT_EQ(debug_files, 4u);
}

// A folder for one test in which an ordinary user works: the database, the settings, the
// state folder and the home folder.
class UserFolder {
 public:
  UserFolder() {
    std::filesystem::copy_file(USERDB_SAMPLE_DATABASE, folder_ / "UserDb.bin");
    std::filesystem::copy_file(USERDB_SAMPLE_DATABASE, folder_ / "fail-throw.bin");
    std::filesystem::copy_file(USERDB_SAMPLE_DATABASE, folder_ / "fail-segv.bin");
    for (const char* file : {"UserDb.bin", "fail-throw.bin", "fail-segv.bin"}) {
      chmod((folder_ / file).c_str(), 0666);
    }
  }
  const std::string& Path() const { return folder_.Path(); }
  std::string operator/(std::string_view name) const { return folder_ / name; }
  std::string StateReportFile() const { return folder_ / "state/userdb-transform/bugreport.txt"; }

  // The environment of the user's programs; `hook`: the failure hook preloaded.
  void SetEnvironment(bool hook) const {
    setenv("HOME", (folder_ / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    setenv("XDG_STATE_HOME", (folder_ / "state").c_str(), 1);
    unsetenv("XDG_RUNTIME_DIR");  // the caller's is not the ordinary user's
    if (hook) setenv("LD_PRELOAD", USERDB_FAILURE_HOOK, 1);
  }

 private:
  TempFolder folder_;
};

// Runs `body` in a child as an ordinary user (the tests' unprivileged user when they run as
// root) with the user's environment.
int RunAsUser(const UserFolder& user, bool hook, const std::function<int()>& body) {
  return RunInUnprivilegedChild([&] {
    user.SetEnvironment(hook);
    return body();
  });
}

TEST(InstalledPackage, CommandLineConvertsTheSampleDatabase) {
  UserFolder user;
  EXPECT_EQ(RunAsUser(user, false,
                      [&] {
                        return RunProgram({Installed("usr/bin/userdb2csv"), "--radio", "md2017",
                                           "--format", "compact", user / "UserDb.bin"})
                            .exit_code;
                      }),
            0);
  EXPECT_EQ(ReadFile(user / "contacts_users_293.csv"), ReadFile(SAMPLE_CONTACTS));
}

// The report of a failure names the program's own functions with their units and lines, from
// the packed symbols: the scratch root has no debug files.
void ExpectOwnFunctionsNamed(const std::string& report, const std::string& program,
                             const std::string& unit, const std::string& function) {
  EXPECT_TRUE(std::regex_search(
      report, std::regex(program + "\\.Vostrel +: packed DWARF, build id [0-9a-f]{40}\r\n")))
      << report.substr(0, 3000);
  EXPECT_TRUE(std::regex_search(
      report, std::regex(program + " +" + unit + " +[0-9]+ +\\+[0-9]+ " + function + "\r\n")))
      << report.substr(0, 6000);
}

TEST(InstalledPackage, CommandLineWritesTheReportOfAFaultIntoTheStateFolder) {
  UserFolder user;
  std::string errors;
  const int exit_code = RunAsUser(user, true, [&] {
    const ProgramResult run =
        RunProgram({Installed("usr/bin/userdb2csv"), "--radio", "md2017", user / "fail-segv.bin"});
    WriteFile(user / "errors.txt", run.err);
    return run.exit_code;
  });
  EXPECT_EQ(exit_code, 1);
  EXPECT_NE(ReadFile(user / "errors.txt").find("In der Anwendung trat ein Fehler auf"),
            std::string::npos);
  ASSERT_TRUE(std::filesystem::exists(user.StateReportFile()));
  const std::string report = ReadFile(user.StateReportFile());
  EXPECT_NE(report.find("WriteThroughNull"), std::string::npos);
  ExpectOwnFunctionsNamed(report, "userdb2csv", "conversion_run\\.cpp",
                          "userdb\\.conversion\\.ConversionRun");
  EXPECT_FALSE(std::filesystem::exists(Installed("usr/bin/bugreport.txt")));
}

// The installed window program, started as an ordinary user with the failure hook.
class InstalledWindow {
 public:
  explicit InstalledWindow(const UserFolder& user) {
    pid_ = fork();
    if (pid_ == 0) {
      if (geteuid() == 0 && (setgid(kUnprivilegedId) != 0 || setuid(kUnprivilegedId) != 0)) {
        _exit(125);
      }
      user.SetEnvironment(true);
      setenv("USERDB_CRASH_HELPER_DESCRIBE", (user / "box.txt").c_str(), 1);
      const rlimit no_core{0, 0};
      setrlimit(RLIMIT_CORE, &no_core);
      freopen((user / "out.txt").c_str(), "w", stdout);
      freopen((user / "err.txt").c_str(), "w", stderr);
      const std::string program = Installed("usr/bin/userdb-transform");
      execl(program.c_str(), program.c_str(), nullptr);
      _exit(127);
    }
  }
  ~InstalledWindow() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_;
};

std::string WaitForFile(const std::string& path, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!std::filesystem::exists(path) && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  // The report is appended under a lock; it is whole once its last line is there.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  return std::filesystem::exists(path) ? ReadFile(path) : std::string();
}

TEST(InstalledPackage, WindowShowsTheBoxFromLibexecAndWritesTheReportIntoTheStateFolder) {
  UserFolder user;
  InstalledWindow program(user);
  const std::string window = WaitForWindow("--name '^" + std::string(kWindowTitle) + "$'");
  ASSERT_FALSE(window.empty()) << FileText(user / "err.txt");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  TransformInWindow(window, user / "fail-throw.bin");

  const std::string box = WaitForBox();
  ASSERT_FALSE(box.empty()) << FileText(user / "err.txt");
  EXPECT_EQ(std::filesystem::read_symlink("/proc/" + WindowProcess(box) + "/exe").string(),
            Installed("usr/libexec/userdb-transform/userdb-crash-helper"));
  EXPECT_NE(FileText(user / "box.txt").find("button: Fehlerbericht speichern"), std::string::npos);
  Keys(box, "Escape");  // continue: the report is saved once the box was left

  const std::string report = WaitForFile(user.StateReportFile(), std::chrono::seconds(30));
  ASSERT_FALSE(report.empty()) << FileText(user / "err.txt");
  EXPECT_TRUE(std::regex_search(report, std::regex("\r\nexception class +: TestFailure\r\n")))
      << report.substr(0, 2000);
  EXPECT_NE(report.find("ThrowTestFailure"), std::string::npos);
  ExpectOwnFunctionsNamed(report, "userdb-transform", "main_window\\.cpp",
                          "userdb\\.app\\.TfrmUserDb\\.btnWeiterClick");
  EXPECT_FALSE(std::filesystem::exists(Installed("usr/bin/bugreport.txt")));
}

}  // namespace
}  // namespace userdb::test_support
