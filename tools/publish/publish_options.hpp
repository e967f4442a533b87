#pragma once
// The command line of larkspire-publish, checked against what the wizard
// will accept from the catalog it writes.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A component offered in the catalog.
struct ComponentOffer {
  int row = 0;          // its row of ComponentKeys, 1 to 6
  std::string version;  // M.NN.BBBB
  std::string exename;  // UTF-8; "" for none
  bool enabled = true;
};

struct PublishOptions {
  bool help = false;
  bool version = false;
  std::string package;      // the package file as given
  std::string packageName;  // its file name in lower case, as the url names it
  std::string hostPort;     // "host" or "host:port", lower case
  std::string urlPath;      // "" or "dir/sub/", lower case
  std::string outDir;
  std::vector<ComponentOffer> components;  // in ComponentKeys order
  bool disableSetup = false;
  // --generate-key FILE: only make a signing key there.
  std::string generateKey;
  // --print-public-key FILE: only print the public half of the key there.
  std::string printPublicKey;
  // --sign-key FILE: sign the catalog with this key ("" writes it unsigned,
  // exactly as before signing existed), with its serial (the publish time
  // as YYYYMMDDhhmmss; none: now) and the days it lives after the serial.
  std::string signKey;
  std::optional<std::uint64_t> serial;
  std::optional<int> expiresDays;
  static constexpr int kDefaultLifetimeDays = 7;

  // The address the catalog gives for the package.
  std::string PackageUrl() const { return "http://" + hostPort + "/" + urlPath + packageName; }
};

// The options of a command line (without the program name). Raises
// PublishError (BadInput) with one line that says what is wrong.
PublishOptions ParsePublishOptions(const std::vector<std::string>& args);

// The text --help prints.
std::string PublishUsage();
