#include "toolbox/Files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <algorithm>
#include <map>
#include <vector>

namespace toolbox {
namespace {

std::string StripTrailingSlashes(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

std::string ParentOf(const std::string& canonical) {
  const size_t slash = canonical.rfind('/');
  if (slash == std::string::npos || canonical == "/") return std::string();
  return slash == 0 ? std::string("/") : canonical.substr(0, slash);
}

std::string Child(const std::string& folder, std::string_view name) {
  std::string p = folder;
  if (p.empty() || p.back() != '/') p.push_back('/');
  p.append(name);
  return p;
}

bool RealPath(const std::string& path, std::string& out) {
  char* r = realpath(path.c_str(), nullptr);
  if (!r) return false;
  out.assign(r);
  free(r);
  return out.size() < PATH_MAX;
}

// The POSIX path an HFS path names; isDirectory tells whether it had the folder form.
std::string HfsToPosix(std::string_view hfs, bool& isDirectory) {
  isDirectory = !hfs.empty() && hfs.back() == ':';
  const bool relative = !hfs.empty() && hfs.front() == ':';
  std::string_view rest = relative ? hfs.substr(1) : hfs;
  std::string out;
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t colon = rest.find(':', start);
    std::string part(rest.substr(start, colon == std::string_view::npos ? rest.npos : colon - start));
    // A '/' inside an HFS name is a ':' in its POSIX name.
    for (char& c : part)
      if (c == '/') c = ':';
    parts.push_back(part);
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  if (isDirectory && !parts.empty() && parts.back().empty()) parts.pop_back();
  size_t i = 0;
  if (!relative) {
    const std::string volume = parts.empty() ? std::string() : parts[0];
    out = volume == kStartupVolumeName ? std::string() : "/Volumes/" + volume;
    i = 1;
  }
  for (; i < parts.size(); ++i) {
    // Each empty component (from "::") names the parent folder.
    std::string part = parts[i].empty() ? std::string("..") : parts[i];
    if (!out.empty() || !relative) out.push_back('/');
    out += part;
  }
  if (out.empty()) out = relative ? "." : "/";
  return out;
}

struct OpenForkState {
  int fd = -1;
  bool resource = false;
  int permission = 0;
  std::string path;
  std::string data;  // resource fork bytes
  uint64_t position = 0;
  bool dirty = false;
};

std::map<ForkRefNum, OpenForkState>& Forks() {
  static std::map<ForkRefNum, OpenForkState> forks;
  return forks;
}

OpenForkState* FindFork(ForkRefNum fork) {
  auto it = Forks().find(fork);
  return it == Forks().end() ? nullptr : &it->second;
}

}  // namespace

OSErr ErrorFromErrno(int error) {
  switch (error) {
    case 0: return kNoErr;
    case ENOENT: return kFileNotFoundErr;
    case ENOTDIR: return kFolderNotFoundErr;
    case EEXIST: return kDuplicateNameErr;
    case EACCES:
    case EPERM:
    case EROFS: return kPermissionErr;
    case ENOSPC:
    case EDQUOT: return kDiskFullErr;
    case EBUSY:
    case ENOTEMPTY: return kFileBusyErr;
    case EMFILE:
    case ENFILE: return kTooManyFilesErr;
    case ENAMETOOLONG: return kBadNameErr;
    case EISDIR: return kNotAFileErr;
    case EINVAL: return kParamErr;
    default: return kIoErr;
  }
}

FileUrl MakeFileUrl(std::string_view path, PathStyle style, bool isDirectory) {
  FileUrl url;
  if (path.empty()) return url;
  std::string posix;
  if (style == PathStyle::Hfs) {
    bool folder = false;
    posix = HfsToPosix(path, folder);
    isDirectory = isDirectory || folder;
  } else {
    posix.assign(path);
  }
  if (posix.size() > 1 && posix.back() == '/') isDirectory = true;
  url.path = StripTrailingSlashes(posix);
  url.isDirectory = isDirectory || url.path == "/";
  return url;
}

std::string UrlFileSystemPath(const FileUrl& url) { return url.path; }

bool GetFileRef(const FileUrl& url, FileRef& out) {
  out = FileRef();
  const std::string& p = url.path;
  if (p.empty() || p[0] != '/' || p.size() >= PATH_MAX) return false;
  struct stat st;
  const std::string probe = url.isDirectory && p != "/" ? p + "/" : p;
  if (lstat(probe.c_str(), &st) != 0) return false;
  std::string canonical;
  const size_t slash = p.rfind('/');
  const std::string leaf = p.substr(slash + 1);
  if (p == "/" || leaf == "." || leaf == ".." || url.isDirectory) {
    if (!RealPath(p, canonical)) return false;
  } else {
    std::string parent;
    if (!RealPath(slash == 0 ? std::string("/") : p.substr(0, slash), parent)) return false;
    canonical = Child(parent, leaf);
    if (canonical.size() >= PATH_MAX) return false;
  }
  out.path = canonical;
  return true;
}

bool GetFileRef(std::string_view absolutePath, FileRef& out) {
  return GetFileRef(MakeFileUrl(absolutePath, PathStyle::Posix, false), out);
}

FileUrl UrlFromFileRef(const FileRef& ref) {
  FileUrl url;
  if (ref.IsNull()) return url;
  struct stat st;
  url.path = ref.path;
  url.isDirectory = stat(ref.path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  return url;
}

bool ResolveLinks(const FileRef& ref, FileRef& out) {
  std::string resolved;
  if (ref.IsNull() || !RealPath(ref.path, resolved)) return false;
  out.path = resolved;
  return true;
}

FileRef ParentRef(const FileRef& ref) {
  FileRef parent;
  parent.path = ParentOf(ref.path);
  return parent;
}

std::string RefName(const FileRef& ref) {
  if (ref.path == "/") return "/";
  const size_t slash = ref.path.rfind('/');
  return slash == std::string::npos ? ref.path : ref.path.substr(slash + 1);
}

bool MakeFileSpec(const FileRef& ref, FileSpec& out) {
  out = FileSpec();
  if (ref.IsNull() || ref.path == "/") return false;
  return MakeFileSpec(ParentRef(ref), RefName(ref), out);
}

bool MakeFileSpec(const FileRef& folder, std::string_view name, FileSpec& out) {
  out = FileSpec();
  struct stat st;
  if (folder.IsNull() || name.empty() || name.size() > 255 || stat(folder.path.c_str(), &st) != 0 ||
      !S_ISDIR(st.st_mode))
    return false;
  out.volume = static_cast<uint64_t>(st.st_dev);
  out.parentId = static_cast<uint64_t>(st.st_ino);
  out.name.assign(name);
  out.folder = folder.path == "/" ? folder.path : folder.path + "/";
  return true;
}

OSErr GetCatalogInfo(const FileRef& ref, CatalogInfo& out) {
  out = CatalogInfo();
  struct stat st;
  if (ref.IsNull()) return kParamErr;
  if (lstat(ref.path.c_str(), &st) != 0) return ErrorFromErrno(errno);
  if (S_ISDIR(st.st_mode)) out.nodeFlags |= kNodeIsFolder;
  if (!S_ISDIR(st.st_mode) && (st.st_mode & 0222) == 0) out.nodeFlags |= kNodeLocked;
  const SidecarContents sidecar = ReadSidecar(ref.path);
  out.finderInfo = sidecar.finderInfo;
  out.volume = static_cast<uint64_t>(st.st_dev);
  out.nodeId = static_cast<uint64_t>(st.st_ino);
  out.dataLength = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  out.resourceLength = sidecar.resourceFork.size();
  return kNoErr;
}

bool IsValidItemName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.size() <= 255 &&
         name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos &&
         !IsSidecarName(name);
}

OSErr CreateFolder(const FileRef& parent, std::string_view name, FileRef* out) {
  if (parent.IsNull() || !IsValidItemName(name)) return kBadNameErr;
  const std::string path = Child(parent.path, name);
  if (path.size() >= PATH_MAX) return kBadNameErr;
  if (mkdir(path.c_str(), 0777) != 0) return errno == ENOENT ? kFolderNotFoundErr : ErrorFromErrno(errno);
  if (out) out->path = path;
  return kNoErr;
}

OSErr CreateFile(const FileRef& parent, std::string_view name, const FinderInfo* info,
                 FileRef* out) {
  if (parent.IsNull() || !IsValidItemName(name)) return kBadNameErr;
  const std::string path = Child(parent.path, name);
  if (path.size() >= PATH_MAX) return kBadNameErr;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno == ENOENT ? kFolderNotFoundErr : ErrorFromErrno(errno);
  close(fd);
  // A sidecar without its file is left over from elsewhere; it must not dress the new file.
  SidecarContents contents;
  if (info) contents.finderInfo = *info;
  if (!WriteSidecar(path, contents)) {
    unlink(path.c_str());
    return kIoErr;
  }
  if (out) out->path = path;
  return kNoErr;
}

OSErr DeleteObject(const FileRef& ref) {
  struct stat st;
  if (ref.IsNull() || ref.path == "/") return kParamErr;
  if (lstat(ref.path.c_str(), &st) != 0) return ErrorFromErrno(errno);
  if (S_ISDIR(st.st_mode)) {
    if (rmdir(ref.path.c_str()) != 0)
      return errno == EEXIST || errno == ENOTEMPTY ? kFileBusyErr : ErrorFromErrno(errno);
  } else if (unlink(ref.path.c_str()) != 0) {
    return ErrorFromErrno(errno);
  }
  RemoveSidecar(ref.path);
  return kNoErr;
}

OSErr MovePath(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty() || to.size() >= PATH_MAX) return kParamErr;
  if (from == to) return kNoErr;
  const std::string fromSidecar = SidecarPathFor(from);
  const std::string toSidecar = SidecarPathFor(to);
  struct stat st;
  const bool hasSidecar = !fromSidecar.empty() && lstat(fromSidecar.c_str(), &st) == 0;
  if (!hasSidecar || !CanHaveSidecar(to)) {
    if (rename(from.c_str(), to.c_str()) != 0) return ErrorFromErrno(errno);
    RemoveSidecar(to);
    // A name too long to take "._" before it has no sidecar: what the sidecar held is
    // left out for that file, which moves all the same.
    if (hasSidecar) unlink(fromSidecar.c_str());
    return kNoErr;
  }
  if (lstat(from.c_str(), &st) != 0) return ErrorFromErrno(errno);
  // The sidecar goes first, so that a file is never under its new name without it, even
  // when the process dies between the two renames. Should the file's own rename fail, the
  // sidecar goes back and the one it replaced is restored.
  const bool replacesSidecar = lstat(toSidecar.c_str(), &st) == 0;
  const SidecarContents replaced = replacesSidecar ? ReadSidecar(to) : SidecarContents();
  if (rename(fromSidecar.c_str(), toSidecar.c_str()) != 0) return kIoErr;
  if (rename(from.c_str(), to.c_str()) != 0) {
    const int error = errno;
    rename(toSidecar.c_str(), fromSidecar.c_str());
    if (replacesSidecar) WriteSidecar(to, replaced);
    return ErrorFromErrno(error);
  }
  return kNoErr;
}

OSErr RenameObject(const FileRef& ref, std::string_view newName, FileRef* out) {
  if (ref.IsNull() || ref.path == "/") return kParamErr;
  if (!IsValidItemName(newName)) return kBadNameErr;
  const std::string target = Child(ParentOf(ref.path), newName);
  const OSErr err = MovePath(ref.path, target);
  if (err == kNoErr && out) out->path = target;
  return err;
}

OSErr RemoveFile(const std::string& path) {
  if (unlink(path.c_str()) != 0 && errno != ENOENT) return ErrorFromErrno(errno);
  RemoveSidecar(path);
  return kNoErr;
}

bool IsFileAt(int fd, const std::string& path) {
  struct stat byFd, byPath;
  return fstat(fd, &byFd) == 0 && lstat(path.c_str(), &byPath) == 0 && byFd.st_dev == byPath.st_dev &&
         byFd.st_ino == byPath.st_ino;
}

int CreateLockedTemporary(const std::string& pattern, std::string& path) {
  // A clean-up may take a file in the moment between its creation and its lock: another
  // name is then tried.
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    // A file system without locks keeps the file unlocked: no clean-up can take it there.
    const bool locked = flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
    if (locked && IsFileAt(fd, name.data())) {
      path.assign(name.data());
      return fd;
    }
    close(fd);
  }
  return -1;
}

int LockUnlockedFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 && IsFileAt(fd, path))
    return fd;
  close(fd);
  return -1;
}

void RemoveUnlockedTemporary(const std::string& path) {
  const int fd = LockUnlockedFile(path);
  if (fd < 0) return;
  RemoveFile(path);
  close(fd);
}

OSErr GetFinderInfo(const FileRef& ref, FinderInfo& out) {
  struct stat st;
  if (ref.IsNull() || lstat(ref.path.c_str(), &st) != 0) return kFileNotFoundErr;
  out = ReadSidecar(ref.path).finderInfo;
  return kNoErr;
}

OSErr SetFinderInfo(const FileRef& ref, const FinderInfo& info) {
  struct stat st;
  if (ref.IsNull() || lstat(ref.path.c_str(), &st) != 0) return kFileNotFoundErr;
  SidecarContents contents = ReadSidecar(ref.path);
  contents.finderInfo = info;
  return WriteSidecar(ref.path, contents) ? kNoErr : kIoErr;
}

OSErr SetLocked(const FileRef& ref, bool locked) {
  struct stat st;
  if (ref.IsNull() || stat(ref.path.c_str(), &st) != 0) return kFileNotFoundErr;
  if (S_ISDIR(st.st_mode)) return kNotAFileErr;
  const mode_t mode = locked ? (st.st_mode & 07555) : (st.st_mode | S_IWUSR);
  return chmod(ref.path.c_str(), mode & 07777) == 0 ? kNoErr : ErrorFromErrno(errno);
}

OSErr OpenFork(const FileRef& ref, ForkKind kind, int permission, ForkRefNum& out) {
  out = 0;
  if (ref.IsNull()) return kParamErr;
  if ((permission & kForkReadWrite) == 0) return kParamErr;
  OpenForkState state;
  state.permission = permission & kForkReadWrite;
  state.path = ref.path;
  state.resource = kind == ForkKind::Resource;
  struct stat st;
  if (kind == ForkKind::Data) {
    const int flags = state.permission == kForkReadWrite ? O_RDWR
                      : state.permission == kForkWrite   ? O_WRONLY
                                                         : O_RDONLY;
    state.fd = open(ref.path.c_str(), flags | O_CLOEXEC);
    if (state.fd < 0) return ErrorFromErrno(errno);
    if (fstat(state.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      close(state.fd);
      return kNotAFileErr;
    }
  } else {
    if (stat(ref.path.c_str(), &st) != 0) return ErrorFromErrno(errno);
    if (!S_ISREG(st.st_mode)) return kNotAFileErr;
    state.data = ReadSidecar(ref.path).resourceFork;
  }
  static ForkRefNum next = 0;
  auto& forks = Forks();
  do {
    next = next == INT32_MAX ? 1 : next + 1;
  } while (forks.count(next));
  forks.emplace(next, std::move(state));
  out = next;
  return kNoErr;
}

OSErr ReadFork(ForkRefNum fork, void* bytes, size_t count, size_t* done) {
  if (done) *done = 0;
  OpenForkState* f = FindFork(fork);
  if (!f) return kBadRefNumErr;
  if (!(f->permission & kForkRead)) return kPermissionErr;
  size_t got = 0;
  if (f->resource) {
    if (f->position < f->data.size()) {
      got = std::min<uint64_t>(count, f->data.size() - f->position);
      f->data.copy(static_cast<char*>(bytes), got, f->position);
    }
  } else {
    while (got < count) {
      ssize_t n = pread(f->fd, static_cast<char*>(bytes) + got, count - got,
                        static_cast<off_t>(f->position + got));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return ErrorFromErrno(errno);
      if (n == 0) break;
      got += static_cast<size_t>(n);
    }
  }
  f->position += got;
  if (done) *done = got;
  return got < count ? kEofErr : kNoErr;
}

OSErr WriteFork(ForkRefNum fork, const void* bytes, size_t count, size_t* done) {
  if (done) *done = 0;
  OpenForkState* f = FindFork(fork);
  if (!f) return kBadRefNumErr;
  if (!(f->permission & kForkWrite)) return kPermissionErr;
  size_t put = 0;
  if (f->resource) {
    if (f->position + count > (16u << 20)) return kDiskFullErr;
    if (f->data.size() < f->position + count) f->data.resize(f->position + count);
    f->data.replace(f->position, count, static_cast<const char*>(bytes), count);
    f->dirty = true;
    put = count;
  } else {
    while (put < count) {
      ssize_t n = pwrite(f->fd, static_cast<const char*>(bytes) + put, count - put,
                         static_cast<off_t>(f->position + put));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        f->position += put;
        if (done) *done = put;
        return n < 0 ? ErrorFromErrno(errno) : kIoErr;
      }
      put += static_cast<size_t>(n);
    }
  }
  f->position += put;
  if (done) *done = put;
  return kNoErr;
}

OSErr SetForkPosition(ForkRefNum fork, uint64_t position) {
  OpenForkState* f = FindFork(fork);
  if (!f) return kBadRefNumErr;
  f->position = position;
  return kNoErr;
}

OSErr GetForkPosition(ForkRefNum fork, uint64_t& position) {
  OpenForkState* f = FindFork(fork);
  if (!f) return kBadRefNumErr;
  position = f->position;
  return kNoErr;
}

OSErr GetForkSize(ForkRefNum fork, uint64_t& size) {
  OpenForkState* f = FindFork(fork);
  if (!f) return kBadRefNumErr;
  if (f->resource) {
    size = f->data.size();
    return kNoErr;
  }
  struct stat st;
  if (fstat(f->fd, &st) != 0) return ErrorFromErrno(errno);
  size = static_cast<uint64_t>(st.st_size);
  return kNoErr;
}

OSErr CloseFork(ForkRefNum fork) {
  auto it = Forks().find(fork);
  if (it == Forks().end()) return kBadRefNumErr;
  OpenForkState state = std::move(it->second);
  Forks().erase(it);
  if (state.resource) {
    if (!state.dirty) return kNoErr;
    SidecarContents contents = ReadSidecar(state.path);
    contents.resourceFork = std::move(state.data);
    return WriteSidecar(state.path, contents) ? kNoErr : kIoErr;
  }
  return close(state.fd) == 0 ? kNoErr : kIoErr;
}

}  // namespace toolbox
