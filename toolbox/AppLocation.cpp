#include "toolbox/AppLocation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace toolbox {
namespace {

std::string& AppFolderOverride() {
  static std::string folder;
  return folder;
}

std::string& ResourcesOverride() {
  static std::string folder;
  return folder;
}

std::string WithSlash(std::string s) {
  if (s.empty() || s.back() != '/') s.push_back('/');
  return s;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string ExecutableFolder() {
  static const std::string folder = [] {
    std::vector<char> buf(4096);
    for (;;) {
      ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
      if (n < 0) return std::string("./");
      if (static_cast<size_t>(n) < buf.size()) {
        std::string exe(buf.data(), static_cast<size_t>(n));
        auto slash = exe.rfind('/');
        return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
      }
      buf.resize(buf.size() * 2);
    }
  }();
  return folder;
}

std::string ApplicationFolder() {
  const std::string& o = AppFolderOverride();
  return o.empty() ? ExecutableFolder() : o;
}

void SetApplicationFolder(const std::string& folder) {
  AppFolderOverride() = folder.empty() ? std::string() : WithSlash(folder);
}

std::string ResourcesFolder() {
  if (!ResourcesOverride().empty()) return ResourcesOverride();
  const std::string exe = ExecutableFolder();
  for (const std::string& candidate : {exe + "resources/", exe + "../resources/"}) {
    if (IsDirectory(candidate)) return candidate;
  }
  return std::string();
}

void SetResourcesFolder(const std::string& folder) {
  ResourcesOverride() = folder.empty() ? std::string() : WithSlash(folder);
}

}  // namespace toolbox
