#pragma once
// A window without a window system: controls that remember their state,
// drawing surfaces that record every call, timers that a test fires, and
// the services of the desktop (shell, connection flags, event loop) with
// switches.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/event_loop.hpp"
#include "platform/shell.hpp"
#include "platform/window.hpp"

class FakeMainWindowView;

class FakeControl : public IControl {
 public:
  FakeControl(std::string name, TwipsRect rect, std::string caption, std::function<void(FakeControl*)> focus)
      : name_(std::move(name)), rect_(rect), caption_(std::move(caption)), focus_(std::move(focus)) {}
  std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& caption) override { caption_ = caption; }
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool Visible() const override { return visible_; }
  void SetVisible(bool visible) override { visible_ = visible; }
  void SetFocus() override;
  bool HasFocus() const override { return focused_; }
  void BringToFront() override { ++frontCount; }
  TwipsRect Geometry() const override { return rect_; }
  void SetGeometry(const TwipsRect& rect) override { rect_ = rect; }

  const std::string& Name() const { return name_; }
  bool focused_ = false;
  int frontCount = 0;

 private:
  std::string name_;
  TwipsRect rect_;
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  std::function<void(FakeControl*)> focus_;
};

// One recorded drawing call.
struct DrawCall {
  std::string op;  // "Cls", "FontSize", "ForeColor", "BitBlt", "Print", "FillBox", ...
  std::vector<double> args;
  std::string text;
  const ISurface* source = nullptr;
};

class FakeSurface : public ISurface {
 public:
  FakeSurface(double w, double h) : w_(w), h_(h) {}
  void SetAutoRedraw(bool on) override { autoRedraw = on; }
  void Cls() override { calls.push_back({"Cls", {}, "", nullptr}); }
  void SetFontSize(int points) override {
    fontSize = points;
    calls.push_back({"FontSize", {double(points)}, "", nullptr});
  }
  void SetForeColor(std::uint32_t bgr) override { calls.push_back({"ForeColor", {double(bgr)}, "", nullptr}); }
  double ScaleLeft() const override { return 0; }
  double ScaleTop() const override { return 0; }
  double ScaleWidth() const override { return w_; }
  double ScaleHeight() const override { return h_; }
  double TextWidth(const std::string& text) override { return 8.0 * text.size(); }
  double TextHeight(const std::string&) override { return textHeight; }
  void SetCurrentX(double x) override { currentX = x; }
  void SetCurrentY(double y) override { currentY = y; }
  void Print(const std::string& text) override { calls.push_back({"Print", {currentX, currentY}, text, nullptr}); }
  void FillBox(double x1, double y1, double x2, double y2, std::uint32_t bgr) override {
    calls.push_back({"FillBox", {x1, y1, x2, y2, double(bgr)}, "", nullptr});
  }
  void SetPicture(std::shared_ptr<Picture> picture) override;
  bool BitBlt(int x, int y, int w, int h, ISurface& src, int sx, int sy, std::uint32_t rop) override {
    calls.push_back(
        {"BitBlt", {double(x), double(y), double(w), double(h), double(sx), double(sy), double(rop)}, "", &src});
    return true;
  }
  std::vector<DrawCall> Calls(const std::string& op) const;

  std::vector<DrawCall> calls;
  bool autoRedraw = false;
  int fontSize = 0;
  double currentX = 0, currentY = 0;
  double textHeight = 19;
  std::shared_ptr<Picture> picture;

 private:
  double w_, h_;
};

class FakeTimer : public ITimer {
 public:
  void SetInterval(int ms) override { interval = ms; }
  int Interval() const override { return interval; }
  void SetEnabled(bool on) override { enabled = on; }
  bool Enabled() const override { return enabled; }
  int interval = 0;
  bool enabled = false;
};

class FakeMainWindowView : public IMainWindowView {
 public:
  FakeMainWindowView();
  IControl& Control(Ctl id) override;
  ISurface& Surface(Ctl id) override;
  ITimer& Timer(TimerId id) override { return id == TimerId::tmrStatus ? tmrStatus : tmrDownload; }
  void SetCaption(const std::string& c) override { caption = c; }
  void SetIcon(const std::string& name) override { icon = name; }
  double TextWidth(const std::string& text) override { return measure(text); }
  int WidthTwips() const override { return outerWidthTwips; }
  void Unload() override { ++unloadCount; }

  FakeControl& Ctrl(Ctl id) { return *controls_[static_cast<std::size_t>(id)]; }
  FakeSurface& Surf(Ctl id) { return static_cast<FakeSurface&>(Surface(id)); }
  // The control that has the focus, or nullptr.
  FakeControl* Focused() const { return focused_; }
  // The visible page frames.
  std::vector<Ctl> VisibleFrames();

  std::string caption, icon;
  int unloadCount = 0;
  int outerWidthTwips = 7605;
  std::function<double(const std::string&)> measure = [](const std::string& t) { return 100.0 * t.size(); };
  FakeTimer tmrStatus, tmrDownload;
  FakeSurface picture1{501, 67}, picBitmap{67, 33}, picLoad{6715, 300};

 private:
  std::vector<std::unique_ptr<FakeControl>> controls_;
  FakeControl* focused_ = nullptr;
};

class FakeErrorDialogView : public IErrorDialogView {
 public:
  FakeErrorDialogView(std::vector<FakeErrorDialogView*>* shown, std::function<void(FakeErrorDialogView&)> onShow);
  IControl& Control(ErrCtl id) override { return *controls_[static_cast<std::size_t>(id)]; }
  void SetCaption(const std::string& c) override { caption = c; }
  void UseMainIcon() override { mainIcon = true; }
  void SetImage(const std::string& name) override { image = name; }
  double TextWidth(const std::string& text) override { return 100.0 * text.size(); }
  int OuterHeight() const override { return outerHeight; }
  int InnerHeight() const override { return outerHeight - 405; }
  void SetOuterHeight(int twips) override { outerHeight = twips; }
  void ShowModal() override;
  void Unload() override { closed = true; }

  std::string caption, image;
  bool mainIcon = false;
  bool closed = false;
  int outerHeight = 3225 + 405;

 private:
  std::vector<std::unique_ptr<FakeControl>> controls_;
  std::vector<FakeErrorDialogView*>* shown_;
  std::function<void(FakeErrorDialogView&)> onShow_;
};

// Records each dialog shown; a dialog lives until the next one is made.
class FakeDialogFactory : public IDialogFactory {
 public:
  std::unique_ptr<IErrorDialogView> CreateErrorDialog() override;
  // Texts of the dialogs shown, in order.
  std::vector<std::string> shownTexts;
  std::vector<int> shownLabel2Heights;
  // Runs while a dialog is shown (the user's reaction).
  std::function<void(FakeErrorDialogView&)> onShow;

 private:
  std::vector<FakeErrorDialogView*> shown_;
};

class FakeShell : public IShell {
 public:
  bool installerPresent = true;
  std::intptr_t shellResult = 42;
  struct Call {
    std::string operation, file, parameters, directory;
    int show;
  };
  std::vector<Call> calls;
  bool InstallerPresent() override { return installerPresent; }
  std::intptr_t ShellExecute(const std::string& operation, const std::string& file, const std::string& parameters,
                             const std::string& directory, int showCommand) override {
    calls.push_back({operation, file, parameters, directory, showCommand});
    return shellResult;
  }
};

class FakeConnection : public IConnectionService {
 public:
  bool answers = true;
  std::uint32_t flags = 0x42;  // configured, local network
  std::string name = "eth0";
  int calls = 0;
  bool InternetGetConnectedStateEx(std::uint32_t* f, char* n, std::uint32_t len, std::uint32_t) override;
};

class FakeEventLoop : public IEventLoop {
 public:
  int doEvents = 0;
  std::uint32_t slept = 0;
  std::vector<bool> pointer;
  std::function<void()> onDoEvents;
  void DoEvents() override {
    ++doEvents;
    if (onDoEvents) onDoEvents();
  }
  void Sleep(std::uint32_t ms) override { slept += ms; }
  void SetBusyPointer(bool busy) override { pointer.push_back(busy); }
};
