// The rules of the Transform command, the same in the window and on the command line:
// the checks that refuse a conversion before anything is stored or read, with their
// texts, the lists a conversion works in, and the run's request with the captions of the
// chosen items.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/conversion_lists.h"
#include "conversion/conversion_run.h"
#include "conversion/radio_type.h"

namespace userdb::conversion {

inline constexpr char kFileMissingText[] = "File not exists or blocked";
inline constexpr char kNoRadioTypeText[] = "Select your radio type please";

// What the user chose.
struct TransformSelections {
  std::string input_path;               // as given: absolute or relative
  std::optional<RadioType> radio_type;  // none chosen yet
  DisplayFormat display_format = kCompact;
  // The command line's further choices (ConversionRequest tells them); the window makes
  // none of them.
  std::vector<std::string> further_input_paths = {};
  std::optional<TextChoice> text_choice = std::nullopt;
  bool unique_ids = false;
  bool sort_by_id = false;
};

// The text a Transform of these selections is refused with, or nothing when it may go
// on. The inputs come first: each must be an existing file (kFileMissingText); then a
// radio type must be chosen (kNoRadioTypeText).
std::optional<std::string_view> TransformRefusal(const TransformSelections& selections);

// The run's request for selections that passed TransformRefusal (throws
// std::bad_optional_access without a radio type), with the captions of the chosen items.
ConversionRequest TransformRequest(const TransformSelections& selections);

// The five lists, in their order, with the region table filled: made once and reused by
// every run.
std::unique_ptr<ConversionLists> CreateConversionLists();

}  // namespace userdb::conversion
