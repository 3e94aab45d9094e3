// Runs the built userdb2csv as a user runs it.
#pragma once

#include <string>
#include <vector>

#include "tests/support/run_program.h"

namespace userdb::cli {

// userdb2csv with `arguments`, in `folder` (the test's own when empty).
inline test_support::ProgramResult Userdb2csv(std::vector<std::string> arguments,
                                              const std::string& folder = "") {
  arguments.insert(arguments.begin(), USERDB2CSV_PATH);
  return test_support::RunProgram(arguments, folder);
}

}  // namespace userdb::cli
