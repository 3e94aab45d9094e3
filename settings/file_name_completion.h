// What the input file dialog gives back for a name the user typed rather than picked: the
// extension of the selected file type is added unless the name already carries a usable
// one, so that "UserDb" typed with the type "*.Bin" selected becomes "UserDb.Bin".
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace userdb::settings {

// Whether the system knows files with this extension (given without its dot).
using KnownExtensionTest = std::function<bool(std::string_view extension)>;

// `type_pattern`: the selected file type's pattern ("*.Bin"); empty when no type is selected,
// and then `default_extension` ("*.bin", ".bin" or "bin") takes its place. Without a default
// extension names are returned as typed. A name keeps its own extension when the system
// knows it, and is left alone when it already ends with the extension to add (in any letter
// case); otherwise "." (unless the name ends with one) and that extension are appended.
std::string CompleteTypedFileName(std::string_view typed_name, std::string_view type_pattern,
                                  std::string_view default_extension,
                                  const KnownExtensionTest& is_known_extension);

}  // namespace userdb::settings
