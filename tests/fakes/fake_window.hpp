#pragma once
// A window that only remembers, for the behaviour tests of every build: each
// control of the design with its caption, enabled, visible, focus and place;
// picture boxes that keep what was printed on them and the blocks copied to
// them since they were last cleared; timers; and download-error dialogs that
// record their text and close at once, as by OK. It needs no toolkit and no
// display; what only the real windows do (pixels, fonts, keys) is their own
// tests' business.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "design/layout.hpp"
#include "platform/dialog_factory.hpp"
#include "platform/error_dialog_view.hpp"
#include "platform/file_system.hpp"
#include "platform/main_window_view.hpp"
#include "platform/picture_service.hpp"
#include "platform/surface.hpp"
#include "platform/timer.hpp"

class FakeMainWindow;

class FakeControl : public IControl {
 public:
  FakeControl(FakeMainWindow* window, Ctl parent, TwipsRect rect, std::string caption)
      : window_(window), parent_(parent), rect_(rect), caption_(std::move(caption)) {}
  std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& caption) override { caption_ = caption; }
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;
  bool Visible() const override { return visible_; }
  void SetVisible(bool visible) override;
  // As a real control: raises error 5 when it, or a frame it sits in, is
  // disabled or hidden.
  void SetFocus() override;
  bool HasFocus() const override;
  void BringToFront() override {}
  TwipsRect Geometry() const override { return rect_; }
  void SetGeometry(const TwipsRect& rect) override { rect_ = rect; }

 private:
  friend class FakeMainWindow;
  FakeMainWindow* window_;  // null for a dialog's controls
  Ctl parent_;
  TwipsRect rect_;
  std::string caption_;
  bool enabled_ = true, visible_ = true;
};

// Each character is 100 units wide and a line 200 high, in any scale.
struct FakeSurface : ISurface {
  struct Blt {
    int x, y, w, h, sx, sy;
    std::uint32_t rop = 0xCC0020;  // a plain copy (SRCCOPY)
    bool operator==(const Blt&) const = default;
  };
  std::string printed;     // since the last Cls
  std::vector<Blt> blits;  // since the last Cls
  double width = 0, height = 0;

  void SetAutoRedraw(bool) override {}
  void Cls() override { printed.clear(), blits.clear(); }
  void SetFontSize(int) override {}
  void SetForeColor(std::uint32_t) override {}
  double ScaleLeft() const override { return 0; }
  double ScaleTop() const override { return 0; }
  double ScaleWidth() const override { return width; }
  double ScaleHeight() const override { return height; }
  double TextWidth(const std::string& text) override { return 100.0 * static_cast<double>(text.size()); }
  double TextHeight(const std::string&) override { return 200; }
  void SetCurrentX(double) override {}
  void SetCurrentY(double) override {}
  void Print(const std::string& text) override { printed += text; }
  void FillBox(double, double, double, double, std::uint32_t) override {}
  void SetPicture(std::shared_ptr<Picture> picture) override;
  bool BitBlt(int x, int y, int w, int h, ISurface&, int sx, int sy, std::uint32_t rop) override {
    blits.push_back({x, y, w, h, sx, sy, rop});
    return true;
  }
};

class FakeTimer : public ITimer {
 public:
  void SetInterval(int milliseconds) override { interval_ = milliseconds; }
  int Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool Enabled() const override { return enabled_; }

 private:
  int interval_ = 0;
  bool enabled_ = false;
};

class FakeMainWindow : public IMainWindowView {
 public:
  FakeMainWindow();
  IControl& Control(Ctl id) override { return *controls_.at(static_cast<std::size_t>(id)); }
  ISurface& Surface(Ctl id) override;
  FakeSurface& SurfaceOf(Ctl id) { return static_cast<FakeSurface&>(Surface(id)); }
  ITimer& Timer(TimerId id) override { return timers_[static_cast<std::size_t>(id)]; }
  void SetCaption(const std::string&) override {}
  void SetIcon(const std::string&) override {}
  double TextWidth(const std::string& text) override { return 100.0 * static_cast<double>(text.size()); }
  int WidthTwips() const override { return kFormWidthTwips; }
  void Unload() override { unloaded_ = true; }
  bool Unloaded() const { return unloaded_; }
  // The control that has the focus; Ctl::Count for none. As in a real
  // window, which is always active here: while no control was given the
  // focus, the first button that can take it has it, and a control that can
  // no longer hold it passes it on to the next such button.
  Ctl Focused() const;

 private:
  friend class FakeControl;
  // Whether the control and every frame it sits in are enabled and shown.
  bool CanTakeFocus(Ctl id) const;
  // The first button after that control (from the top for Ctl::Count),
  // round the design's order, that can take the focus.
  Ctl NextFocus(Ctl after) const;
  void PassFocusOn();

  std::vector<std::unique_ptr<FakeControl>> controls_;
  std::array<FakeSurface, 3> surfaces_;  // Picture1, picBitmap, picLoad
  std::array<FakeTimer, 2> timers_;
  Ctl focused_ = Ctl::Count;
  bool unloaded_ = false;
};

// A download-error dialog that records its text (Label2) in shown, if
// given, when it is shown, and is closed at once, as by OK.
class FakeErrorDialog : public IErrorDialogView {
 public:
  explicit FakeErrorDialog(std::vector<std::string>* shown = nullptr);
  IControl& Control(ErrCtl id) override { return controls_.at(static_cast<std::size_t>(id)); }
  void SetCaption(const std::string& caption) override { this->caption = caption; }
  void UseMainIcon() override {}
  void SetImage(const std::string&) override {}
  double TextWidth(const std::string& text) override { return 100.0 * static_cast<double>(text.size()); }
  int OuterHeight() const override { return height_ + 400; }  // a title bar and frame of 400
  int InnerHeight() const override { return height_; }
  void SetOuterHeight(int twips) override { height_ = twips - 400; }
  void ShowModal() override;
  void Unload() override {}
  std::string caption;

 private:
  std::vector<std::string>* shown_;
  std::vector<FakeControl> controls_;
  int height_ = kErrorDialogInnerHeight;
};

struct FakeDialogFactory : IDialogFactory {
  std::vector<std::string> shown;
  std::unique_ptr<IErrorDialogView> CreateErrorDialog() override;
};

// Any file of bytes is a picture of the header's size; a missing or empty
// one is not (error 481).
class FakePictureService : public IPictureService {
 public:
  explicit FakePictureService(IFileSystem& files) : files_(files) {}
  std::shared_ptr<Picture> LoadPicture(const std::string& path) override;

 private:
  IFileSystem& files_;
};
