#include "support/frm_error.hpp"

#include <cmath>

namespace {
constexpr const char* kAppTitle = "Larkspire AutoUpdate";
}

int ErrorLabelHeight(double textWidthTwips, int labelWidthTwips) {
  const auto width = static_cast<long>(std::nearbyint(textWidthTwips));
  return static_cast<int>((width / std::max(labelWidthTwips, 1) + 1) * 200);
}

void frmError::Form_Load() {
  view_.UseMainIcon();
  view_.SetCaption(std::string(kAppTitle) + " - Error");
  view_.SetImage("rid_error");
  view_.Control(ErrCtl::Label1)
      .SetCaption(std::string("An error has occurred while attempting to download the current file. The") +
                  " description of the error is as follows.");
  IControl& label2 = view_.Control(ErrCtl::Label2);
  label2.SetCaption(ErrorText);
  view_.Control(ErrCtl::Label3)
      .SetCaption(std::string("You can attempt to download the file again by clicking the Retry button on the ") +
                  kAppTitle + " dialog. If you wish to abort the update, you can click the Cancel" + " button.");

  TwipsRect r2 = label2.Geometry();
  r2.Height = ErrorLabelHeight(view_.TextWidth(ErrorText), r2.Width);
  label2.SetGeometry(r2);
  IControl& label3 = view_.Control(ErrCtl::Label3);
  TwipsRect r3 = label3.Geometry();
  r3.Top = r2.Top + r2.Height + 200;
  label3.SetGeometry(r3);
  IControl& ok = view_.Control(ErrCtl::Cmd);
  TwipsRect rc = ok.Geometry();
  rc.Top = r3.Top + r3.Height + 280;
  ok.SetGeometry(rc);
  // The frame and title bar keep their size.
  view_.SetOuterHeight(rc.Top + rc.Height + 160 + (view_.OuterHeight() - view_.InnerHeight()));
}
