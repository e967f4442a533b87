#pragma once
// Publishing an update into a server folder: the package first, then the
// catalog, each moved into place atomically once it is complete and checked.
#include <iosfwd>
#include <string>
#include <vector>

#include "publish_options.hpp"

// Publishes checked options. Raises PublishError: BadInput (the package
// cannot be read or is empty; nothing written) or WriteFailed (what was
// begun has been removed; an earlier catalog stays in place).
void Publish(const PublishOptions& options);

// The whole program: parses args (without the program name), prints the
// usage for --help or the name and version for --version to out, publishes, and reports a failure as one line on
// err. Returns the exit status: 0, 1 (write failure) or 2 (bad input).
int RunPublish(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
