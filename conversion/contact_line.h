// The contact line formats of the two radio types.
#pragma once

#include <string>
#include <string_view>

#include "conversion/conversion_lists.h"
#include "conversion/radio_type.h"
#include "conversion/region_lookup.h"

namespace userdb::conversion {

// What the composition of a contact line reads and changes.
struct CompositionContext {
  StringList& field_list;  // FieldList; fields 4 and 6 are abbreviated in place
  const RegionLookup& regions;
  const LogLine& log;
};

// Fills with blanks (28 at most) or cuts the text to `width` bytes.
std::string PadToWidth(std::string_view text, int width);

// The 15-byte display name: callsign, a blank and the nickname (or else the first word
// of the name), filled with blanks or cut. Reads fields 5, then 2 when needed, then 1.
std::string ComposeDisplayName(const StringList& field_list, const LogLine& log);

// Extends `line_text`, which holds the DMR ID on entry, part by part into the contact
// line for `radio_type`; `display_format` matters for kMd2017 only (kFieldPerLine, or any
// other value for compact). Throws ListIndexError when a field it reads is missing;
// `line_text` then holds the parts appended so far.
void ComposeContactLine(RadioType radio_type, DisplayFormat display_format,
                        const CompositionContext& context, std::string& line_text);

// The same without the exception: false where ComposeContactLine throws, with `line_text`
// and the fields as it leaves them. A run composes its lines so, as a throw for each line
// that lacks a field would cost far more than the line (every throw is recorded).
bool TryComposeContactLine(RadioType radio_type, DisplayFormat display_format,
                           const CompositionContext& context, std::string& line_text);

}  // namespace userdb::conversion
