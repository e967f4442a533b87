// RegisterMessages: the window message shared with the product's programs,
// asked for up to ten times.
#include <gtest/gtest.h>

#include "fakes/fake_platform.hpp"
#include "support/runtime_error.hpp"
#include "wizard/frm_main.hpp"

namespace {

class RegisterMessagesTest : public ::testing::Test {
 protected:
  // The error number RegisterMessages raised, or 0.
  std::int32_t Register() {
    try {
      form_.Installer.RegisterMessages();
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.Description(), "Couldn't register window messages.");
      return e.Number();
    }
    return 0;
  }

  FakePlatform fake_;
  frmMain form_{fake_.Services(), "updates.test"};
};

TEST_F(RegisterMessagesTest, KeepsTheIdentifierOfTheName) {
  EXPECT_EQ(Register(), 0);
  EXPECT_EQ(form_.Installer.MsgGeneral, static_cast<std::int32_t>(StableMessageId("lkSMsgGeneral")));
  EXPECT_EQ(fake_.messages.registerCalls, 1);
}

TEST_F(RegisterMessagesTest, AsksAgainWhileTheAnswerIsZero) {
  fake_.messages.registerResults = {0, 0, 0xC123};
  EXPECT_EQ(Register(), 0);
  EXPECT_EQ(form_.Installer.MsgGeneral, 0xC123);
  EXPECT_EQ(fake_.messages.registerCalls, 3) << "no pause, no extra attempt";
}

TEST_F(RegisterMessagesTest, NineZerosThenAnAnswerStillSucceeds) {
  fake_.messages.registerResults = {0, 0, 0, 0, 0, 0, 0, 0, 0xC124};
  EXPECT_EQ(Register(), 0);
  EXPECT_EQ(form_.Installer.MsgGeneral, 0xC124);
  EXPECT_EQ(fake_.messages.registerCalls, 9);
}

TEST_F(RegisterMessagesTest, TheTenthAttemptFailsWhateverItReturned) {
  fake_.messages.registerResults = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC125};
  EXPECT_EQ(Register(), -2147220504);
  EXPECT_EQ(fake_.messages.registerCalls, 10);
  EXPECT_EQ(form_.Installer.MsgGeneral, 0) << "nothing was kept";
}

TEST_F(RegisterMessagesTest, TenZerosRaiseTheError) {
  fake_.messages.registerResults.assign(20, 0);
  EXPECT_EQ(Register(), -2147220504);
  EXPECT_EQ(static_cast<std::uint32_t>(-2147220504), 0x800403E8u);
  EXPECT_EQ(fake_.messages.registerCalls, 10) << "ten attempts, no more";
}

}  // namespace
