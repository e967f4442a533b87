#pragma once
// The one start-up and close sequence of both programs, from the command
// line to the exit status:
//   1. read the command line, before any window system is asked for a
//      display; refuse a wrong one (status 1), answer help and version;
//   2. start the log file the user asked for;
//   3. bring the window system and every service up (without a display:
//      status 7);
//   4. make sure this is the user's only wizard (else status 6), holding the
//      claim until the program ends, after the installer has the package;
//   5. load the wizard and run its events until its window is unloaded; the
//      wizard's own exit status wins over the event loop's.
// With --check, steps 3 to 5 are the quiet check's instead: its services
// without a window, the same claim (a check never runs beside a wizard, and
// lets go before the wizard may be started from its announcement), the
// check's events until it knows, and the announcement of an update.
// What Linux and Windows do at each step is the ProgramHost's.
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "platform/main_window_view.hpp"
#include "platform/platform.hpp"
#include "platform/single_instance.hpp"

class UpdateCheck;

class ProgramHost {
 public:
  virtual ~ProgramHost() = default;
  // Shows what the user asked for (help, version) where the user sees it:
  // the terminal, or a box when the program has none. False when it could
  // not be shown (a full disk, a closed terminal): the reason is in the log.
  virtual bool Answer(const std::string& text) = 0;
  // Shows why the command line was refused, with the usage, where the user
  // sees it; the log has the reason already.
  virtual void ShowRefusal(const std::string& reasonAndUsage) = 0;
  // Starts the log as the command line asks (verbosity, a file to append to).
  virtual void StartLog(const CommandLine& line) = 0;
  // Brings up the services the quiet check uses: no window, dialogs,
  // pictures or opener; a box it would show goes to the log.
  virtual Platform& StartCheck(const CommandLine& line) = 0;
  // Runs the events until StopEvents is called (from one of them).
  virtual void RunEvents() = 0;
  virtual void StopEvents() = 0;
  // Tells the user that the update the check found is waiting, once for
  // each published catalog, and starts the wizard when the user asks.
  virtual void Announce(const UpdateCheck& check) = 0;
  // Brings the window system and every service up: "" when the window can
  // be opened, else why not (naming each display tried). Never raises.
  virtual std::string StartWindowSystem(const CommandLine& line) = 0;
  // The services, once the window system is up.
  virtual Platform& Services() = 0;
  // Claims the user's only wizard; the claim is held while the result lives.
  virtual std::unique_ptr<ISingleInstance> ClaimSingleInstance() = 0;
  // Anything to say before the wizard looks at the registry.
  virtual void BeforeWizard() {}
  // Hands the window's events to the wizard; unloading it ends the events.
  // Detach takes them back, before the wizard goes.
  virtual void Attach(IMainWindowEvents& wizard) = 0;
  virtual void Detach() = 0;
  virtual bool Unloaded() const = 0;
  // Shows the window and runs its events until it is unloaded; returns the
  // event loop's status.
  virtual int ShowAndRun() = 0;
};

// Runs the program (arguments: the program's name first) and returns the
// exit status. Never raises.
int RunProgram(const std::vector<std::string>& arguments, const ProgramDescription& program, ProgramHost& host);

// Writes an answer to standard output, whole; false, with the reason in the
// log, when it cannot be (a full disk, a closed file).
bool WriteAnswer(const std::string& text);
