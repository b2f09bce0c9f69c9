// The window tests need one QApplication for the whole program, created before any test runs.

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // Test discovery runs the program at build time, outside CTest's environment: without a
  // platform chosen, the tests run offscreen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
