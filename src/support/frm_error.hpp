#pragma once
// frmError: the download-error dialog. It shows the description of a failed
// transfer and only informs; the user then retries or cancels with the
// wizard's own buttons.
#include <string>

#include "platform/error_dialog_view.hpp"

class frmError {
 public:
  explicit frmError(IErrorDialogView& view) : view_(view) {}

  // Stores the text to show.
  void Init(const std::string& text) { ErrorText = text; }
  // Fills the dialog and lays it out for the text: the description's label
  // grows by 200 twips a line and everything below it moves down.
  void Form_Load();
  // The OK button: closes the dialog.
  void Cmd_Click() { view_.Unload(); }

  std::string ErrorText;

 private:
  IErrorDialogView& view_;
};

// Height in twips of the label that holds a text of that width.
int ErrorLabelHeight(double textWidthTwips, int labelWidthTwips);
