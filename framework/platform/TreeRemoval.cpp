#include "framework/platform/TreeRemoval.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <utility>
#include <vector>

#include "toolbox/AppleDouble.h"

namespace {

// How many levels of a tree being emptied keep their folders open. Deeper, the folders above
// are closed and opened again through ".." on the way back up, so that a tree of any depth is
// removed with a bounded number of descriptors.
constexpr size_t kOpenLevels = 64;

OSErr Errno() { return toolbox::ErrorFromErrno(errno); }

bool SameItem(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// Whether another object than `expected` has taken the name `name` in the folder `folderFd`.
// Keeps errno, so that the failure that led here can still be reported.
bool NoLonger(int folderFd, const std::string& name, const struct stat& expected) {
  const int error = errno;
  struct stat st;
  const bool changed = fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !SameItem(st, expected);
  errno = error;
  return changed;
}

// Opens the folder `name` of `folderFd` for listing when it is still the folder `expected`,
// and gives it its owner's permissions through that descriptor where it lacks them.
OSErr OpenFolderAt(int folderFd, const std::string& name, const struct stat& expected, int& out) {
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  int fd = openat(folderFd, name.c_str(), kFlags);
  if (fd < 0 && errno == EACCES) {
    // A folder its owner may not read opens only as a path, which fchmod does not take: its
    // mode is changed through that very object's link in /proc (never through its name,
    // which another user may have pointed elsewhere meanwhile), then it is opened again and
    // checked once more. Without /proc the folder stays as locked as it was.
    const int pathFd = openat(folderFd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (pathFd < 0) return NoLonger(folderFd, name, expected) ? kItemChangedErr : Errno();
    struct stat st;
    OSErr err = fstat(pathFd, &st) != 0 ? Errno() : SameItem(st, expected) ? toolbox::kNoErr : kItemChangedErr;
    const std::string link = "/proc/self/fd/" + std::to_string(pathFd);
    if (!err && chmod(link.c_str(), (st.st_mode & 07777) | S_IRWXU) != 0)
      err = errno == ENOENT ? toolbox::kPermissionErr : Errno();
    close(pathFd);
    if (err) return err;
    fd = openat(folderFd, name.c_str(), kFlags);
  }
  if (fd < 0) return NoLonger(folderFd, name, expected) ? kItemChangedErr : Errno();
  struct stat st;
  OSErr err = fstat(fd, &st) != 0 ? Errno() : SameItem(st, expected) ? toolbox::kNoErr : kItemChangedErr;
  if (!err && (st.st_mode & S_IRWXU) != S_IRWXU && fchmod(fd, (st.st_mode & 07777) | S_IRWXU) != 0) err = Errno();
  if (err)
    close(fd);
  else
    out = fd;
  return err;
}

// Opens again, as a path, the folder above the folder open as `fd`, when it is still the
// folder `expected` (the folder was not moved elsewhere meanwhile).
OSErr OpenAbove(int fd, const struct stat& expected, int& out) {
  const int above = openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (above < 0) return Errno();
  struct stat st;
  if (fstat(above, &st) == 0 && SameItem(st, expected)) {
    out = above;
    return toolbox::kNoErr;
  }
  close(above);
  return kItemChangedErr;
}

}  // namespace

OSErr ListFolderAt(int fd, std::vector<std::string>& names) {
  const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  DIR* dir = copy < 0 ? nullptr : fdopendir(copy);
  if (!dir) {
    const OSErr err = Errno();
    if (copy >= 0) close(copy);
    return err;
  }
  errno = 0;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
    errno = 0;
  }
  const int error = errno;
  closedir(dir);
  return toolbox::ErrorFromErrno(error);
}

namespace {

// Removes the emptied folder `name` from the folder `folderFd`, reporting a name that another
// object holds by now as such.
OSErr RemoveFolderName(int folderFd, const std::string& name, const struct stat& expected) {
  if (unlinkat(folderFd, name.c_str(), AT_REMOVEDIR) == 0) return toolbox::kNoErr;
  return NoLonger(folderFd, name, expected) ? kItemChangedErr : Errno();
}

// One folder on the way down a tree being emptied.
struct Level {
  int fd;                          // -1 while closed to bound the descriptors held
  struct stat st;                  // the folder's identity, checked when it was opened
  std::string name;                // its name in the level above
  std::vector<std::string> names;  // what is still to remove in it
};

// Empties the verified folder open as `rootFd`, depth first, without recursion. Every folder
// is opened relative to the one that holds it and checked against what was examined under its
// name; files and links are unlinked by name relative to their verified folder. An item that
// someone else removed meanwhile is taken as removed.
OSErr EmptyFolder(int rootFd, const struct stat& rootSt) {
  std::vector<Level> levels;
  levels.push_back(Level{rootFd, rootSt, std::string(), {}});
  OSErr err = ListFolderAt(rootFd, levels.back().names);
  while (!err) {
    Level& top = levels.back();
    if (top.names.empty()) {
      if (levels.size() == 1) break;
      Level done = std::move(top);
      levels.pop_back();
      Level& up = levels.back();
      if (up.fd < 0) err = OpenAbove(done.fd, up.st, up.fd);
      close(done.fd);
      if (!err && (err = RemoveFolderName(up.fd, done.name, done.st)) == toolbox::kFileNotFoundErr) err = toolbox::kNoErr;
      continue;
    }
    const std::string name = std::move(top.names.back());
    top.names.pop_back();
    struct stat st;
    if (fstatat(top.fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) err = Errno();  // else someone else removed it meanwhile
      continue;
    }
    if (!S_ISDIR(st.st_mode)) {
      if (unlinkat(top.fd, name.c_str(), 0) != 0 && errno != ENOENT) err = Errno();
      continue;
    }
    int fd = -1;
    if ((err = OpenFolderAt(top.fd, name, st, fd)) == toolbox::kFileNotFoundErr) err = toolbox::kNoErr;
    if (fd < 0) continue;  // gone meanwhile, or the failure ends the loop
    if (levels.size() > kOpenLevels) {
      int& far = levels[levels.size() - kOpenLevels].fd;  // never the root's, which the caller holds
      if (far >= 0) close(far);
      far = -1;
    }
    levels.push_back(Level{fd, st, name, {}});
    err = ListFolderAt(fd, levels.back().names);
  }
  for (size_t i = 1; i < levels.size(); ++i)
    if (levels[i].fd >= 0) close(levels[i].fd);
  return err;
}

// The folder that holds the item at `path`, opened as a path (following links on the way,
// which the caller named), and the item's name and status (the item itself, not followed).
struct Holder {
  int fd = -1;
  std::string name;
  struct stat st;
  ~Holder() {
    if (fd >= 0) close(fd);
  }
  OSErr Open(const std::string& path) {
    const size_t slash = path.rfind('/');
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    if (!IsPlainName(name)) return toolbox::kParamErr;
    if ((fd = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) < 0) return Errno();
    return fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? toolbox::kNoErr : Errno();
  }
};

// Removes the item and then its sidecar beside it, when that is one.
OSErr RemoveWithSidecar(const Holder& item) {
  if (OSErr err = RemoveItemAt(item.fd, item.name, item.st)) return err;
  const std::string sidecar = "._" + item.name;
  struct stat st;
  if (!IsSidecarAt(item.fd, sidecar, &st)) return toolbox::kNoErr;
  const OSErr err = RemoveItemAt(item.fd, sidecar, st);
  return err == toolbox::kFileNotFoundErr ? toolbox::kNoErr : err;
}

}  // namespace

OSErr RemoveItemAt(int folderFd, const std::string& name, const struct stat& expected) {
  if (!IsPlainName(name)) return toolbox::kParamErr;
  struct stat st;
  if (fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Errno();
  if (!SameItem(st, expected)) return kItemChangedErr;
  if (!S_ISDIR(st.st_mode))
    return unlinkat(folderFd, name.c_str(), 0) == 0 ? toolbox::kNoErr : Errno();
  int fd = -1;
  if (OSErr err = OpenFolderAt(folderFd, name, st, fd)) return err;
  const OSErr err = EmptyFolder(fd, st);
  close(fd);
  return err ? err : RemoveFolderName(folderFd, name, st);
}

bool IsSidecarAt(int folderFd, const std::string& name, struct stat* st) {
  // The file is reopened for reading through its descriptor's link in /proc, so that what is
  // read is the regular file examined: opening a pipe or a device that took its name meanwhile
  // would have effects of its own (a writer waiting on a pipe would be let through).
  if (!IsPlainName(name)) return false;
  const int pathFd = openat(folderFd, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (pathFd < 0) return false;
  struct stat own;
  struct stat& status = st ? *st : own;
  int fd = -1;
  if (fstat(pathFd, &status) == 0 && S_ISREG(status.st_mode)) {
    fd = open(("/proc/self/fd/" + std::to_string(pathFd)).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // Without /proc, by its name again: only the file examined is read.
    struct stat opened;
    if (fd < 0 && errno == ENOENT && (fd = openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)) >= 0 &&
        (fstat(fd, &opened) != 0 || !SameItem(opened, status))) {
      close(fd);
      fd = -1;
    }
  }
  close(pathFd);
  if (fd < 0) return false;
  unsigned char head[8];  // a sidecar holds more than its magic number
  const bool sidecar = read(fd, head, sizeof head) == 8 &&
                       ((uint32_t{head[0]} << 24) | (uint32_t{head[1]} << 16) | (uint32_t{head[2]} << 8) |
                        head[3]) == toolbox::kAppleDoubleMagic;
  close(fd);
  return sidecar;
}

OSErr DeleteObjectUnlocked(const toolbox::FileRef& ref) {
  Holder item;
  if (ref.IsNull() || item.Open(ref.path) != toolbox::kNoErr) return toolbox::kParamErr;
  return RemoveWithSidecar(item);
}

OSErr DeleteFolderUnlocked(const toolbox::FileRef& ref) {
  if (ref.IsNull()) return toolbox::kParamErr;
  Holder item;
  if (item.Open(ref.path) != toolbox::kNoErr || !S_ISDIR(item.st.st_mode)) return toolbox::kFolderNotFoundErr;
  return RemoveWithSidecar(item);
}

OSErr DeleteFolderContents(const toolbox::FileRef& ref) {
  if (ref.IsNull()) return toolbox::kParamErr;
  Holder item;
  if (OSErr err = item.Open(ref.path)) return err;
  if (!S_ISDIR(item.st.st_mode)) return toolbox::kFolderNotFoundErr;
  int fd = -1;
  if (OSErr err = OpenFolderAt(item.fd, item.name, item.st, fd)) return err;
  const OSErr err = EmptyFolder(fd, item.st);
  close(fd);
  return err;
}
