#include "backends/posix/library_on_demand.hpp"

#include <gtest/gtest.h>

#include <vector>

// A library opened when first needed gives every entry point asked for, or
// none (so nothing half-loaded is ever called), and says why not: the
// loader's words for a library that is not there, the first missing name
// otherwise.
TEST(LibraryOnDemand, GivesEveryEntryPointOrSaysWhyNot) {
  struct Row {
    const char* soname;
    std::vector<const char*> entries;
    std::string said;  // what Failure says: "" when loaded, else a part of it
  };
  for (const Row& row : {Row{"libm.so.6", {"cos", "sin"}, ""},
                         Row{"libm.so.6", {"cos", "larkspire_none", "sin", "larkspire_other"},
                             "libm.so.6 has no larkspire_none"},
                         Row{"liblarkspire-none.so.9", {"cos"}, "liblarkspire-none.so.9: cannot open"}}) {
    LibraryOnDemand library(row.soname);
    std::vector<double (*)(double)> found(row.entries.size());
    for (std::size_t i = 0; i < found.size(); ++i) library.Find(row.entries[i], found[i]);
    const std::string& failure = library.Failure();
    EXPECT_EQ(row.said.empty() ? failure : failure.substr(0, row.said.size()), row.said) << row.soname;
    const bool all = row.said.empty();
    EXPECT_EQ(all ? found.front()(0.0) + found.back()(0.0) : 0.0, all ? 1.0 : 0.0) << row.soname;
    // After a failure nothing more is found, even what is there (sin).
    if (!all) EXPECT_EQ(found.size() > 2 ? found[2] : found[0], nullptr) << row.soname;
  }
}
