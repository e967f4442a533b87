#pragma once
// The Linux program's part of the start-up and close sequence: Qt's
// application, made only once a display is known to answer; the Linux and
// Qt backends; the wizard's lock file; the Qt window and its event loop.
// Help and version go to the terminal; a refused line is said in the log
// (the journal when the program was started from the desktop).
#include <QApplication>
#include <QEventLoop>
#include <functional>
#include <memory>

#include "app/linux_check.hpp"
#include "app/linux_platform.hpp"
#include "app/program_runner.hpp"

class LinuxProgramHost : public ProgramHost {
 public:
  // argc and argv must outlive the host (Qt keeps them).
  LinuxProgramHost(int& argc, char** argv);
  ~LinuxProgramHost() override;

  // The program's command line: Qt's own options are let through.
  static ProgramDescription Describe(const std::string& version, const std::string& updateHost);
  // Called with the window just before it is first shown.
  void BeforeShow(std::function<void(QWidget&)> call) { beforeShow_ = std::move(call); }

  void Answer(const std::string& text) override;
  void ShowRefusal(const std::string&) override {}
  void StartLog(const CommandLine& line) override;
  Platform& StartCheck() override;
  void RunEvents() override;
  void StopEvents() override;
  void Announce(const UpdateCheck& check) override { AnnounceOnDesktop(check); }
  std::string StartWindowSystem() override;
  Platform& Services() override { return platform_->services; }
  std::unique_ptr<ISingleInstance> ClaimSingleInstance() override;
  void BeforeWizard() override;
  void Attach(IMainWindowEvents& wizard) override;
  bool Unloaded() const override { return platform_->window->Unloaded(); }
  int ShowAndRun() override;

 private:
  int& argc_;
  char** argv_;
  bool verbose_ = false;
  std::function<void(QWidget&)> beforeShow_;
  // Made in this order and gone in the reverse: the services need Qt.
  std::unique_ptr<QCoreApplication> app_;
  std::unique_ptr<LinuxPlatform> platform_;
  std::unique_ptr<LinuxCheckPlatform> check_;
  QEventLoop* events_ = nullptr;  // while RunEvents runs
};
