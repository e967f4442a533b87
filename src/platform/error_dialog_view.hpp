#pragma once
// The download-error dialog as its procedures see it.
#include <string>

#include "platform/control.hpp"

// The controls of the download-error dialog.
enum class ErrCtl { Image1, Label1, Label2, Label3, Cmd, Count };

class IErrorDialogView {
 public:
  virtual ~IErrorDialogView() = default;
  virtual IControl& Control(ErrCtl id) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  // The main window's icon.
  virtual void UseMainIcon() = 0;
  // Image1 shows the bitmap resource of that name.
  virtual void SetImage(const std::string& resourceName) = 0;
  // Width of a text in the dialog's font, in twips.
  virtual double TextWidth(const std::string& text) = 0;
  virtual int OuterHeight() const = 0;  // twips, frame and title bar included
  virtual int InnerHeight() const = 0;  // twips
  virtual void SetOuterHeight(int twips) = 0;
  // Shows the dialog modally; returns when it has been closed.
  virtual void ShowModal() = 0;
  // Closes it (its OK button).
  virtual void Unload() = 0;
};
