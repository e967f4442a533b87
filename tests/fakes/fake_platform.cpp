#include "fakes/fake_platform.hpp"

#include <QPushButton>

FakePlatform::FakePlatform() : services(ServicesOf(*this)) {
  dialogs->onShown = [this](QtErrorDialog& d) {
    errorDialogs.push_back(d.Control(ErrCtl::Label2).Caption());
    static_cast<QPushButton*>(d.WidgetOf(ErrCtl::Cmd))->click();  // OK
  };
}
