// The filters of a caught exception: its class chain is compared by name with each class of
// "F1Classes", then of "F2Classes"; the first filter with a match, or the general values,
// decide whether a report is composed, a screenshot taken, threads paused, handlers called,
// and how the exception is shown.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "crash/report/caught_exception.h"

namespace userdb::crash {

// The class names of a filter's setting: split at ",", each trimmed, empty ones left out.
std::vector<std::string> FilterClasses(std::string_view setting);

// "F1", "F2" or "Gn": the filter that the exception's class chain picks.
std::string_view FilterOf(const SettingsView& settings,
                          const std::optional<ExceptionObject>& object);

// Sets the exception's filter results, and "PauseThreads" in its overlay.
void ApplyExceptionFilter(CaughtException& exception);

}  // namespace userdb::crash
