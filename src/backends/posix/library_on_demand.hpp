#pragma once
// A system library opened the first time the program needs it, instead of
// by the dynamic loader before main: the libraries that are not needed to
// show the window (libcurl with its tree, libcrypto) are most of the
// loader's work at start-up otherwise.
//
// Opened by its soname, from the system's library path (the program
// carries no run path of its own for it), with its symbols kept local
// (nothing else in the program binds to them) and every symbol bound at
// once (a missing one is a failure to open, not a crash in the middle of a
// download). The entry points are found by name into typed pointers: the
// caller uses them when all were found, and none of them when Failure says
// why not. The library is never closed again, not even then: libraries such
// as these start global state of their own (their dependencies' too) that
// must not be unmapped.
//
// Not thread-safe by itself: the callers open each library once, from a
// function-local static.
#include <string>

class LibraryOnDemand {
 public:
  explicit LibraryOnDemand(const char* soname);

  // Points entry at the entry point called name; null when the library did
  // not open, has no such entry point, or lacked an earlier one.
  template <typename Entry>
  void Find(const char* name, Entry& entry) {
    entry = reinterpret_cast<Entry>(Symbol(name));
  }
  // "" when the library opened and every entry point asked for was found,
  // else why not (the dynamic loader's words, or the first name missing).
  const std::string& Failure() const { return failure_; }

 private:
  void* Symbol(const char* name);

  std::string soname_;
  void* handle_ = nullptr;
  std::string failure_;
};
