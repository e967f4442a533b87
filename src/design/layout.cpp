#include "design/layout.hpp"

namespace {
constexpr Ctl W = Ctl::Count;  // the window itself
using K = CtlKind;

constexpr std::array<ControlDesign, static_cast<std::size_t>(Ctl::Count)> kDesign = {{
    {Ctl::Picture1, "Picture1", K::Picture, W, {0, 0, 7515, 1000}, ""},
    {Ctl::picBitmap, "picBitmap", K::Picture, W, {200, 5000, 1000, 500}, ""},
    {Ctl::frPicture, "frPicture", K::Line, W, {0, 1080, 2085, 60}, ""},
    {Ctl::frMain0, "frMain(0)", K::Frame, W, {200, 1200, 7115, 3400}, ""},
    {Ctl::frMain2, "frMain(2)", K::Frame, W, {200, 1200, 7115, 3400}, ""},
    {Ctl::frMain3, "frMain(3)", K::Frame, W, {200, 1200, 7115, 3400}, ""},
    {Ctl::frMain4, "frMain(4)", K::Frame, W, {200, 1200, 7115, 3400}, ""},
    {Ctl::Label1_0, "Label1(0)", K::Label, Ctl::frMain0, {30, 30, 7055, 3340}, ""},
    {Ctl::Label1_2, "Label1(2)", K::Label, Ctl::frMain2, {30, 30, 7055, 3340}, ""},
    {Ctl::Label1_3, "Label1(3)", K::Label, Ctl::frMain3, {200, 30, 6715, 400}, ""},
    {Ctl::Label1_4, "Label1(4)", K::Label, Ctl::frMain4, {30, 30, 7055, 3340}, ""},
    {Ctl::picLoad, "picLoad", K::Picture, Ctl::frMain3, {200, 800, 6715, 300}, ""},
    {Ctl::Label2_3, "Label2(3)", K::Label, Ctl::frMain3, {2200, 1200, 2200, 200}, "Percent of download complete:"},
    {Ctl::lblLoad, "lblLoad", K::Label, Ctl::frMain3, {4520, 1200, 600, 200}, "0"},
    {Ctl::lblStatus0, "lblStatus(0)", K::Label, Ctl::frMain3, {200, 1800, 1400, 200}, ""},
    {Ctl::lblStatus1, "lblStatus(1)", K::Label, Ctl::frMain3, {200, 2100, 1400, 200}, ""},
    {Ctl::lblStatus2, "lblStatus(2)", K::Label, Ctl::frMain3, {200, 2400, 1400, 200}, ""},
    {Ctl::lblStatus3, "lblStatus(3)", K::Label, Ctl::frMain3, {200, 2700, 1400, 200}, ""},
    {Ctl::lblInfo0, "lblInfo(0)", K::Label, Ctl::frMain3, {1700, 1800, 4000, 200}, ""},
    {Ctl::lblInfo1, "lblInfo(1)", K::Label, Ctl::frMain3, {1700, 2100, 4000, 200}, ""},
    {Ctl::lblInfo2, "lblInfo(2)", K::Label, Ctl::frMain3, {1700, 2400, 4000, 200}, ""},
    {Ctl::lblInfo3, "lblInfo(3)", K::Label, Ctl::frMain3, {1700, 2700, 4000, 200}, ""},
    {Ctl::cmdLoad0, "cmdLoad(0)", K::Button, Ctl::frMain3, {6015, 1800, 1100, 340}, "Stop"},
    {Ctl::cmdLoad1, "cmdLoad(1)", K::Button, Ctl::frMain3, {6015, 2240, 1100, 340}, "Retry"},
    {Ctl::Frame1, "Frame1", K::Caption, W, {200, 4700, 2475, 255}, "Larkspire Browser AutoUpdate"},
    {Ctl::frDivider, "frDivider", K::Line, W, {200, 4840, 7115, 40}, ""},
    {Ctl::Cmd0, "Cmd(0)", K::Button, W, {3820, 5085, 1100, 340}, "&Previous"},
    {Ctl::Cmd1, "Cmd(1)", K::Button, W, {4915, 5085, 1100, 340}, "&Next"},
    {Ctl::Cmd2, "Cmd(2)", K::Button, W, {6215, 5085, 1100, 340}, "&Cancel"},
}};

constexpr std::array<ErrorDialogDesign, static_cast<std::size_t>(ErrCtl::Count)> kErrorDesign = {{
    {ErrCtl::Image1, K::Picture, {200, 200, 480, 480}},
    {ErrCtl::Label1, K::Label, {800, 200, 4510, 400}},
    {ErrCtl::Label2, K::Label, {800, 795, 4510, 1000}},
    {ErrCtl::Label3, K::Label, {800, 2000, 4510, 600}},
    {ErrCtl::Cmd, K::Button, {4210, 2760, 1100, 340}},
}};
}  // namespace

const std::array<ControlDesign, static_cast<std::size_t>(Ctl::Count)>& MainWindowDesign() { return kDesign; }

const ControlDesign& DesignOf(Ctl id) { return kDesign[static_cast<std::size_t>(id)]; }

Ctl PageFrame(int index) {
  switch (index) {
    case 0:
      return Ctl::frMain0;
    case 2:
      return Ctl::frMain2;
    case 3:
      return Ctl::frMain3;
    case 4:
      return Ctl::frMain4;
    default:
      return Ctl::Count;
  }
}

const std::array<ErrorDialogDesign, static_cast<std::size_t>(ErrCtl::Count)>& ErrorDialogLayout() {
  return kErrorDesign;
}
