#include "publish_options.hpp"

#include <arpa/inet.h>

#include <algorithm>
#include <filesystem>

#include "catalog/catalog_reading.hpp"
#include "catalog/catalog_rules.hpp"
#include "catalog/number_text.hpp"
#include "catalog/update_component.hpp"
#include "install/integrity.hpp"
#include "publish_error.hpp"
#include "support/codepage.hpp"

namespace {
// The longest value the wizard's profile reader returns whole.
constexpr std::size_t kMaxValue = 254;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool IsDigits(const std::string& s) { return !s.empty() && std::all_of(s.begin(), s.end(), ::isdigit); }

// Characters that an address carries as they are and that every file system
// keeps: no encoding, no case trouble once lowered.
bool IsUrlSafeName(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) {
    return std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == '~';
  });
}

void ParseBaseUrl(const std::string& given, PublishOptions& o) {
  const std::string url = Lower(given);
  if (!url.starts_with("http://")) BadInput("--base-url must begin with http:// (got \"" + given + "\")");
  std::string rest = url.substr(7);
  const std::size_t slash = rest.find('/');
  o.hostPort = rest.substr(0, slash);
  std::string path = slash == std::string::npos ? "" : rest.substr(slash + 1);

  // An IPv6 address is written in brackets, and its colons are not the port's.
  const bool v6 = o.hostPort.starts_with("[");
  const std::size_t close = v6 ? o.hostPort.find(']') : 0;
  const std::size_t colon = o.hostPort.find(':', v6 && close != std::string::npos ? close : 0);
  const std::string host = v6 ? o.hostPort.substr(1, close - 1) : o.hostPort.substr(0, colon);
  in6_addr address{};
  const bool hostOk = v6 ? close != std::string::npos && inet_pton(AF_INET6, host.c_str(), &address) == 1 &&
                               (close + 1 == o.hostPort.size() || colon == close + 1)
                         : !host.empty() && std::all_of(host.begin(), host.end(), [](unsigned char c) {
                             return std::isalnum(c) || c == '.' || c == '-';
                           });
  if (!hostOk) BadInput("--base-url has no usable host name or IPv6 address in brackets (got \"" + given + "\")");
  if (colon != std::string::npos) {
    const std::string port = o.hostPort.substr(colon + 1);
    if (!IsDigits(port) || port.size() > 5 || std::stoi(port) < 1 || std::stoi(port) > 65535)
      BadInput("--base-url has a bad port (got \"" + given + "\")");
  }

  if (!path.empty() && path.back() != '/') path += '/';
  for (std::size_t at = 0; at < path.size();) {
    const std::size_t end = path.find('/', at);
    const std::string segment = path.substr(at, end - at);
    if (!IsUrlSafeName(segment) || segment == "." || segment == "..")
      BadInput(
          "--base-url path parts may hold only letters, digits, '.', '-', '_' and '~', and may not be "
          "empty, '.' or '..' (got \"" +
          given + "\")");
    at = end + 1;
  }
  o.urlPath = path;
}

void ParsePackage(const std::string& given, PublishOptions& o) {
  o.package = given;
  const std::string name = std::filesystem::path(given).filename().string();
  if (name.find('.') == std::string::npos)
    BadInput("the package's file name must contain a \".\" (got \"" + name + "\")");
  if (!IsUrlSafeName(name) || !IsPlainFileName(name))
    BadInput("the package's file name may hold only letters, digits, '.', '-', '_' and '~' (got \"" + name + "\")");
  // The wizard stores the package under this name: it must take it.
  if (!IsSafePackageName(Lower(name)))
    BadInput("the package's file name may not begin with '-' or '.' nor name a Windows device (got \"" + name + "\")");
  o.packageName = Lower(name);
}

int ComponentRow(const std::string& name) {
  const std::string lowered = Lower(name);
  for (std::size_t row = 1; row < ComponentKeys.size(); ++row)
    if (lowered == ComponentKeys[row]) return static_cast<int>(row);
  std::string known;
  for (std::size_t row = 1; row < ComponentKeys.size(); ++row)
    known += (row > 1 ? ", " : "") + std::string(ComponentKeys[row]);
  BadInput("unknown component \"" + name + "\" (known: " + known + ")");
}

void CheckVersion(const std::string& name, const std::string& version) {
  // One or more major digits, two minor and four build digits.
  const std::size_t p1 = version.find('.');
  const bool shaped = p1 != std::string::npos && p1 + 8 == version.size() && version[p1 + 3] == '.' &&
                      IsDigits(version.substr(0, p1)) && IsDigits(version.substr(p1 + 1, 2)) &&
                      IsDigits(version.substr(p1 + 4));
  if (!shaped) BadInput("version of " + name + " must be M.NN.BBBB, like 3.02.0012 (got \"" + version + "\")");
  std::string digits = version;
  digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
  if (!ParseInt32(digits))
    BadInput("version of " + name + " is too large for the wizard to compare (got \"" + version + "\")");
}

void CheckExeName(const std::string& name, const std::string& exename) {
  const auto ansi = Utf8ToAnsiExact(exename);
  if (!ansi) BadInput("exename of " + name + " has characters outside Windows-1252 (got \"" + exename + "\")");
  const bool controls = std::any_of(ansi->begin(), ansi->end(), [](unsigned char c) { return c < 32 || c == 127; });
  const bool blanksAround = !ansi->empty() && (ansi->front() == ' ' || ansi->back() == ' ');
  const bool quoted =
      ansi->size() >= 2 && (ansi->front() == '"' || ansi->front() == '\'') && ansi->back() == ansi->front();
  if (controls || blanksAround || quoted)
    BadInput("exename of " + name + " may not hold control characters, blanks at its ends or quotes around it");
  if (ansi->size() > kMaxValue) BadInput("exename of " + name + " is longer than 254 characters");
}

ComponentOffer ParseComponent(const std::string& text) {
  std::vector<std::string> parts;
  for (std::size_t at = 0;;) {
    const std::size_t comma = text.find(',', at);
    parts.push_back(text.substr(at, comma - at));
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  const std::size_t eq = parts[0].find('=');
  if (eq == std::string::npos) BadInput("--component wants NAME=VERSION (got \"" + text + "\")");
  ComponentOffer offer;
  const std::string name = parts[0].substr(0, eq);
  offer.row = ComponentRow(name);
  offer.version = parts[0].substr(eq + 1);
  CheckVersion(name, offer.version);
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::size_t e = parts[i].find('=');
    const std::string key = parts[i].substr(0, e);
    const std::string value = e == std::string::npos ? "" : parts[i].substr(e + 1);
    if (key == "exename" && e != std::string::npos) {
      CheckExeName(name, value);
      offer.exename = value;
    } else if (key == "enabled" && (value == "0" || value == "1")) {
      offer.enabled = value == "1";
    } else {
      BadInput("--component takes exename=NAME and enabled=0|1 after the version (got \"" + parts[i] + "\")");
    }
  }
  return offer;
}
}  // namespace

PublishOptions ParsePublishOptions(const std::vector<std::string>& args) {
  PublishOptions o;
  std::optional<std::string> package, baseUrl, out;
  std::size_t keyArgs = 0;  // how many arguments --generate-key or --print-public-key took
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    // The end of the options. The tool takes nothing but options, so
    // whatever follows is a mistake, and said to be one.
    if (arg == "--") {
      if (i + 1 < args.size()) BadInput("unexpected argument \"" + args[i + 1] + "\" after -- (see --help)");
      break;
    }
    std::optional<std::string> inlineValue;
    if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
      inlineValue = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
    }
    auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= args.size()) BadInput(arg + " needs a value");
      return args[++i];
    };
    if (arg == "--help" || arg == "-h") {
      o.help = true;
      return o;
    } else if ((arg == "--version" || arg == "-v") && !inlineValue) {
      o.version = true;
      return o;
    } else if (arg == "--package") {
      package = value();
    } else if (arg == "--base-url") {
      baseUrl = value();
    } else if (arg == "--out") {
      out = value();
    } else if (arg == "--component") {
      ComponentOffer offer = ParseComponent(value());
      for (const ComponentOffer& c : o.components)
        if (c.row == offer.row) BadInput(std::string("component ") + ComponentKeys[offer.row] + " is given twice");
      o.components.push_back(std::move(offer));
    } else if (arg == "--disable-setup" && !inlineValue) {
      o.disableSetup = true;
    } else if (arg == "--generate-key" || arg == "--print-public-key") {
      keyArgs = inlineValue ? 1 : 2;
      std::string& file = arg == "--generate-key" ? o.generateKey : o.printPublicKey;
      file = value();
      if (file.empty()) BadInput(arg + " needs a file name");
    } else if (arg == "--sign-key") {
      o.signKey = value();
      if (o.signKey.empty()) BadInput("--sign-key needs a file name");
    } else if (arg == "--serial") {
      const std::string text = value();
      // The wizards hold the serial against their clocks: it is a time.
      if (!SerialTime(text)) BadInput("--serial must be a UTC publish time as YYYYMMDDhhmmss (got \"" + text + "\")");
      o.serial = std::stoull(text);
    } else if (arg == "--expires-days") {
      const std::string text = value();
      if (!IsDigits(text) || text.size() > 2 || std::stoi(text) < 1 || std::stoi(text) > kMaxCatalogLifetimeDays)
        BadInput("--expires-days must be a whole number of days from 1 to " + std::to_string(kMaxCatalogLifetimeDays) +
                 " (got \"" + text +
                 "\"): a catalog that lives longer keeps users from newer ones as long "
                 "when it is replayed");
      o.expiresDays = std::stoi(text);
    } else {
      BadInput("unknown argument \"" + args[i] + "\" (see --help)");
    }
  }
  if (!o.generateKey.empty() || !o.printPublicKey.empty()) {
    if (args.size() != keyArgs)
      BadInput(std::string(o.generateKey.empty() ? "--print-public-key" : "--generate-key") +
               " FILE stands alone (see --help)");
    return o;
  }
  if (o.signKey.empty() && (o.serial || o.expiresDays)) BadInput("--serial and --expires-days need --sign-key");
  if (!package) BadInput("--package is missing (see --help)");
  if (!baseUrl) BadInput("--base-url is missing (see --help)");
  if (!out || out->empty()) BadInput("--out is missing (see --help)");
  ParsePackage(*package, o);
  ParseBaseUrl(*baseUrl, o);
  o.outDir = *out;
  if (o.PackageUrl().size() > kMaxValue) BadInput("the package's address is longer than 254 characters");
  std::sort(o.components.begin(), o.components.end(),
            [](const ComponentOffer& a, const ComponentOffer& b) { return a.row < b.row; });
  return o;
}

std::string PublishUsage() {
  return R"(Usage: larkspire-publish --package FILE --base-url http://HOST[:PORT]/PATH/ --out DIR
                         [--component NAME=VERSION[,exename=NAME][,enabled=0|1]]...
                         [--disable-setup]
                         [--sign-key FILE [--serial N] [--expires-days D]]
       larkspire-publish --generate-key FILE
       larkspire-publish --print-public-key FILE

Puts an update on a server folder: writes the update-information file
DIR/browser/updchk.ndf and copies the setup package to DIR/PATH/ under its
file name in lower case. Any static web server that serves DIR at
http://HOST[:PORT]/ is then an update server for the wizard.

Options:
  --package FILE       the setup package. Its file name must contain a "." and
                       hold only letters, digits, '.', '-', '_' and '~'; it is
                       published in lower case.
  --base-url URL       where the package will be served from: http://, a host
                       name or address (an IPv6 address in brackets, as in
                       http://[2001:db8::1]:8080/dl/), an optional port, and
                       an optional folder path (letters, digits, '.', '-',
                       '_', '~').
                       The catalog's url is this address followed by the
                       package's name, all in lower case.
  --out DIR            the server folder (created when missing). An existing
                       tree is updated: the package goes into place first,
                       the catalog is replaced last and atomically.
  --component NAME=VERSION[,exename=NAME][,enabled=0|1]
                       offers a component in a newer version. NAME is one of
                       larkspire, rillgauge, quillon, palvetta, qvmpanel,
                       qvmclock; VERSION is M.NN.BBBB (like 3.03.0000);
                       exename is the name the wizard lists (default: NAME);
                       enabled=0 writes the section switched off. Give the
                       option once per component; components not given are
                       written switched off.
  --disable-setup      switches the update off: the wizard shows that no
                       update is available and fetches nothing further.
  --sign-key FILE      signs the catalog with the P-256 secret key in FILE
                       (which must be readable by its owner only) and adds
                       the package's sha256 and pkgsize, a serial and the
                       time it expires. Publish again before then (a new
                       serial, the same package), or wizards refuse it.
  --serial T           the catalog's serial: its publish time in UTC as
                       YYYYMMDDhhmmss (default: now); it must rise over the
                       serial of the catalog already in DIR.
  --expires-days D     the catalog expires D days after its serial (1 to 30;
                       default 7).
  --generate-key FILE  makes a new secret key in FILE (PKCS#8 PEM, mode 0600,
                       never over an existing file) and prints the
                       LARKSPIRE_UPDATE_PUBLIC_KEYS= value of its public key.
  --print-public-key FILE
                       prints that value again for the secret key in FILE.
  -h, --help           shows this text.
  -v, --version        shows the program's name and version, and what the
                       wizards of the same build trust.
  --                   ends the options (nothing may follow it).

A value may also follow its option after "=", as in --out=/srv/larkspire.

The catalog's "crc" is the package's CRC-32 and its "size" is the catalog's
own length in bytes. Before anything is moved into place the catalog is read
back with the wizard's own reader and rules, and a signed one is checked
against its public key. On bad input one line goes to
stderr, the exit status is 2 and nothing is written; a failure while writing
exits with 1 and removes what it had begun.
)";
}
