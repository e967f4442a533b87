#pragma once
// The real download-error dialog, and the factory that makes it.
#include <QDialog>
#include <array>
#include <functional>
#include <memory>

#include "backends/qt_widgets/window/control.hpp"
#include "platform/control.hpp"
#include "platform/dialog_factory.hpp"
#include "platform/error_dialog_view.hpp"
#include "platform/resources.hpp"

class QtErrorDialog : public QDialog, public IErrorDialogView {
 public:
  QtErrorDialog(QWidget* parent, IResources& resources);
  ~QtErrorDialog() override;
  IControl& Control(ErrCtl id) override;
  void SetCaption(const std::string& caption) override;
  void UseMainIcon() override;
  void SetImage(const std::string& resourceName) override;
  double TextWidth(const std::string& text) override;
  int OuterHeight() const override;
  int InnerHeight() const override;
  void SetOuterHeight(int twips) override;
  void ShowModal() override;
  void Unload() override;
  QWidget* WidgetOf(ErrCtl id) const;
  std::function<void(QtErrorDialog&)> onShown;

 private:
  IResources& resources_;
  double pxPerTwip_;
  std::array<std::unique_ptr<QtControl>, static_cast<std::size_t>(ErrCtl::Count)> controls_;
};

class QtDialogFactory : public IDialogFactory {
 public:
  QtDialogFactory(QWidget* parent, IResources& resources) : parent_(parent), resources_(resources) {}
  std::unique_ptr<IErrorDialogView> CreateErrorDialog() override;
  // Called with each dialog once it is shown (tests close it from here).
  std::function<void(QtErrorDialog&)> onShown;

 private:
  QWidget* parent_;
  IResources& resources_;
};
