#include "backends/posix/library_on_demand.hpp"

#include <gtest/gtest.h>

#include <vector>

// A library opened when first needed says why it cannot be used: the
// loader's words for one that is not there, else the first entry point it
// lacks (and nothing after that is found, even what it has).
TEST(LibraryOnDemand, SaysWhyItCannotBeUsed) {
  struct Row {
    const char* soname;
    std::vector<const char*> entries;
    std::string said;         // the start of what Failure says; "" when usable
    std::vector<bool> found;  // which entry points were found
  };
  for (const Row& row :
       {Row{"libm.so.6", {"cos", "sin"}, "", {true, true}},
        Row{"libm.so.6", {"cos", "larkspire_none", "sin"}, "libm.so.6 has no larkspire_none", {true, false, false}},
        Row{"liblarkspire-none.so.9", {"cos"}, "liblarkspire-none.so.9: cannot open", {false}}}) {
    LibraryOnDemand library(row.soname);
    std::vector<double (*)(double)> entries(row.entries.size());
    std::vector<bool> found;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      library.Find(row.entries[i], entries[i]);
      found.push_back(entries[i] != nullptr);
    }
    EXPECT_EQ(library.Failure().substr(0, row.said.size()), row.said) << row.soname;
    EXPECT_EQ(library.Failure().empty(), row.said.empty()) << row.soname;
    EXPECT_EQ(found, row.found) << row.soname;
  }
  // What is found is the library's own.
  LibraryOnDemand m("libm.so.6");
  double (*cosine)(double) = nullptr;
  m.Find("cos", cosine);
  EXPECT_EQ(cosine ? cosine(0.0) : 0.0, 1.0);
}
