// The window tests' entry: one application object for all tests, as the program has one.
// The settings of whoever runs the tests are never touched: every test points
// XDG_CONFIG_HOME at a folder of its own, and until then it points at a scratch folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "app/application.h"
#include "tests/support/temp_folder.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  test_support::TempFolder scratch;
  setenv("XDG_CONFIG_HOME", scratch.Path().c_str(), 1);
  Application application(argc, argv);
  return RUN_ALL_TESTS();
}
