// Window tests: real widgets on the offscreen platform, one application object for the
// program, the program's own.
#include <gtest/gtest.h>

#include "app/TApplication.h"

int main(int argc, char** argv) {
  // Options may follow the platform's name (a screen of a given size: see the screen tests).
  if (!qEnvironmentVariable("QT_QPA_PLATFORM").startsWith("offscreen")) qputenv("QT_QPA_PLATFORM", "offscreen");
  jig::TApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
