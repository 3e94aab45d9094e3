#include "conversion/conversion_run.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "conversion/contact_collection.h"
#include "conversion/contact_line.h"
#include "conversion/radioid_csv.h"
#include "conversion/record_preparation.h"
#include "conversion/source_file.h"
#include "platform/path.h"
#include "platform/whole_file.h"

namespace userdb::conversion {

namespace {

constexpr int kMinimumFields = 4;
constexpr size_t kDmrIdLength = 7;
constexpr int kProgressStep = 100;
// Begins the name of the temporary file the contacts are written to before their name,
// which counts them, is known.
constexpr char kContactsFilePrefix[] = "contacts_users";

// One input file of the run.
struct Source {
  std::string path;
  std::unique_ptr<SourceFile> file;
  TextChoice text_choice = TextChoice::kKeep;
  int32_t line_count = 0;  // its lines, or for the CSV form its records
};

// What a run carries from line to line; the texts keep their memory for the next line.
struct RunState {
  std::string csv_line;   // a CSV record made into a user-database line
  std::string for_radio;  // a line whose text was converted for the radio
  std::string cleaned_line;
  std::string line_text;  // LineText: the contact line being composed
  int32_t accepted = 0;
  int32_t ignored = 0;
};

// Everything the conversion of one line reads and changes.
struct RunContext {
  const ConversionRequest& request;
  ConversionLists& lists;
  const RegionLookup& regions;
  const ConversionSinks& sinks;
  RunState& state;
  ContactCollection& contacts;
};

void LogFailedLine(const std::string& line_text, const StringList& field_list, const LogLine& log) {
  log("----------------------");
  log("Data mismatch in line ");
  log("DMR ID: " + line_text);
  log("Origin line: " + JoinFields(field_list));
}

void ReportProgress(int32_t index, const RunContext& run) {
  if (index % kProgressStep == 0) run.sinks.set_parts_complete(index);
}

void ConvertLine(int32_t index, std::string_view line, TextChoice text_choice,
                 const RunContext& run) {
  RunState& state = run.state;
  StringList& fields = run.lists.FieldList;
  const std::string_view for_radio =
      run.lists.radio_text.ConvertLine(text_choice, line, state.for_radio);
  BlankToSonderzeichen(for_radio, state.cleaned_line);
  SplitFields(state.cleaned_line, fields);
  if (fields.Count() < kMinimumFields) return;
  ReportProgress(index, run);

  std::string& line_text = state.line_text;
  line_text = fields.Get(0);
  if (line_text.size() != kDmrIdLength) {
    ++state.ignored;
    return;
  }
  ++state.accepted;  // also when the composition fails: the file name counts it
  bool composed = false;
  try {
    const CompositionContext context{fields, run.regions, run.sinks.log};
    composed = TryComposeContactLine(run.request.radio_type, run.request.display_format, context,
                                     line_text);
  } catch (const std::exception&) {
  }
  if (!composed) {
    LogFailedLine(line_text, fields, run.sinks.log);
    return;
  }
  run.contacts.Add(line_text);
}

// A CSV record that cannot be a contact: ignored, and named with its line in the log.
void IgnoreMalformedRecord(int32_t index, int line_number, std::string_view fault,
                           const RunContext& run) {
  ReportProgress(index, run);
  ++run.state.ignored;
  run.sinks.log("Malformed record in line " + std::to_string(line_number) + ": " +
                std::string(fault));
}

// The lines of the user-database form, the records of the CSV form.
int32_t CountLines(SourceFile& file) {
  const int64_t count =
      file.Layout().form == InputForm::kUserDb ? file.CountLines() : file.CountRecords();
  return static_cast<int32_t>(std::min<int64_t>(count, std::numeric_limits<int32_t>::max()));
}

// Converts every line of the source; `index` counts the lines of the whole run.
void ConvertSource(Source& source, int32_t& index, const RunContext& run) {
  const InputLayout& layout = source.file->Layout();
  if (layout.form == InputForm::kUserDb) {
    source.file->ForEachLine(
        [&](std::string_view line) { ConvertLine(index++, line, source.text_choice, run); });
    return;
  }
  source.file->ForEachRecord(
      [&](CsvReader::Result result, const std::vector<std::string_view>& fields, int line_number) {
        if (result == CsvReader::Result::kUnclosedQuote) {
          IgnoreMalformedRecord(index, line_number, "quote not closed at the end of the file", run);
        } else if (static_cast<int>(fields.size()) < layout.columns.count) {
          IgnoreMalformedRecord(index, line_number, "fewer columns than the header", run);
        } else {
          UserDbLineOfCsvRecord(fields, layout.columns, run.state.csv_line);
          ConvertLine(index, run.state.csv_line, source.text_choice, run);
        }
        ++index;
      });
}

// Every input, opened, its form told and its lines counted.
std::vector<Source> OpenSources(const ConversionRequest& request, std::string& window) {
  std::vector<std::string> paths = {request.input_path};
  paths.insert(paths.end(), request.further_input_paths.begin(), request.further_input_paths.end());
  std::vector<Source> sources;
  for (const std::string& path : paths) {
    Source source;
    source.path = path;
    source.file = std::make_unique<SourceFile>(path, window);
    const bool csv = source.file->Layout().form == InputForm::kRadioidCsv;
    source.text_choice =
        request.text_choice.value_or(csv ? TextChoice::kCp1252 : TextChoice::kKeep);
    sources.push_back(std::move(source));
  }
  for (Source& source : sources) source.line_count = CountLines(*source.file);
  return sources;
}

}  // namespace

std::string OutputPathFor(const std::string& input_path, int32_t accepted_count) {
  return platform::FolderPart(input_path) + "contacts_users_" + std::to_string(accepted_count) +
         ".csv";
}

void ConversionRun(const ConversionRequest& request, ConversionLists& lists,
                   const ConversionSinks& sinks) {
  RunState state;
  const RegionLookup regions(lists.RegionNames, lists.RegionCodes);
  std::string window;
  // Nothing is logged before every input could be opened and its form told.
  std::vector<Source> sources = OpenSources(request, window);
  int64_t all_lines = 0;
  for (const Source& source : sources) all_lines += source.line_count;
  const auto total_parts =
      static_cast<int32_t>(std::min<int64_t>(all_lines, std::numeric_limits<int32_t>::max()) - 1);

  const bool several_sources = sources.size() > 1;
  const CollectionRules rules{.later_sources_override = several_sources,
                              .unique_ids = request.unique_ids,
                              .sort_by_id = request.sort_by_id};
  platform::WholeFileStream contacts_file(platform::FolderPart(request.input_path),
                                          kContactsFilePrefix);
  ContactCollection contacts(rules, lists.OutputLines, contacts_file);
  const RunContext run{request, lists, regions, sinks, state, contacts};
  int32_t index = 0;
  for (Source& source : sources) {
    contacts.BeginSource();
    if (source.file->Layout().form == InputForm::kRadioidCsv) sinks.log(kCsvInputLogLine);
    sinks.log("File name read: " + source.path);
    sinks.log("Lines found: " + std::to_string(source.line_count));
    if (&source == &sources.front()) {
      sinks.set_total_parts(total_parts);
      sinks.set_parts_complete(0);
    }
    ConvertSource(source, index, run);
    if (several_sources || request.unique_ids) {
      sinks.log("Entries added: " + std::to_string(contacts.SourceAdded()));
      sinks.log("Entries replaced: " + std::to_string(contacts.SourceReplaced()));
    }
  }
  sources.clear();  // the inputs are closed before the output is written
  contacts.Finish();

  sinks.set_parts_complete(total_parts);
  sinks.log("Lines accepted : " + std::to_string(state.accepted));
  sinks.log("Lines ignored  : " + std::to_string(state.ignored));
  sinks.log("Output format used for type: " + request.radio_type_caption);
  if (request.radio_type == kMd2017) {
    sinks.log("Display format used : " + request.display_format_caption);
  }
  const std::string output_path =
      OutputPathFor(request.input_path, state.accepted - contacts.Replaced());
  contacts_file.Finish(output_path);
  sinks.log("File written to: " + output_path);
  sinks.log("=====> Done <======");
  if (state.accepted == 0) sinks.log(kNoDmrIdWarning);
}

}  // namespace userdb::conversion
