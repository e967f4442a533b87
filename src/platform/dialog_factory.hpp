#pragma once
// Makes the download-error dialog.
#include <memory>

#include "platform/error_dialog_view.hpp"

class IDialogFactory {
 public:
  virtual ~IDialogFactory() = default;
  virtual std::unique_ptr<IErrorDialogView> CreateErrorDialog() = 0;
};
