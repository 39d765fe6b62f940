#pragma once
// Helpers shared by the path and file tests.
#include <cstdlib>
#include <optional>
#include <string>

#include "framework/platform/PathString.h"
#include "toolbox/Utf8.h"

namespace pathtest {

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

inline PathString W(const std::string& utf8) { return PathString(toolbox::Utf8ToWide(utf8)); }
inline std::string U(const std::wstring& wide) { return toolbox::WideToUtf8(wide); }

}  // namespace pathtest
