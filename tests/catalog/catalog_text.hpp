#pragma once
// Update-information files for the catalog tests: a good file whose parts a
// test can change, with its "size" made to fit its own length.
#include <map>
#include <string>

struct CatalogText {
  // Section name to its lines ("key=value"), in ComponentKeys order.
  std::map<std::string, std::string> sections;
  std::string extra;  // appended after the sections

  // A file that offers the setup package and a newer "quillon".
  static CatalogText Good();
  // The file's bytes; "@SIZE@" in any line becomes the file's own length.
  std::string Bytes() const;
};
