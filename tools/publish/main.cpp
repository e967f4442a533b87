// larkspire-publish: puts an update on a server folder (see --help).
#include <iostream>
#include <string>
#include <vector>

#include "publisher.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return RunPublish(args, std::cout, std::cerr);
}
