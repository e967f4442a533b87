#pragma once
// The Windows program's part of the start-up and close sequence: the log
// on stderr, the debug output and the --log-file; COM and the common
// controls; the Win32 backends; the session's mutex; the native window and
// its message loop. A program of the window subsystem started from Explorer
// or a shortcut has no console: help, version and a refused line are then
// shown in a box.
#include <memory>

#include "app/program_runner.hpp"
#include "app/win32_check.hpp"
#include "app/win32_platform.hpp"

class Win32ProgramHost : public ProgramHost {
 public:
  // Sends the log to stderr and the debug output from here on.
  Win32ProgramHost();
  ~Win32ProgramHost() override;

  static ProgramDescription Describe(const std::string& version, const std::string& updateHost);
  // The program's arguments, from the system's UTF-16 command line.
  static std::vector<std::string> Arguments();

  bool Answer(const std::string& text) override;
  void ShowRefusal(const std::string& reasonAndUsage) override;
  void StartLog(const CommandLine& line) override;
  Platform& StartCheck(const CommandLine& line) override;
  void RunEvents() override;
  void StopEvents() override { stopped_ = true; }
  void Announce(const UpdateCheck& check) override { AnnounceInNotificationArea(check); }
  std::string StartWindowSystem(const CommandLine& line) override;
  Platform& Services() override { return platform_->services; }
  std::unique_ptr<ISingleInstance> ClaimSingleInstance() override;
  void Attach(IMainWindowEvents& wizard) override;
  void Detach() override { platform_->window->Attach(nullptr); }
  bool Unloaded() const override { return platform_->window->Unloaded(); }
  int ShowAndRun() override;

 private:
  std::unique_ptr<Win32Platform> platform_;
  std::unique_ptr<Win32CheckPlatform> check_;
  bool stopped_ = false;
};
