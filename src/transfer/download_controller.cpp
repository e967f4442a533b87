// The download controller: the status view around a transfer.
#include "wizard/frm_main.hpp"
#include "wizard/layout.hpp"

void frmMain::StopDownload() {
  platform_.window->Timer(TimerId::tmrStatus).SetEnabled(false);
  ShowProgress(0);
  C(Ctl::picLoad).SetEnabled(false);
  C(Ctl::Label1_3).SetCaption("Download stopped");
  for (int i = 0; i < 4; ++i) C(lblInfo(i)).SetCaption("");
  C(cmdLoad(0)).SetEnabled(false);
  C(cmdLoad(1)).SetEnabled(true);
  C(Ctl::Cmd0).SetEnabled(false);
  C(Ctl::Cmd1).SetEnabled(false);
  C(Ctl::Cmd2).SetEnabled(true);
  SetFocusSafe(cmdLoad(1));
}
