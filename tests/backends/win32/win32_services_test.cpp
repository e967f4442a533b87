// What only the Win32 backends do: the broadcast to the product's windows,
// and the installer's object.
#include <gtest/gtest.h>

#include "backends/win32/prelude.hpp"
#include "backends/win32/shell.hpp"
#include "backends/win32/window_messages.hpp"

namespace {

TEST(Win32Services, TheBroadcastReachesTopLevelWindows) {
  static WPARAM received = 0;
  WNDCLASSA cls{};
  cls.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message >= 0xC000) received = wParam;
    return DefWindowProcA(window, message, wParam, lParam);
  };
  cls.lpszClassName = "LarkspireListener";
  RegisterClassA(&cls);
  const HWND window =
      CreateWindowExA(0, cls.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  Win32WindowMessages messages;
  EXPECT_TRUE(messages.BroadcastNotifyMessage(messages.RegisterWindowMessage("lkSMsgGeneral"), 1000, 0));
  EXPECT_EQ(received, 1000u) << "a window of the sending thread gets it at once";
  DestroyWindow(window);
}

TEST(Win32Services, TheInstallerObjectCanBeMade) { EXPECT_TRUE(Win32Shell().InstallerPresent()); }

}  // namespace
