#include "fakes/fake_window.hpp"

#include "support/runtime_error.hpp"

namespace {
struct FakePicture : Picture {
  int Width() const override { return 501; }
  int Height() const override { return 67; }
};

}  // namespace

void FakeControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (window_) window_->PassFocusOn();
}

void FakeControl::SetVisible(bool visible) {
  visible_ = visible;
  if (window_) window_->PassFocusOn();
}

void FakeControl::SetFocus() {
  if (!window_) return;
  for (std::size_t i = 0; i < window_->controls_.size(); ++i)
    if (window_->controls_[i].get() == this) {
      if (!window_->CanTakeFocus(static_cast<Ctl>(i))) RaiseError(ErrNo::InvalidArgument);
      window_->focused_ = static_cast<Ctl>(i);
    }
}

bool FakeControl::HasFocus() const {
  return window_ && window_->Focused() != Ctl::Count && &window_->Control(window_->Focused()) == this;
}

FakeMainWindow::FakeMainWindow() {
  for (const ControlDesign& d : MainWindowDesign())
    controls_.push_back(std::make_unique<FakeControl>(this, d.parent, d.rect, d.caption));
  // The header band and the picture holder count in pixels, the bar in twips.
  surfaces_[0].width = 501, surfaces_[0].height = 67;
  surfaces_[2].width = DesignOf(Ctl::picLoad).rect.Width, surfaces_[2].height = DesignOf(Ctl::picLoad).rect.Height;
}

ISurface& FakeMainWindow::Surface(Ctl id) {
  const Ctl pictures[] = {Ctl::Picture1, Ctl::picBitmap, Ctl::picLoad};  // in the order of surfaces_
  for (std::size_t i = 0; i < surfaces_.size(); ++i)
    if (pictures[i] == id) return surfaces_[i];
  RaiseError(ErrNo::InvalidArgument);
}

Ctl FakeMainWindow::NextFocus(Ctl after) const {
  const std::size_t count = controls_.size();
  for (std::size_t n = 1; n <= count; ++n) {
    const auto at = static_cast<Ctl>((after == Ctl::Count ? n - 1 : static_cast<std::size_t>(after) + n) % count);
    if (DesignOf(at).kind == CtlKind::Button && CanTakeFocus(at)) return at;
  }
  return Ctl::Count;
}

void FakeMainWindow::PassFocusOn() {
  if (focused_ != Ctl::Count && !CanTakeFocus(focused_)) focused_ = NextFocus(focused_);
}

Ctl FakeMainWindow::Focused() const { return focused_ != Ctl::Count ? focused_ : NextFocus(Ctl::Count); }

bool FakeMainWindow::CanTakeFocus(Ctl id) const {
  for (Ctl at = id; at != Ctl::Count; at = controls_[static_cast<std::size_t>(at)]->parent_) {
    const FakeControl& c = *controls_[static_cast<std::size_t>(at)];
    if (!c.enabled_ || !c.visible_) return false;
  }
  return id != Ctl::Count;
}

void FakeSurface::SetPicture(std::shared_ptr<Picture> picture) {
  if (picture) width = picture->Width(), height = picture->Height();
}

FakeErrorDialog::FakeErrorDialog(std::vector<std::string>* shown) : shown_(shown) {
  for (const ErrorDialogDesign& d : ErrorDialogLayout()) controls_.emplace_back(nullptr, Ctl::Count, d.rect, "");
}

void FakeErrorDialog::ShowModal() {
  if (shown_) shown_->push_back(Control(ErrCtl::Label2).Caption());
}

std::unique_ptr<IErrorDialogView> FakeDialogFactory::CreateErrorDialog() {
  return std::make_unique<FakeErrorDialog>(&shown);
}

std::shared_ptr<Picture> FakePictureService::LoadPicture(const std::string& path) {
  try {
    if (files_.OpenRead(path)->Length() > 0) return std::make_shared<FakePicture>();
  } catch (const std::exception&) {
  }
  throw RuntimeError(481, "Invalid picture");
}
