#include "app/command_line.hpp"

#include <algorithm>
#include <string_view>

#include "catalog/built_in_keys.hpp"

namespace {
struct Option {
  std::vector<std::string_view> names;  // the first is the long name
  std::string_view value;               // the value's name in the help, "" for a flag
  std::string_view help;
};

// The wizard's own options, in the order the help lists them.
const std::vector<Option>& Options() {
  static const std::vector<Option> options{
      {{"help", "h", "?"}, "", "Displays help on the command-line options."},
      {{"help-all"}, "", "Displays help, including the window system's options."},
      {{"version", "v"}, "", "Displays version information."},
      {{"verbose"}, "", "Also log what the wizard does, not only what fails."},
      {{"log-file"},
       "file",
       "Also append the log to <file> (a wizard started from the desktop or a shortcut has no terminal to show it)."},
      {{"check"},
       "",
       "Check for an update without a window (as the daily check does): tell the user when one is waiting, and "
       "exit with 0 (up to date), 10 (update available), 2 (not installed), 8 (failed) or 6 (a wizard or "
       "another check is running)."}};
  return options;
}

// The program's own option of that name; --help-all only where there are
// window-system options for it to add.
const Option* Find(std::string_view name, const ProgramDescription& program) {
  for (const Option& option : Options())
    if (std::ranges::find(option.names, name) != option.names.end())
      return option.names.front() == "help-all" && program.toolkitHelp.empty() ? nullptr : &option;
  return nullptr;
}

bool Lists(const std::vector<std::string>& names, std::string_view name) {
  return std::ranges::find(names, name) != names.end();
}

// The option's names as the help shows them: "-h, --help", "--log-file <file>".
std::string Synopsis(const Option& option) {
  std::string text;
  for (std::size_t i = option.names.size(); i-- > 0;) {
    if (!text.empty()) text += ", ";
    text += (option.names[i].size() == 1 ? "-" : "--") + std::string(option.names[i]);
  }
  if (!option.value.empty()) text += " <" + std::string(option.value) + ">";
  return text;
}

// Words of text wrapped at 79 columns, each line but the first indented to indent.
std::string Wrapped(std::string_view text, std::size_t column, std::size_t indent) {
  std::string out;
  while (!text.empty()) {
    const std::size_t room = 79 - column;
    std::size_t cut = text.size();
    if (cut > room) {
      cut = text.rfind(' ', room);
      if (cut == std::string_view::npos || cut == 0) cut = std::min(text.find(' '), text.size());
    }
    out += text.substr(0, cut);
    text.remove_prefix(std::min(cut + 1, text.size()));
    if (!text.empty()) out += "\n" + std::string(indent, ' ');
    column = indent;
  }
  return out;
}

// An argument as a refusal shows it: control characters (a line break that
// would start a forged line of the log) as \xNN.
std::string Shown(std::string_view argument) {
  std::string shown;
  for (const char c : argument) {
    const auto code = static_cast<unsigned char>(c);
    if (code >= 0x20 && code != 0x7f) {
      shown += c;
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      shown += {'\\', 'x', kHex[code >> 4], kHex[code & 15]};
    }
  }
  return shown;
}

void Refuse(CommandLine& line, std::string why) {
  line.outcome = CommandLine::Outcome::Refuse;
  line.refusal = std::move(why);
}
}  // namespace

CommandLine ReadCommandLine(const std::vector<std::string>& arguments, const ProgramDescription& program) {
  CommandLine line;
  bool help = false, helpAll = false, version = false, optionsEnded = false;
  for (std::size_t i = 1; i < arguments.size() && line.outcome != CommandLine::Outcome::Refuse; ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--" && !optionsEnded) {
      optionsEnded = true;
      continue;
    }
    if (argument == "/?" && !optionsEnded) {
      help = true;
      continue;
    }
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      Refuse(line, "Unexpected argument '" + Shown(argument) + "': the wizard takes no file or address.");
      break;
    }
    const std::string_view written = argument;
    const std::size_t equals = written.find('=');
    const std::string_view typed = written.substr(0, equals);  // as the user wrote it, dashes and all
    const std::string_view name = typed.substr(typed.starts_with("--") ? 2 : 1);
    const Option* option = Find(name, program);
    const bool takesValue = option ? !option->value.empty() : Lists(program.toolkitValueOptions, name);
    const std::string value = !takesValue                        ? ""
                              : equals != std::string_view::npos ? argument.substr(equals + 1)
                              : i + 1 < arguments.size()         ? arguments[++i]
                                                                 : "";
    if (!option && !takesValue && !Lists(program.toolkitFlags, name)) {
      Refuse(line, "Unknown option '" + Shown(typed) + "'.");
    } else if (!takesValue && equals != std::string_view::npos) {
      Refuse(line, "Unexpected value after '" + Shown(typed) + "'.");
    } else if (takesValue && value.empty()) {
      Refuse(line, "Missing value after '" + Shown(typed) + "'.");
    } else if (option) {
      const std::string_view id = option->names.front();
      if (id == "log-file") line.logFile = value;
      help |= id == "help";
      helpAll |= id == "help-all";
      version |= id == "version";
      line.verbose |= id == "verbose";
      line.check |= id == "check";
    } else {
      // The window system's own, handed on as it reads them.
      line.toolkitArguments.push_back("-" + std::string(name));
      if (takesValue) line.toolkitArguments.push_back(value);
    }
  }
  if (line.outcome == CommandLine::Outcome::Refuse) return line;
  if (version || help || helpAll) line.outcome = CommandLine::Outcome::Inform;
  // The version wins over the help, as it always has.
  if (version)
    line.answer = program.name + " " + program.version + "\n" + TrustPolicyText(UpdateInfoUrlOf(program.updateHost));
  else if (help || helpAll)
    line.answer = HelpText(program, helpAll);
  return line;
}

std::string HelpText(const ProgramDescription& program, bool all) {
  std::string text = "Usage: " + program.command + " [options]\n" +
                     Wrapped(
                         "Checks the Larkspire update server for a newer version, downloads and verifies the "
                         "update, and hands it to the installer.",
                         0, 0) +
                     "\n\nOptions:\n";
  constexpr std::size_t kColumn = 22;
  for (const Option& option : Options()) {
    if (!Find(option.names.front(), program)) continue;
    std::string entry = "  " + Synopsis(option);
    entry += entry.size() < kColumn ? std::string(kColumn - entry.size(), ' ') : "\n" + std::string(kColumn, ' ');
    text += entry + Wrapped(option.help, kColumn, kColumn) + "\n";
  }
  if (all) text += "\n" + program.toolkitHelp;
  return text;
}

ProgramDescription WithQtOptions(ProgramDescription program) {
  program.toolkitValueOptions = {
      "platform",    "platformpluginpath", "platformtheme", "plugin",  "qmljsdebugger", "qwindowgeometry",
      "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",      "name",
      "style",       "stylesheet"};
  program.toolkitFlags = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
  program.toolkitHelp =
      "Options of the window system (Qt), each also with two dashes:\n"
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
  return program;
}
