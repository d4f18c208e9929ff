// Window tests: real widgets on the offscreen platform, one QApplication for the program.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setApplicationName("Holbrenik_JIG");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
