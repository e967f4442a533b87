#pragma once
// A system library opened the first time the program needs it, instead of
// by the dynamic loader before main: the libraries that are not needed to
// show the window (libcurl with its tree, libcrypto) are most of the
// loader's work at start-up otherwise.
//
// Opened by its soname (the system's copy, as the linker would have found
// it), with its symbols kept local (nothing else in the program binds to
// them) and every symbol bound at once (a missing one is a failure to open,
// not a crash in the middle of a download). The entry points are found by
// name into typed pointers; either all of them are found and the library
// stays loaded for the rest of the run (libraries such as these keep global
// state that must not be unmapped), or it is closed again and Failure says
// why.
//
// Not thread-safe by itself: the callers open each library once, from a
// function-local static.
#include <string>

class LibraryOnDemand {
 public:
  explicit LibraryOnDemand(const char* soname);
  ~LibraryOnDemand();
  LibraryOnDemand(const LibraryOnDemand&) = delete;
  LibraryOnDemand& operator=(const LibraryOnDemand&) = delete;

  // Points entry at the entry point called name; null when the library did
  // not open or has no such entry point (Failure then says which).
  template <typename Entry>
  void Find(const char* name, Entry& entry) {
    entry = reinterpret_cast<Entry>(Symbol(name));
  }
  // "" when the library opened and every entry point asked for was found:
  // it then stays loaded. Else why not (the dynamic loader's words), and it
  // is closed when this goes.
  const std::string& Failure() const { return failure_; }

 private:
  void* Symbol(const char* name);

  std::string soname_;
  void* handle_ = nullptr;
  std::string failure_;
};
