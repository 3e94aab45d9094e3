#include "conversion/transform_command.h"

#include "conversion/region_table.h"
#include "platform/path.h"

namespace userdb::conversion {

std::optional<std::string_view> TransformRefusal(const TransformSelections& selections) {
  if (!platform::FileExists(selections.input_path)) return kFileMissingText;
  for (const std::string& path : selections.further_input_paths) {
    if (!platform::FileExists(path)) return kFileMissingText;
  }
  if (!selections.radio_type) return kNoRadioTypeText;
  return std::nullopt;
}

ConversionRequest TransformRequest(const TransformSelections& selections) {
  ConversionRequest request;
  request.input_path = selections.input_path;
  request.radio_type = selections.radio_type.value();
  request.display_format = selections.display_format;
  request.radio_type_caption = RadioTypeCaption(request.radio_type);
  request.display_format_caption = DisplayFormatCaption(request.display_format);
  request.further_input_paths = selections.further_input_paths;
  request.text_choice = selections.text_choice;
  request.unique_ids = selections.unique_ids;
  request.sort_by_id = selections.sort_by_id;
  return request;
}

std::unique_ptr<ConversionLists> CreateConversionLists() {
  auto lists = std::make_unique<ConversionLists>();
  FillRegionTable(lists->RegionNames, lists->RegionCodes);
  return lists;
}

}  // namespace userdb::conversion
