#include "call_hook_support.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <utility>

namespace {

std::atomic<bool> g_armed{false};
std::mutex g_mutex;  // guards what follows
std::string g_suffix;
std::function<void()> g_action;
int g_callsLeft = 0;
unsigned long g_id = 0;  // of the hook armed last
thread_local bool t_inAction = false;

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

bool EndsWith(const char* path, const std::string& suffix) {
  const size_t length = std::strlen(path);
  return length >= suffix.size() && suffix.compare(0, std::string::npos, path + length - suffix.size()) == 0;
}

// Runs the armed action when the lookup of `path` is the one it waits for. Keeps errno.
void Looked(const char* path) {
  if (!g_armed.load(std::memory_order_relaxed) || t_inAction || !path) return;
  std::function<void()> action;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_armed.load() || !EndsWith(path, g_suffix) || --g_callsLeft > 0) return;
    action = std::move(g_action);
    g_armed.store(false);
  }
  const int error = errno;
  t_inAction = true;
  action();
  t_inAction = false;
  errno = error;
}

// Whether open's flags take a mode after them.
bool TakesMode(int flags) { return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE; }

}  // namespace

extern "C" int stat(const char* path, struct stat* st) noexcept {
  static const auto next = Next<int (*)(const char*, struct stat*)>("stat");
  const int result = next(path, st);
  Looked(path);
  return result;
}

extern "C" int lstat(const char* path, struct stat* st) noexcept {
  static const auto next = Next<int (*)(const char*, struct stat*)>("lstat");
  const int result = next(path, st);
  Looked(path);
  return result;
}

extern "C" int fstatat(int folder, const char* path, struct stat* st, int flags) noexcept {
  static const auto next = Next<int (*)(int, const char*, struct stat*, int)>("fstatat");
  const int result = next(folder, path, st, flags);
  Looked(path);
  return result;
}

extern "C" int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (TakesMode(flags)) {
    va_list arguments;
    va_start(arguments, flags);
    mode = va_arg(arguments, mode_t);
    va_end(arguments);
  }
  return openat(AT_FDCWD, path, flags, mode);
}

extern "C" int openat(int folder, const char* path, int flags, ...) {
  mode_t mode = 0;
  if (TakesMode(flags)) {
    va_list arguments;
    va_start(arguments, flags);
    mode = va_arg(arguments, mode_t);
    va_end(arguments);
  }
  static const auto next = Next<int (*)(int, const char*, int, ...)>("openat");
  const int result = next(folder, path, flags, mode);
  Looked(path);
  return result;
}

namespace testsupport {

AfterLookup::AfterLookup(std::string nameSuffix, std::function<void()> action, int nth) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_suffix = std::move(nameSuffix);
  g_action = std::move(action);
  g_callsLeft = nth;
  id_ = ++g_id;
  g_armed.store(true);
}

AfterLookup::~AfterLookup() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_id != id_ || !g_armed.load()) return;
  g_armed.store(false);
  g_action = nullptr;
}

}  // namespace testsupport
