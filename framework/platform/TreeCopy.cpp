#include "framework/platform/TreeCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "framework/platform/PathLayer.h"
#include "toolbox/AppleDouble.h"
#include "toolbox/Utf8.h"

namespace {

OSErr Errno() { return toolbox::ErrorFromErrno(errno); }

std::string Join(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool SameItem(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when the folder `inner` is the folder `outer` or lies inside it. The folder's real
// ancestors are compared with `outer` by device and inode, found by climbing ".." from the
// folder itself: a path that reaches the folder through a symbolic link or a bind mount
// cannot hide where the folder really lies.
bool IsInside(const std::string& inner, const struct stat& outer) {
  int fd = open(inner.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool inside = false;
  struct stat st;
  // The depth limit only guards against a file system that never reaches its root.
  for (int depth = 0; depth < 4096 && fstat(fd, &st) == 0; ++depth) {
    if (SameItem(st, outer)) {
      inside = true;
      break;
    }
    const int parent = openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat pst;
    const bool climbed = parent >= 0 && fstat(parent, &pst) == 0 && !SameItem(pst, st);
    close(fd);
    fd = parent;
    if (!climbed) break;
  }
  if (fd >= 0) close(fd);
  return inside;
}

// The names in a folder, as bytes, without "." and "..".
OSErr ListFolder(const std::string& folder, std::vector<std::string>& names) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return Errno();
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir);
    if (!entry) break;
    const std::string n = entry->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  const int readError = errno;
  closedir(dir);
  return readError ? toolbox::ErrorFromErrno(readError) : toolbox::kNoErr;
}

// A sidecar that sits beside its own item travels with that item.
bool IsSidecarOfSibling(const std::string& folder, const std::string& name) {
  if (!toolbox::IsSidecarName(name)) return false;
  struct stat st;
  return lstat(Join(folder, name.substr(2)).c_str(), &st) == 0;
}

OSErr CopyFileBytes(const std::string& from, const std::string& to, mode_t mode, char* buffer,
                    size_t size) {
  const int in = open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in < 0) return Errno();
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (out < 0) {
    const OSErr err = Errno();
    close(in);
    return err;
  }
  OSErr err = CopyForkData(in, out, buffer, size);
  close(in);
  if (close(out) != 0 && err == toolbox::kNoErr) err = Errno();
  return err;
}

void CopyTimes(const std::string& to, const struct stat& st, bool link) {
  const timespec times[2] = {st.st_atim, st.st_mtim};
  utimensat(AT_FDCWD, to.c_str(), times, link ? AT_SYMLINK_NOFOLLOW : 0);
}

// The sidecar of an item, when the source has one.
OSErr CopySidecar(const std::string& from, const std::string& to, char* buffer, size_t size) {
  const std::string sidecar = toolbox::SidecarPathFor(from);
  struct stat st;
  if (sidecar.empty() || lstat(sidecar.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return toolbox::kNoErr;
  const std::string target = toolbox::SidecarPathFor(to);
  if (OSErr err = CopyFileBytes(sidecar, target, 0600, buffer, size)) return err;
  chmod(target.c_str(), st.st_mode & 07777);
  CopyTimes(target, st, false);
  return toolbox::kNoErr;
}

// Copies one item to a path that does not exist yet. A failure can leave a partial copy,
// which the caller removes.
OSErr CopyItem(const std::string& from, const std::string& to, char* buffer, size_t size) {
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return Errno();
  if (S_ISLNK(st.st_mode)) {
    std::vector<char> target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    const ssize_t n = readlink(from.c_str(), target.data(), target.size());
    if (n < 0) return Errno();
    if (static_cast<size_t>(n) >= target.size()) return toolbox::kIoErr;  // changed meanwhile
    if (symlink(std::string(target.data(), static_cast<size_t>(n)).c_str(), to.c_str()) != 0)
      return Errno();
    CopyTimes(to, st, true);
    return CopySidecar(from, to, buffer, size);
  }
  if (S_ISREG(st.st_mode)) {
    // The owner may read and write the copy while its bytes arrive; the source's mode and
    // times come last, so a read-only file ends read-only.
    if (OSErr err = CopyFileBytes(from, to, 0700, buffer, size)) return err;
    if (OSErr err = CopySidecar(from, to, buffer, size)) return err;
    if (chmod(to.c_str(), st.st_mode & 07777) != 0) return Errno();
    CopyTimes(to, st, false);
    return toolbox::kNoErr;
  }
  if (S_ISDIR(st.st_mode)) {
    if (mkdir(to.c_str(), 0700) != 0) return Errno();
    std::vector<std::string> names;
    if (OSErr err = ListFolder(from, names)) return err;
    for (const std::string& name : names) {
      if (IsSidecarOfSibling(from, name)) continue;
      if (OSErr err = CopyItem(Join(from, name), Join(to, name), buffer, size)) return err;
    }
    if (OSErr err = CopySidecar(from, to, buffer, size)) return err;
    if (chmod(to.c_str(), st.st_mode & 07777) != 0) return Errno();
    CopyTimes(to, st, false);
    return toolbox::kNoErr;
  }
  return toolbox::kParamErr;  // devices, pipes and sockets are not documents to copy
}

// Removes an item by path: a folder with its contents, a file or link with its sidecar.
OSErr RemovePath(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return Errno();
  if (S_ISDIR(st.st_mode)) {
    if (OSErr err = DeleteFolderContents(toolbox::FileRef{path})) return err;
    if (rmdir(path.c_str()) != 0) return Errno();
  } else if (unlink(path.c_str()) != 0) {
    return Errno();
  }
  const std::string sidecar = toolbox::SidecarPathFor(path);
  if (!sidecar.empty() && unlink(sidecar.c_str()) != 0 && errno != ENOENT) return Errno();
  return toolbox::kNoErr;
}

// Moves an item (and its sidecar) aside to ".DeleteMe-" plus a random suffix in its folder,
// never over anything already there.
OSErr MoveAside(const std::string& path, std::string& aside) {
  std::random_device random;
  const std::string folder = FolderOf(path);
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
    aside = Join(folder, std::string(".DeleteMe-") + suffix);
    if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) != 0) {
      if (errno == EEXIST) continue;
      return Errno();
    }
    const std::string sidecar = toolbox::SidecarPathFor(path);
    if (rename(sidecar.c_str(), toolbox::SidecarPathFor(aside).c_str()) != 0 && errno != ENOENT) {
      const OSErr err = Errno();
      rename(aside.c_str(), path.c_str());
      return err;
    }
    return toolbox::kNoErr;
  }
  return toolbox::kDuplicateNameErr;
}

void MoveBack(const std::string& aside, const std::string& path) {
  if (rename(aside.c_str(), path.c_str()) != 0) return;
  rename(toolbox::SidecarPathFor(aside).c_str(), toolbox::SidecarPathFor(path).c_str());
}

}  // namespace

OSErr CopyForkData(int sourceFd, int destinationFd, char* buffer, size_t size) {
  for (;;) {
    const ssize_t got = read(sourceFd, buffer, size);
    if (got < 0) {
      if (errno == EINTR) continue;
      return Errno();
    }
    if (got == 0) return toolbox::kNoErr;
    size_t done = 0;
    while (done < static_cast<size_t>(got)) {
      const ssize_t put = write(destinationFd, buffer + done, static_cast<size_t>(got) - done);
      if (put < 0) {
        if (errno == EINTR) continue;
        return Errno();
      }
      done += static_cast<size_t>(put);
    }
  }
}

OSErr CopyAllForks(const std::string& source, const std::string& destination) {
  std::vector<char> buffer(kCopyBufferSize);
  if (OSErr err = CopyFileBytes(source, destination, 0700, buffer.data(), buffer.size())) return err;
  return CopySidecar(source, destination, buffer.data(), buffer.size());
}

OSErr CopyObjectRecursive(const toolbox::FileRef& source, const toolbox::FileRef& destinationFolder,
                          const std::string* newName, int dupeAction, toolbox::FileRef* outRef) {
  if (source.IsNull() || destinationFolder.IsNull()) return toolbox::kParamErr;
  struct stat src, dst;
  if (lstat(source.path.c_str(), &src) != 0) return Errno();
  if (stat(destinationFolder.path.c_str(), &dst) != 0 || !S_ISDIR(dst.st_mode)) return kNotAFolderErr;
  if (S_ISDIR(src.st_mode) && IsInside(destinationFolder.path, src)) return kCopyIntoItselfErr;

  const std::string name = newName ? *newName : NameOf(source.path);
  if (newName && !toolbox::IsValidItemName(name)) return toolbox::kBadNameErr;
  const std::string target = Join(destinationFolder.path, name);

  std::string aside;
  struct stat existing;
  if (lstat(target.c_str(), &existing) == 0) {
    if (dupeAction != 1) return toolbox::kDuplicateNameErr;
    // Replacing the source itself, or a folder that holds it, would move the source away.
    if (SameItem(existing, src) ||
        (S_ISDIR(existing.st_mode) && IsInside(FolderOf(source.path), existing)))
      return toolbox::kDuplicateNameErr;
    if (OSErr err = MoveAside(target, aside)) return err;
  } else if (errno != ENOENT) {
    return Errno();
  }

  std::vector<char> buffer(kCopyBufferSize);
  const OSErr err = CopyItem(source.path, target, buffer.data(), buffer.size());
  if (err != toolbox::kNoErr) {
    struct stat partial;
    if (lstat(target.c_str(), &partial) == 0) RemovePath(target);
    if (!aside.empty()) MoveBack(aside, target);
    return err;
  }
  if (outRef) outRef->path = target;
  // The copy stays in place either way; what the old item leaves keeps its hidden name.
  if (!aside.empty()) return RemovePath(aside);
  return toolbox::kNoErr;
}

bool CopyPath(const PathString& source, const PathString& destinationFolder,
              const PathString* newName, int dupeAction, PathString* outPath) {
  toolbox::FileRef from, folder;
  if (!toolbox::GetFileRef(toolbox::WideToUtf8(MakeAbsolutePath(source)), from)) return false;
  if (!toolbox::GetFileRef(toolbox::WideToUtf8(MakeAbsolutePath(destinationFolder)), folder))
    return false;
  std::string name;
  if (newName) name = toolbox::WideToUtf8(*newName);
  toolbox::FileRef copy;
  if (CopyObjectRecursive(from, folder, newName ? &name : nullptr, dupeAction, &copy) != toolbox::kNoErr)
    return false;
  if (outPath) *outPath = PathString(toolbox::Utf8ToWide(copy.path));
  return true;
}

OSErr DeleteFolderContents(const toolbox::FileRef& ref) {
  if (ref.IsNull()) return toolbox::kParamErr;
  struct stat st;
  if (lstat(ref.path.c_str(), &st) != 0) return Errno();
  if (!S_ISDIR(st.st_mode)) return toolbox::kFolderNotFoundErr;
  if ((st.st_mode & S_IRWXU) != S_IRWXU && chmod(ref.path.c_str(), (st.st_mode & 07777) | S_IRWXU) != 0)
    return Errno();
  std::vector<std::string> names;
  if (OSErr err = ListFolder(ref.path, names)) return err;
  for (const std::string& name : names) {
    const std::string child = Join(ref.path, name);
    struct stat cst;
    if (lstat(child.c_str(), &cst) != 0) {
      if (errno == ENOENT) continue;  // a sidecar that went with its file
      return Errno();
    }
    if (S_ISDIR(cst.st_mode)) {
      if (OSErr err = DeleteFolderContents(toolbox::FileRef{child})) return err;
      if (rmdir(child.c_str()) != 0) return Errno();
    } else if (unlink(child.c_str()) != 0 && errno != ENOENT) {
      return Errno();
    }
  }
  return toolbox::kNoErr;
}

OSErr DeleteFolderUnlocked(const toolbox::FileRef& ref) {
  if (ref.IsNull()) return toolbox::kParamErr;
  struct stat st;
  if (lstat(ref.path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return toolbox::kFolderNotFoundErr;
  return RemovePath(ref.path);
}

OSErr DeleteObjectUnlocked(const toolbox::FileRef& ref) {
  struct stat st;
  if (ref.IsNull() || lstat(ref.path.c_str(), &st) != 0) return toolbox::kParamErr;
  return RemovePath(ref.path);
}
