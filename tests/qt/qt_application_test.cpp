// One QApplication for all Qt tests, on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

#include "fakes/private_bus.hpp"

namespace {
class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Before anything in the process touches the session bus.
    bus_ = std::make_unique<PrivateSessionBus>();
    if (!QApplication::instance()) {
      static int argc = 1;
      static char name[] = "qt_tests";
      static char* argv[] = {name, nullptr};
      app_ = new QApplication(argc, argv);
    }
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
    bus_.reset();
  }

 private:
  std::unique_ptr<PrivateSessionBus> bus_;
  QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);
}  // namespace
