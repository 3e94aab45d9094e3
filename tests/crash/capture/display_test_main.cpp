// The entry of the end-to-end tests on a display: one Qt application for all tests, so that
// they can read the screen and the clipboard while they drive the programs under test.
#include <gtest/gtest.h>

#include <QGuiApplication>

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
