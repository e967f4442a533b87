#pragma once
// The real download-error dialog of the Windows program, modal over the
// main window, and the factory that makes it.
#include <array>
#include <memory>

#include "backends/win32/prelude.hpp"
#include "backends/win32/window/control.hpp"
#include "backends/win32/window/picture_box.hpp"
#include "platform/dialog_factory.hpp"
#include "platform/error_dialog_view.hpp"
#include "platform/resources.hpp"

class Win32ErrorDialog : public IErrorDialogView {
 public:
  Win32ErrorDialog(HWND owner, IResources& resources);
  ~Win32ErrorDialog() override;
  Win32ErrorDialog(const Win32ErrorDialog&) = delete;
  Win32ErrorDialog& operator=(const Win32ErrorDialog&) = delete;

  IControl& Control(ErrCtl id) override;
  void SetCaption(const std::string& caption) override;
  void UseMainIcon() override;
  void SetImage(const std::string& resourceName) override;
  double TextWidth(const std::string& text) override;
  int OuterHeight() const override;
  int InnerHeight() const override;
  void SetOuterHeight(int twips) override;
  // Shows the dialog over its owner, which takes no input meanwhile, and
  // runs the messages until it is closed.
  void ShowModal() override;
  void Unload() override;

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  HWND owner_;
  IResources& resources_;
  double pxPerTwip_;
  HWND hwnd_ = nullptr;
  std::unique_ptr<Win32PictureBox> image_;
  std::array<std::unique_ptr<Win32Control>, static_cast<std::size_t>(ErrCtl::Count)> controls_;
  bool closed_ = false;
};

class Win32DialogFactory : public IDialogFactory {
 public:
  explicit Win32DialogFactory(IResources& resources) : resources_(resources) {}
  void SetOwner(HWND owner) { owner_ = owner; }
  std::unique_ptr<IErrorDialogView> CreateErrorDialog() override;

 private:
  IResources& resources_;
  HWND owner_ = nullptr;
};
