#include "app/win32_platform.hpp"

Win32Platform::Win32Platform()
    : window(std::make_unique<Win32MainWindow>()),
      dialogs(std::make_unique<Win32DialogFactory>(resources)),
      services(ServicesOf(*this)) {
  messageBox.SetOwner(window->Handle());
  dialogs->SetOwner(window->Handle());
}
