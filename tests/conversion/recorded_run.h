// A test fixture that converts through the Transform command's request, on lists made once
// as the window makes them, and records every log line and progress report of each run.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "conversion/conversion_run.h"
#include "conversion/transform_command.h"
#include "tests/support/temp_folder.h"

namespace userdb::conversion {

class RecordedRunTest : public ::testing::Test {
 protected:
  RecordedRunTest() : lists_(CreateConversionLists()) {
    sinks_.log = [this](std::string_view line) { log_.emplace_back(line); };
    sinks_.set_total_parts = [this](int32_t value) { progress_.emplace_back('T', value); };
    sinks_.set_parts_complete = [this](int32_t value) { progress_.emplace_back('P', value); };
  }

  // One run; the log and progress of the runs before are forgotten.
  void Run(const TransformSelections& selections) {
    log_.clear();
    progress_.clear();
    ConversionRun(TransformRequest(selections), *lists_, sinks_);
  }

  test_support::TempFolder folder_;
  std::unique_ptr<ConversionLists> lists_;
  ConversionSinks sinks_;
  std::vector<std::string> log_;
  std::vector<std::pair<char, int32_t>> progress_;  // 'T' total parts, 'P' parts complete
};

}  // namespace userdb::conversion
