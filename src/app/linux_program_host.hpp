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
  // argv[0]: the program as it was started.
  explicit LinuxProgramHost(const char* program);
  ~LinuxProgramHost() override;

  // The program's command line: Qt's own options are let through.
  static ProgramDescription Describe(const std::string& version, const std::string& updateHost);
  // Called with the window just before it is first shown.
  void BeforeShow(std::function<void(QWidget&)> call) { beforeShow_ = std::move(call); }

  bool Answer(const std::string& text) override;
  void ShowRefusal(const std::string&) override {}
  void StartLog(const CommandLine& line) override;
  Platform& StartCheck(const CommandLine& line) override;
  void RunEvents() override;
  void StopEvents() override;
  void Announce(const UpdateCheck& check) override { AnnounceOnDesktop(check); }
  std::string StartWindowSystem(const CommandLine& line) override;
  Platform& Services() override { return platform_->services; }
  std::unique_ptr<ISingleInstance> ClaimSingleInstance() override;
  void BeforeWizard() override;
  void Attach(IMainWindowEvents& wizard) override;
  void Detach() override { platform_->window->Detach(); }
  bool Unloaded() const override { return platform_->window->Unloaded(); }
  int ShowAndRun() override;

 private:
  // Qt's own arguments: the program, then the window system's options as
  // it reads them (never the wizard's own). Qt keeps them for its life.
  void StartQt(const CommandLine& line, bool window);
  std::vector<std::string> qtArguments_;
  std::vector<char*> qtArgv_;
  int qtArgc_ = 0;
  bool verbose_ = false;
  std::function<void(QWidget&)> beforeShow_;
  // Made in this order and gone in the reverse: the services need Qt.
  std::unique_ptr<QCoreApplication> app_;
  std::unique_ptr<LinuxPlatform> platform_;
  std::unique_ptr<LinuxCheckPlatform> check_;
  QEventLoop* events_ = nullptr;  // while RunEvents runs
};
