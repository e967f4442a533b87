#include "app/start_up.hpp"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

#include "support/app_texts.hpp"
#include "support/diagnostics.hpp"

namespace {
// The options the toolkit reads itself, with and without a value; they are
// only recognised here, Qt acts on them when it starts.
const char* const kToolkitValueOptions[] = {
    "platform",    "platformpluginpath", "platformtheme", "plugin",  "qmljsdebugger", "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",      "name",
    "style",       "stylesheet"};
const char* const kToolkitFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// What --help-all adds: the toolkit's options that the wizard lets through
// (Qt's parser lists none of them without a window system).
const char* const kToolkitHelp =
    "\nOptions of the window system (Qt), each also with two dashes:\n"
    "  -platform <name[:options]>  The window system: xcb, wayland, offscreen, ...\n"
    "  -platformpluginpath <path>  Where to look for that system's plugin.\n"
    "  -platformtheme <name>       The desktop theme to follow.\n"
    "  -plugin <name>              Load an input plugin.\n"
    "  -display <display>          The X11 display, instead of $DISPLAY.\n"
    "  -session <id>, -name <name> The session and name the window system is told.\n"
    "  -geometry <geometry>, -qwindowgeometry <geometry>\n"
    "                              Where the window is placed.\n"
    "  -qwindowicon <file>, -qwindowtitle <title>\n"
    "                              The window's icon and title.\n"
    "  -style <style>, -stylesheet <file>\n"
    "                              The widgets' style, and a style sheet.\n"
    "  -reverse                    Lay the window out right to left.\n"
    "  -widgetcount, -nograb, -dograb, -sync\n"
    "                              Qt's debugging aids.\n";

void Describe(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      "Checks the Larkspire update server for a newer version, downloads and verifies the update, and hands it to "
      "the installer.");
  // Qt's options are written with one dash ("-platform offscreen").
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption({"verbose", "Also log what the wizard does, not only what fails."});
  parser.addOption({"log-file",
                    "Also append the log to <file> (a wizard started from the desktop has no terminal to show it).",
                    "file"});
  parser.addOption({"check",
                    "Check for an update without a window (as the daily timer does): tell the desktop when one is "
                    "waiting, and exit with 0 (up to date), 10 (update available), 2 (not installed), 8 (failed) or "
                    "6 (a wizard is open)."});
  for (const char* name : kToolkitValueOptions) {
    QCommandLineOption option(name, "", "value");
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  for (const char* name : kToolkitFlags) {
    QCommandLineOption option(name);
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
}

QStringList ToStrings(const std::vector<std::string>& arguments) {
  QStringList list;
  for (const std::string& a : arguments) list << QString::fromLocal8Bit(a.c_str());
  return list;
}
}  // namespace

CommandLine ReadCommandLine(const std::vector<std::string>& arguments) {
  QCommandLineParser parser;
  Describe(parser);
  CommandLine line;
  if (!parser.parse(ToStrings(arguments))) {
    line.outcome = CommandLine::Outcome::Refuse;
    line.refusal = parser.errorText().toStdString();
  } else if (!parser.positionalArguments().isEmpty()) {
    // The wizard opens no file and no address of the user's: an argument
    // that it would silently ignore is a mistake the user should hear of.
    line.outcome = CommandLine::Outcome::Refuse;
    line.refusal = "Unexpected argument '" + parser.positionalArguments().first().toStdString() +
                   "': the wizard takes no file or address.";
  } else if (parser.isSet("help") || parser.isSet("help-all") || parser.isSet("version")) {
    line.outcome = CommandLine::Outcome::Inform;
  }
  line.verbose = parser.isSet("verbose");
  line.check = parser.isSet("check");
  line.logFile = parser.value("log-file").toStdString();
  return line;
}

void AnswerWithoutWindow(int argc, char** argv) {
  QCoreApplication console(argc, argv);
  QCommandLineParser parser;
  Describe(parser);
  parser.parse(console.arguments());
  if (parser.isSet("help-all")) {
    std::fputs((parser.helpText().toStdString() + kToolkitHelp).c_str(), stdout);
    std::exit(ExitStatus::Success);
  }
  parser.process(console);  // prints the help or the version and ends the program
  std::exit(ExitStatus::Success);
}

bool TellWhenAlreadyRunning(const WizardLock& lock, IMessageBox& box) {
  if (lock.Status() != WizardLock::State::HeldElsewhere) return false;
  LogFailure(LogArea::Startup,
             "another Larkspire AutoUpdate of this user is running (it holds " + lock.Path() + "); this one leaves");
  box.MsgBox(AlreadyRunningText, Mb::Information | Mb::OkOnly, AppTitle);
  return true;
}
