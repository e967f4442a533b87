// The main of the test programs: one application for the whole program, on
// the offscreen platform. The programs that broadcast on the session bus
// are run by CTest inside a private session of their own (dbus-run-session).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
