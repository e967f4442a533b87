#pragma once
// Runs larkspire-publish as a separate program and collects what it said.
#include <string>
#include <vector>

struct ToolRun {
  int status = -1;  // the exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs the publishing tool with these arguments. Throws std::runtime_error
// when it cannot be started.
ToolRun RunPublishTool(const std::vector<std::string>& args);
