// The documents installed with the programs, as a user meets them: the manual pages render
// without warnings and describe every option that the programs' --help names, the bash
// completion offers those options and their values, and the desktop entry and the AppStream
// metadata pass their validators.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace userdb::test_support {
namespace {

// The items of a list joined by "|".
std::vector<std::string> ListOf(const std::string& list) {
  std::vector<std::string> items;
  std::stringstream stream(list);
  for (std::string item; std::getline(stream, item, '|');) {
    if (!item.empty()) items.push_back(item);
  }
  return items;
}

// The page of a program, by its file name without the section.
std::string ManualPage(const std::string& name) {
  for (const std::string& page : ListOf(MANUAL_PAGES)) {
    if (page.ends_with("/" + name + ".1")) return page;
  }
  return {};
}

// The long options ("--name") that a text names.
std::set<std::string> LongOptions(const std::string& text) {
  static const std::regex option("--[a-z][a-z0-9-]*");
  std::set<std::string> options;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
       it != std::sregex_iterator(); ++it) {
    options.insert(it->str());
  }
  return options;
}

// The page's source as its reader sees the names in it: roff's "\-" is a "-".
std::string PageSource(const std::string& page) {
  std::string text = ReadFile(page);
  for (size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at)) {
    text.erase(at, 1);
  }
  return text;
}

// The part of a page's source from the heading `heading` to the next heading.
std::string Section(const std::string& source, const std::string& heading) {
  const size_t start = source.find("\n.SH " + heading + "\n");
  if (start == std::string::npos) return {};
  const size_t end = source.find("\n.SH ", start + 1);
  return source.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

ProgramResult RenderPage(const std::string& page) {
  return RunProgram(
      {"/usr/bin/env", "MANWIDTH=80", "LC_ALL=C.UTF-8", "man", "--warnings", "-l", page});
}

std::string VersionOf(const std::string& program) {
  std::string version = RunProgram({program, "--version"}).out;
  if (!version.empty() && version.back() == '\n') version.pop_back();
  return version;
}

TEST(ManualPages, RenderWithoutWarningsAndCarryTheProgramsVersion) {
  const std::vector<std::string> pages = ListOf(MANUAL_PAGES);
  ASSERT_EQ(pages.size(), BUILD_GUI_PROGRAM ? 3u : 2u);
  const std::string version = VersionOf(USERDB2CSV_PATH);
  ASSERT_FALSE(version.empty());
  for (const std::string& page : pages) {
    const ProgramResult rendered = RenderPage(page);
    EXPECT_EQ(rendered.exit_code, 0) << page;
    EXPECT_EQ(rendered.err, "") << page;
    for (const char* heading : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS",
                                "FILES", "EXAMPLES", "SEE ALSO"}) {
      EXPECT_NE(rendered.out.find("\n" + std::string(heading) + "\n"), std::string::npos)
          << page << " has no " << heading;
    }
    EXPECT_NE(rendered.out.find("userdb-transform " + version), std::string::npos) << page;
    EXPECT_EQ(rendered.out.find('@'), std::string::npos) << page << ": a value left unfilled";
  }
}

// Every long option of --help has its entry under OPTIONS, and the page names no option that
// the program does not take.
TEST(ManualPages, DescribeEveryOptionOfTheProgramsHelp) {
  const struct {
    const char* program;
    const char* page;
  } cases[] = {{USERDB2CSV_PATH, "userdb2csv"}, {USERDB_TRACE_PATH, "userdb-trace"}};
  for (const auto& c : cases) {
    const ProgramResult help = RunProgram({c.program, "--help"});
    ASSERT_EQ(help.exit_code, 0) << c.program;
    const std::set<std::string> options = LongOptions(help.out);
    EXPECT_TRUE(options.contains("--help") && options.contains("--version")) << help.out;
    const std::string source = PageSource(ManualPage(c.page));
    const std::set<std::string> described = LongOptions(Section(source, "OPTIONS"));
    for (const std::string& option : options) {
      EXPECT_TRUE(described.contains(option)) << c.page << " does not describe " << option;
    }
    for (const std::string& named : LongOptions(source)) {
      EXPECT_TRUE(options.contains(named)) << c.page << " names " << named << ", not in --help";
    }
  }
}

TEST(ManualPages, TheWindowProgramsPageSaysItTakesNoOptions) {
  if (!BUILD_GUI_PROGRAM) GTEST_SKIP() << "built without the window program";
  const std::string source = PageSource(ManualPage("userdb-transform"));
  EXPECT_NE(Section(source, "OPTIONS").find("takes no options"), std::string::npos);
  EXPECT_TRUE(LongOptions(Section(source, "OPTIONS")).empty());
}

TEST(ProgramsOptions, HelpAndVersionAnswerOnStandardOutput) {
  for (const char* program : {USERDB2CSV_PATH, USERDB_TRACE_PATH}) {
    const ProgramResult help = RunProgram({program, "--help"});
    EXPECT_EQ(help.exit_code, 0) << program;
    EXPECT_TRUE(help.out.starts_with("Usage: ") || help.out.starts_with("usage: ")) << help.out;
    EXPECT_EQ(help.err, "") << program;
    const ProgramResult version = RunProgram({program, "--version"});
    EXPECT_EQ(version.exit_code, 0) << program;
    EXPECT_EQ(version.out, PROJECT_VERSION "\n") << program;
    EXPECT_EQ(version.err, "") << program;
  }
}

// The words of a command line as bash hands them to a completion function: split at blanks,
// with every "=" a word of its own (it is one of bash's word breaks); a line that ends with a
// blank ends with an empty word, the one being completed.
std::vector<std::string> CompletionWords(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  for (const char c : line) {
    if (c == ' ' || c == '=') {
      if (!word.empty()) words.push_back(word);
      if (c == '=') words.emplace_back("=");
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty() || line.ends_with(' ')) words.push_back(word);
  return words;
}

// What bash-completion offers at the end of the command line `line`, in `folder`, sorted.
std::vector<std::string> Completions(const std::string& line, const std::string& folder) {
  std::string script =
      "source /usr/share/bash-completion/bash_completion\n"
      "source '" BASH_COMPLETION
      "'\n"
      "COMP_WORDS=(";
  const std::vector<std::string> words = CompletionWords(line);
  for (const std::string& word : words) script += "'" + word + "' ";
  script += ")\nCOMP_CWORD=" + std::to_string(words.size() - 1) + "\nCOMP_LINE='" + line +
            "'\nCOMP_POINT=${#COMP_LINE}\n"
            // The function that the file registers for the command.
            "spec=$(complete -p userdb2csv) || exit 3\n"
            "function=${spec##*-F }; function=${function%% *}\n"
            "$function userdb2csv \"${COMP_WORDS[COMP_CWORD]}\" "
            "\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
            "printf '%s\\n' \"${COMPREPLY[@]}\"\n";
  const ProgramResult run = RunProgram({"/bin/bash", "-c", script}, folder);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  std::vector<std::string> offered;
  std::stringstream stream(run.out);
  for (std::string item; std::getline(stream, item);) {
    if (!item.empty()) offered.push_back(item);
  }
  std::sort(offered.begin(), offered.end());
  return offered;
}

TEST(Userdb2csvCompletion, OffersEveryOptionOfTheHelp) {
  TempFolder folder;
  const std::vector<std::string> offered = Completions("userdb2csv --", folder.Path());
  const ProgramResult help = RunProgram({USERDB2CSV_PATH, "--help"});
  EXPECT_EQ(std::set<std::string>(offered.begin(), offered.end()), LongOptions(help.out));
}

TEST(Userdb2csvCompletion, OffersTheValuesOfAnOptionAndInputFiles) {
  TempFolder folder;
  WriteFile(folder / "UserDb.bin", "");
  WriteFile(folder / "notes.txt", "");
  const struct {
    const char* line;
    std::vector<std::string> offered;  // sorted
  } cases[] = {
      {"userdb2csv --radio ", {"md2017", "md9600"}},
      {"userdb2csv --radio=md", {"md2017", "md9600"}},
      {"userdb2csv --format c", {"compact"}},
      {"userdb2csv --format=", {"compact", "field-per-line"}},
      {"userdb2csv --text ", {"ascii", "cp1252", "keep"}},
      {"userdb2csv --ra", {"--radio", "--raw"}},
      {"userdb2csv --radio md2017 U", {"UserDb.bin"}},
      {"userdb2csv --radio md2017 ", {"UserDb.bin", "notes.txt"}},
      {"userdb2csv --radio md2017 UserDb.bin --text ascii n", {"notes.txt"}},
      {"userdb2csv --raw -- --", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Completions(c.line, folder.Path()), c.offered) << c.line;
  }
}

TEST(DesktopMetadata, TheDesktopEntryValidates) {
  if (!BUILD_GUI_PROGRAM) GTEST_SKIP() << "built without the window program";
  const ProgramResult validation =
      RunProgram({"/usr/bin/env", "desktop-file-validate", DESKTOP_ENTRY});
  EXPECT_EQ(validation.exit_code, 0);
  EXPECT_EQ(validation.out + validation.err, "");
}

TEST(DesktopMetadata, TheMetainfoValidatesAndNamesTheWindowsReleaseAndScreenshot) {
  if (!BUILD_GUI_PROGRAM) GTEST_SKIP() << "built without the window program";
  const ProgramResult validation = RunProgram(
      {"/usr/bin/env", "appstreamcli", "validate", "--no-net", "--pedantic", WINDOW_METAINFO});
  EXPECT_EQ(validation.exit_code, 0) << validation.out << validation.err;
  EXPECT_NE(validation.out.find("Validation was successful."), std::string::npos) << validation.out;
  EXPECT_FALSE(std::regex_search(validation.out, std::regex("(^|\n)[EWIP]: "))) << validation.out;

  const std::string metainfo = ReadFile(WINDOW_METAINFO);
  EXPECT_NE(metainfo.find("<launchable type=\"desktop-id\">userdb-transform.desktop</launchable>"),
            std::string::npos);
  EXPECT_NE(metainfo.find("<release version=\"" PROJECT_VERSION "\""), std::string::npos);
  EXPECT_TRUE(std::regex_search(
      metainfo, std::regex("<screenshot type=\"default\">\\s*<caption>[^<]+</caption>\\s*"
                           "<image>https://[^<]+\\.png</image>")))
      << metainfo;
}

}  // namespace
}  // namespace userdb::test_support
