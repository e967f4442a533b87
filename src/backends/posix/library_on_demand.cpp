#include "backends/posix/library_on_demand.hpp"

#include <dlfcn.h>

LibraryOnDemand::LibraryOnDemand(const char* soname) : soname_(soname) {
  handle_ = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
  if (handle_) return;
  const char* why = dlerror();
  failure_ = why ? why : soname_ + " could not be loaded";
}

void* LibraryOnDemand::Symbol(const char* name) {
  if (!handle_ || !failure_.empty()) return nullptr;
  void* entry = dlsym(handle_, name);
  if (!entry) failure_ = soname_ + " has no " + name;
  return entry;
}
