#include "fake_window.hpp"

#include <cstring>

#include "support/runtime_error.hpp"
#include "wizard/layout.hpp"

void FakeControl::SetFocus() {
  if (!enabled_ || !visible_) RaiseError(ErrNo::InvalidArgument);
  focus_(this);
}

void FakeSurface::SetPicture(std::shared_ptr<Picture> p) {
  picture = std::move(p);
  if (picture) {
    w_ = picture->Width();
    h_ = picture->Height();
  }
}

std::vector<DrawCall> FakeSurface::Calls(const std::string& op) const {
  std::vector<DrawCall> out;
  for (const auto& c : calls)
    if (c.op == op) out.push_back(c);
  return out;
}

FakeMainWindowView::FakeMainWindowView() {
  for (const ControlDesign& d : MainWindowDesign()) {
    controls_.push_back(std::make_unique<FakeControl>(d.name, d.rect, d.caption, [this](FakeControl* c) {
      if (focused_) focused_->focused_ = false;
      focused_ = c;
      c->focused_ = true;
    }));
  }
  Ctrl(Ctl::picBitmap).SetVisible(false);
  tmrStatus.interval = 1000;
  tmrDownload.interval = 500;
}

IControl& FakeMainWindowView::Control(Ctl id) { return *controls_.at(static_cast<std::size_t>(id)); }

ISurface& FakeMainWindowView::Surface(Ctl id) {
  switch (id) {
    case Ctl::Picture1:
      return picture1;
    case Ctl::picBitmap:
      return picBitmap;
    case Ctl::picLoad:
      return picLoad;
    default:
      RaiseError(ErrNo::InvalidArgument);
  }
}

std::vector<Ctl> FakeMainWindowView::VisibleFrames() {
  std::vector<Ctl> out;
  for (Ctl f : {Ctl::frMain0, Ctl::frMain2, Ctl::frMain3, Ctl::frMain4})
    if (Ctrl(f).Visible()) out.push_back(f);
  return out;
}

FakeErrorDialogView::FakeErrorDialogView(std::vector<FakeErrorDialogView*>* shown,
                                         std::function<void(FakeErrorDialogView&)> onShow)
    : shown_(shown), onShow_(std::move(onShow)) {
  for (const ErrorDialogDesign& d : ErrorDialogLayout())
    controls_.push_back(std::make_unique<FakeControl>("err", d.rect, "", [](FakeControl*) {}));
}

void FakeErrorDialogView::ShowModal() {
  shown_->push_back(this);
  if (onShow_) onShow_(*this);
}

std::unique_ptr<IErrorDialogView> FakeDialogFactory::CreateErrorDialog() {
  auto view = std::make_unique<FakeErrorDialogView>(&shown_, [this](FakeErrorDialogView& v) {
    shownTexts.push_back(v.Control(ErrCtl::Label2).Caption());
    shownLabel2Heights.push_back(v.Control(ErrCtl::Label2).Geometry().Height);
    if (onShow) onShow(v);
  });
  return view;
}

bool FakeConnection::InternetGetConnectedStateEx(std::uint32_t* f, char* n, std::uint32_t len, std::uint32_t) {
  ++calls;
  if (!answers) return false;
  *f = flags;
  const std::size_t k = std::min<std::size_t>(name.size(), len - 1);
  std::memcpy(n, name.data(), k);
  n[k] = '\0';
  return true;
}
