// The small programs that the stack demo runs to a crash or a throw: each a typical shape of
// call chain (deep recursion, a callback through the C library or through Qt's event
// dispatch, a throw through several frames, a fault in a leaf, a tail call, a call through a
// bad pointer, stale return addresses left on the stack).
#pragma once

#include <string_view>

namespace userdb::crash::demo {

// The names of the scenarios, for the usage text and the benchmark.
inline constexpr std::string_view kScenarioNames[] = {
    "recursion", "qsort", "qt-event", "throw", "leaf-signal", "tail-call", "bad-pointer", "stale",
};

// Runs the scenario; false for an unknown name. A scenario that crashes does not return.
bool RunScenario(std::string_view name, int argc, char** argv);

}  // namespace userdb::crash::demo
