#include "conversion/conversion_run.h"

#include "conversion/contact_line.h"
#include "conversion/record_preparation.h"
#include "platform/path.h"

namespace userdb::conversion {

namespace {

constexpr int kMinimumFields = 4;
constexpr size_t kDmrIdLength = 7;
constexpr int kProgressStep = 100;
// A contact line is never more than this much longer than its input line: the display
// name, the separators and the padding of the widest layout.
constexpr size_t kMaxGrowthPerLine = 128;

// What a run carries from line to line; the texts keep their memory for the next line.
struct RunState {
  std::string cleaned_line;
  std::string line_text;  // LineText: the contact line being composed
  int32_t accepted = 0;
  int32_t ignored = 0;
};

void LogFailedLine(const std::string& line_text, const StringList& field_list, const LogLine& log) {
  log("----------------------");
  log("Data mismatch in line ");
  log("DMR ID: " + line_text);
  log("Origin line: " + JoinFields(field_list));
}

void ConvertLine(int index, const ConversionRequest& request, ConversionLists& lists,
                 const RegionLookup& regions, const ConversionSinks& sinks, RunState& state) {
  BlankToSonderzeichen(lists.InputLines.Get(index), state.cleaned_line);
  SplitFields(state.cleaned_line, lists.FieldList);
  if (lists.FieldList.Count() < kMinimumFields) return;
  if (index % kProgressStep == 0) sinks.set_parts_complete(index);

  std::string& line_text = state.line_text;
  line_text = lists.FieldList.Get(0);
  if (line_text.size() != kDmrIdLength) {
    ++state.ignored;
    return;
  }
  ++state.accepted;  // also when the composition fails: the file name counts it
  try {
    const CompositionContext context{lists.FieldList, regions, sinks.log};
    ComposeContactLine(request.radio_type, request.display_format, context, line_text);
  } catch (const std::exception&) {
    LogFailedLine(line_text, lists.FieldList, sinks.log);
    return;
  }
  lists.OutputLines.Add(line_text);
}

}  // namespace

std::string OutputPathFor(const std::string& input_path, int32_t accepted_count) {
  return platform::FolderPart(input_path) + "contacts_users_" + std::to_string(accepted_count) +
         ".csv";
}

void ConversionRun(const ConversionRequest& request, ConversionLists& lists,
                   const ConversionSinks& sinks) {
  lists.OutputLines.Clear();
  RunState state;
  const RegionLookup regions(lists.RegionNames, lists.RegionCodes);

  lists.InputLines.LoadFromFile(request.input_path);
  const int32_t line_count = lists.InputLines.Count();
  sinks.log("File name read: " + request.input_path);
  sinks.log("Lines found: " + std::to_string(line_count));
  const int32_t total_parts = line_count - 1;
  sinks.set_total_parts(total_parts);
  sinks.set_parts_complete(0);
  // Room for the largest output the input can give, so that the output never moves
  // while it grows; memory that is not written to is never touched.
  lists.OutputLines.Reserve(line_count,
                            lists.InputLines.ByteCount() + line_count * kMaxGrowthPerLine);

  for (int32_t index = 0; index < line_count; ++index) {
    ConvertLine(index, request, lists, regions, sinks, state);
  }

  sinks.set_parts_complete(total_parts);
  sinks.log("Lines accepted : " + std::to_string(state.accepted));
  sinks.log("Lines ignored  : " + std::to_string(state.ignored));
  sinks.log("Output format used for type: " + request.radio_type_caption);
  if (request.radio_type == kMd2017) {
    sinks.log("Display format used : " + request.display_format_caption);
  }
  const std::string output_path = OutputPathFor(request.input_path, state.accepted);
  lists.OutputLines.SaveToFile(output_path);
  sinks.log("File written to: " + output_path);
  sinks.log("=====> Done <======");
}

}  // namespace userdb::conversion
