// Drives the demo's road without a person: Welcome, Preparing, the check,
// the result, the download, Ready and Install, saving a screenshot of every
// page. Usage: larkspire-demo-driver SANDBOX UPDATE_HOST SCREENSHOT_FOLDER
#include <QApplication>
#include <cstdio>

#include "road.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s SANDBOX UPDATE_HOST SCREENSHOT_FOLDER\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  const std::string folder = argv[3];
  Road road(argv[1], argv[2]);
  int shot = 0;
  const auto snap = [&](const std::string& name) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%02d-", ++shot);
    std::printf("  %s\n", road.Shot(folder, prefix + name).c_str());
  };
  const auto fail = [&](const std::string& what) {
    snap("failed");
    std::fprintf(stderr, "The demo stopped: %s (status line: %s)\n", what.c_str(), road.Caption(Ctl::Label1_3).c_str());
    return 1;
  };
  road.onErrorDialog = [&](QtErrorDialog& d) { d.grab().save(QString::fromStdString(folder + "/error-dialog.png")); };
  try {
    road.Start();
  } catch (const ProgramEnded&) {
    std::fprintf(stderr, "The wizard ended at start-up: %s\n",
                 road.Boxes().shown.empty() ? "" : road.Boxes().shown.back().prompt.c_str());
    return 1;
  }
  std::printf("Screenshots:\n");
  snap("welcome");
  road.Click(Ctl::Cmd1);
  snap("preparing");
  road.Click(Ctl::Cmd1);
  snap("checking");
  if (!road.WaitFor([&] { return road.Form().CurrentPage == PageResult; })) return fail("no answer from the server");
  snap("result");
  if (!road.Enabled(Ctl::Cmd1)) {
    std::printf("Result: %s\n", road.Caption(Ctl::Label1_4).substr(0, road.Caption(Ctl::Label1_4).find('\r')).c_str());
    road.Click(Ctl::Cmd2);
    return 0;
  }
  road.Click(Ctl::Cmd1);
  road.WaitFor([&] { return !road.Caption(Ctl::lblInfo0).empty() || road.Form().CurrentPage == PageReady; });
  snap("downloading");
  if (!road.WaitFor([&] { return road.Form().CurrentPage == PageReady; }) || !road.ErrorDialogs().empty())
    return fail(road.ErrorDialogs().empty() ? "the download did not finish" : road.ErrorDialogs().back());
  snap("ready");
  road.Click(Ctl::Cmd1);
  std::printf("Installed: the wizard handed the package to the opener and closed.\n");
  return road.Window().Unloaded() ? 0 : 1;
}
