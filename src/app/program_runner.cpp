#include "app/program_runner.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>

#include "support/app_texts.hpp"
#include "support/diagnostics.hpp"
#include "wizard/frm_main.hpp"
#include "wizard/update_check.hpp"

namespace {
// True when another wizard holds the claim: the user has been told (an
// information box) and the log says what holds it, and this wizard is to leave.
bool TellWhenAlreadyRunning(const ISingleInstance& claim, IMessageBox& box) {
  if (!claim.HeldElsewhere()) return false;
  LogFailure(LogArea::Startup, "another Larkspire AutoUpdate of this user is running (it holds " + claim.Describe() +
                                   "); this one leaves");
  box.MsgBox(AlreadyRunningText, Mb::Information | Mb::OkOnly, AppTitle);
  return true;
}

int RunCheck(const CommandLine& line, const std::string& updateHost, ProgramHost& host) {
  Platform& services = host.StartCheck(line);
  std::optional<UpdateCheck> check;
  {
    const std::unique_ptr<ISingleInstance> claim = host.ClaimSingleInstance();
    if (claim->HeldElsewhere()) {
      LogFailure(LogArea::Startup,
                 "a wizard or a check of this user is running (it holds " + claim->Describe() + "); this check leaves");
      return ExitStatus::AlreadyRunning;
    }
    check.emplace(services, updateHost);
    bool finished = false;
    check->Start([&] {
      finished = true;
      host.StopEvents();
    });
    if (!finished) host.RunEvents();
  }
  switch (check->Result) {
    case UpdateCheck::UpdateAvailable:
      LogInfo(LogArea::Startup, "the check found an update");
      host.Announce(*check);
      break;
    case UpdateCheck::UpToDate:
      LogInfo(LogArea::Startup, "the check found Larkspire up to date");
      break;
    default:
      LogFailure(LogArea::Startup, "the check failed; the next scheduled check tries again");
      break;
  }
  return check->Result;
}

int RunWizard(const CommandLine& line, const std::string& updateHost, ProgramHost& host) {
  if (const std::string problem = host.StartWindowSystem(line); !problem.empty()) {
    LogFailure(LogArea::Startup, problem);
    return ExitStatus::NoDisplay;
  }
  Platform& services = host.Services();
  const std::unique_ptr<ISingleInstance> claim = host.ClaimSingleInstance();
  if (TellWhenAlreadyRunning(*claim, *services.messageBox)) return ExitStatus::AlreadyRunning;
  host.BeforeWizard();
  frmMain form(services, updateHost);
  host.Attach(form);
  const struct Detach {
    ProgramHost& host;
    ~Detach() { host.Detach(); }
  } detach{host};
  form.Form_Load();
  // A wizard that ended while loading (nothing installed, the user said no)
  // never shows its window.
  if (host.Unloaded()) return form.ExitCode();
  const int loop = host.ShowAndRun();
  return form.ExitCode() != ExitStatus::Success ? form.ExitCode() : loop;
}
}  // namespace

int RunProgram(const std::vector<std::string>& arguments, const ProgramDescription& program, ProgramHost& host) {
  const CommandLine line = ReadCommandLine(arguments, program);
  try {
    switch (line.outcome) {
      case CommandLine::Outcome::Refuse:
        LogFailure(LogArea::Startup, line.refusal + " (" + program.command + " --help lists the options)");
        host.ShowRefusal(line.refusal + "\n\n" + HelpText(program));
        return ExitStatus::BadCommandLine;
      case CommandLine::Outcome::Inform:
        return host.Answer(line.answer) ? ExitStatus::Success : ExitStatus::ErrorQuit;
      case CommandLine::Outcome::Run:
        break;
    }
    host.StartLog(line);
    return line.check ? RunCheck(line, program.updateHost, host) : RunWizard(line, program.updateHost, host);
  } catch (const std::exception& e) {
    // Nothing below lets an error out on purpose: this is the last word,
    // in the statuses the mode has (a check that failed is tried again).
    LogFailure(LogArea::Startup, std::string("the wizard failed unexpectedly: ") + e.what());
    return line.check ? UpdateCheck::Failed : ExitStatus::ErrorQuit;
  }
}

bool WriteAnswer(const std::string& text) {
  errno = 0;
  if (std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0) return true;
  const int error = errno;
  LogFailure(LogArea::Startup, std::string("cannot write the answer to standard output: ") +
                                   (error ? std::strerror(error) : "the write failed"));
  return false;
}
