#include "conversion/radio_type.h"

namespace userdb::conversion {

std::optional<RadioType> RadioTypeOfIndex(int index) {
  if (index == kMd9600) return kMd9600;
  if (index == kMd2017) return kMd2017;
  return std::nullopt;
}

DisplayFormat DisplayFormatOfIndex(int index) {
  return index == kFieldPerLine ? kFieldPerLine : kCompact;
}

const char* RadioTypeCaption(RadioType radio_type) {
  return kRadioTypeCaptions[radio_type == kMd9600 ? kMd9600 : kMd2017];
}

const char* DisplayFormatCaption(DisplayFormat display_format) {
  return kDisplayFormatCaptions[DisplayFormatOfIndex(display_format)];
}

}  // namespace userdb::conversion
