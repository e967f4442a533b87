// The main of the test programs that need Qt: one application for the whole
// program, on the offscreen platform, and a private session bus so that
// broadcasts never reach the developer's own desktop. With
// LARKSPIRE_TEST_NO_BUS set there is no bus at all, as in a session
// without one.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

#include "fakes/private_bus.hpp"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::unique_ptr<PrivateSessionBus> bus;
  if (std::getenv("LARKSPIRE_TEST_NO_BUS"))
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
  else if (!::testing::GTEST_FLAG(list_tests))
    bus = std::make_unique<PrivateSessionBus>();
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
