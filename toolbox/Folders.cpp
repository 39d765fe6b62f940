#include "toolbox/Folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "toolbox/AppleDouble.h"
#include "toolbox/Utf8.h"

namespace toolbox {
namespace {

std::string WithSlash(std::string s) {
  if (s.empty() || s.back() != '/') s.push_back('/');
  return s;
}

// An environment value that is an absolute path (the XDG rule: relative ones are ignored).
std::string AbsoluteEnv(const char* name) {
  const char* v = std::getenv(name);
  return v && v[0] == '/' ? std::string(v) : std::string();
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Makes the folder and its missing parents (each new one mode 0700).
bool MakeFolders(const std::string& path) {
  if (IsFolder(path)) return true;
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  const size_t slash = p.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(p.substr(0, slash))) return false;
  return mkdir(p.c_str(), 0700) == 0 || (errno == EEXIST && IsFolder(p));
}

std::string XdgFolder(const char* variable, const char* fallback, bool create) {
  std::string folder = AbsoluteEnv(variable);
  if (folder.empty()) {
    const std::string home = HomeFolder();
    if (home.empty()) return std::string();
    folder = home + fallback;
  }
  folder = WithSlash(folder);
  if (create && !MakeFolders(folder)) return std::string();
  return folder;
}

}  // namespace

std::string HomeFolder() {
  std::string home = AbsoluteEnv("HOME");
  if (home.empty()) {
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
      home = pw->pw_dir;
  }
  return home.empty() ? home : WithSlash(home);
}

bool EnsurePrivateFolder(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty()) return false;
  if (mkdir(p.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  if (lstat(p.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

std::string PrivateTemporaryFolder() {
  std::string base = AbsoluteEnv("TMPDIR");
  if (base.empty()) base = "/tmp";
  const std::string folder = WithSlash(base) + "brivane-" + std::to_string(geteuid());
  return EnsurePrivateFolder(folder) ? WithSlash(folder) : std::string();
}

std::string FindFolder(FolderDomain domain, FolderKind kind, bool create) {
  if (domain != FolderDomain::User) {
    if (kind != FolderKind::ApplicationSupport) return std::string();
    if (domain == FolderDomain::System) return "/usr/share/";
    if (domain == FolderDomain::Local) return "/usr/local/share/";
    return std::string();
  }
  switch (kind) {
    case FolderKind::ApplicationSupport: return XdgFolder("XDG_DATA_HOME", ".local/share", create);
    case FolderKind::Preferences: return XdgFolder("XDG_CONFIG_HOME", ".config", create);
    case FolderKind::State: return XdgFolder("XDG_STATE_HOME", ".local/state", create);
    case FolderKind::Desktop: {
      const std::string home = HomeFolder();
      if (home.empty()) return home;
      return IsFolder(home + "Desktop") ? home + "Desktop/" : home;
    }
    case FolderKind::Temporary: return PrivateTemporaryFolder();
  }
  return std::string();
}

bool FolderReader::Open(const std::string& folder) {
  Close();
  dir_ = opendir(folder.c_str());
  folder_ = WithSlash(folder);
  return dir_ != nullptr;
}

bool FolderReader::Next(std::string& name, bool& isFolder) {
  if (!dir_) return false;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir_);
    if (!entry) return false;
    const std::string n = entry->d_name;
    if (n == "." || n == ".." || IsSidecarName(n) || !IsValidUtf8(n)) continue;
    name = n;
    isFolder = IsFolder(folder_ + n);
    return true;
  }
}

bool FolderReader::Close() {
  if (!dir_) return true;
  const bool ok = closedir(dir_) == 0;
  dir_ = nullptr;
  return ok;
}

}  // namespace toolbox
