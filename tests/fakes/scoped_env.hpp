#pragma once
// Sets (or unsets, with nullptr) an environment variable for a scope and
// puts the old value back afterwards.
#include <cstdlib>
#include <optional>
#include <string>

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name), old_(Get(name)) { Set(name, value); }
  ~ScopedEnv() { Set(name_, old_ ? old_->c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  static std::optional<std::string> Get(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  }
  static void Set(const char* name, const char* value) { value ? setenv(name, value, 1) : unsetenv(name); }
  const char* name_;
  std::optional<std::string> old_;
};
