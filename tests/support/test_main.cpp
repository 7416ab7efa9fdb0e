// Test main: one QApplication for the whole suite, offscreen.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/ui.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  if (InitCVIRTE(argc, argv) < 0) return 1;
  return RUN_ALL_TESTS();
}
