#pragma once
// A hook into the test program's file lookups, to make a race with another process happen at a
// chosen moment: the program's own lstat, stat, fstatat, open and openat stand in for the C
// library's and, while a hook is armed, run its action right after the lookup it waits for.
#include <functional>
#include <string>

namespace testsupport {

// Runs `action` once, in this process, right after the `nth` (1: the first) call from now on
// of lstat, stat, fstatat, open or openat whose path ends with `nameSuffix`, before that call
// returns its result (with the errno the call left). The action may itself look items up: its
// own calls do not count. One hook waits at a time: a newer one replaces an older one still
// waiting.
class AfterLookup {
 public:
  AfterLookup(std::string nameSuffix, std::function<void()> action, int nth = 1);
  ~AfterLookup();
  AfterLookup(const AfterLookup&) = delete;
  AfterLookup& operator=(const AfterLookup&) = delete;

 private:
  unsigned long id_;
};

}  // namespace testsupport
