// Test runner of the desktop tests: one Qt application for the whole run, on
// the offscreen platform unless another one is asked for.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication qt(argc, argv);
  return RUN_ALL_TESTS();
}
