// The window tests' entry: one application object for all tests, as the program has one.
// The settings of whoever runs the tests are never touched: every test points
// XDG_CONFIG_HOME at a folder of its own, and until then it points at a scratch folder.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "app/application.h"
#include "tests/support/temp_folder.h"

namespace {

// The tests expect a desktop's behaviour of frames, placement and maximizing, which only a
// window manager gives.
bool WindowManagerRuns() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (system("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'") == 0) {
      return true;
    }
    usleep(100000);
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!WindowManagerRuns()) {
    fprintf(stderr,
            "No window manager runs on the display: run the tests through "
            "tests/run-with-display, or on a desktop.\n");
    return 1;
  }
  userdb::test_support::TempFolder scratch;
  setenv("XDG_CONFIG_HOME", scratch.Path().c_str(), 1);
  userdb::app::Application application(argc, argv);
  return RUN_ALL_TESTS();
}
