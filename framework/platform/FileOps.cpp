#include "framework/platform/FileOps.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/posix_acl.h>
#include <linux/posix_acl_xattr.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <set>
#include <string_view>
#include <vector>

#include "framework/platform/TreeRemoval.h"
#include "toolbox/Folders.h"
#include "toolbox/ResourceFork.h"
#include "toolbox/Utf8.h"

namespace {

std::string Native(const std::wstring& text) { return toolbox::WideToUtf8(text); }

// The exact item a path names (no parent fallback).
bool ItemRef(const PathString& path, toolbox::FileRef& ref) {
  if (path.empty()) return false;
  const toolbox::PathStyle style = PathStyleOf(path);
  const PathString p = style == toolbox::PathStyle::Hfs ? path : MakeAbsolutePath(path);
  return toolbox::GetFileRef(toolbox::MakeFileUrl(Native(p), style, false), ref);
}

// The existing folder that contains the item a path names; false when it is missing.
bool ParentFolderRef(const PathString& path, toolbox::FileRef& ref) {
  PathString parent;
  GetParentFolder(parent, MakeAbsolutePath(path), true);
  return !parent.empty() && ItemRef(parent, ref) && IsFolder(parent);
}

bool IsFolderRef(const toolbox::FileRef& ref) {
  struct stat st;
  return !ref.IsNull() && stat(ref.path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

PathString RenamedPath(const PathString& path, const PathString& newName) {
  PathString p = MakeAbsolutePath(path);
  const bool folderForm = p.size() > 1 && p.back() == L'/';
  while (p.size() > 1 && p.back() == L'/') p.pop_back();
  SetLastPathComponent(p, newName);
  if (folderForm) p.push_back(L'/');
  return p;
}

bool IsAcceptableNewName(const PathString& name) {
  return toolbox::IsValidItemName(Native(name));
}

}  // namespace

// ---- ForkFile ----

ForkFile::~ForkFile() {
  if (fork_ != 0) CloseFork();
}

bool ForkFile::SetPath(const PathString& path) {
  url_ = PathToCFURL(path);
  return true;
}

bool ForkFile::OpenFork(toolbox::ForkKind kind, int permission) {
  int access = 0;
  if (permission & kForkPermissionRead)
    access = toolbox::kForkRead;
  else if (permission & kForkPermissionWrite)
    access = toolbox::kForkWrite;
  else if (permission & kForkPermissionReadWrite)
    access = toolbox::kForkReadWrite;
  if (access == 0) {
    lastError_ = toolbox::kParamErr;
    return false;
  }
  if (fork_ != 0) CloseFork();
  toolbox::FileRef ref;
  if (!MakeFSRefForURL(ref, url_)) {
    lastError_ = toolbox::kFileNotFoundErr;
    return false;
  }
  lastError_ = toolbox::OpenFork(ref, kind, access, fork_);
  return lastError_ == toolbox::kNoErr;
}

bool ForkFile::OpenDataFork(int permission) { return OpenFork(toolbox::ForkKind::Data, permission); }

bool ForkFile::OpenResourceFork(int permission) {
  return OpenFork(toolbox::ForkKind::Resource, permission);
}

size_t ForkFile::Write(const void* bytes, size_t count) {
  size_t done = 0;
  lastError_ = toolbox::WriteFork(fork_, bytes, count, &done);
  return done;
}

bool ForkFile::CloseFork() {
  if (fork_ == 0) return false;
  lastError_ = toolbox::CloseFork(fork_);
  fork_ = 0;
  return lastError_ == toolbox::kNoErr;
}

bool ForkFile::ReadInfo(toolbox::FinderInfo& info, toolbox::FileRef& ref) {
  if (!MakeFSRefForURL(ref, url_)) {
    lastError_ = toolbox::kFileNotFoundErr;
    return false;
  }
  lastError_ = toolbox::GetFinderInfo(ref, info);
  return lastError_ == toolbox::kNoErr;
}

void ForkFile::GetFinderInfo(FinderInfoRecord& record) {
  toolbox::FinderInfo info;
  toolbox::FileRef ref;
  if (!ReadInfo(info, ref)) return;
  record.type = info.type;
  record.creator = info.creator;
  record.finderFlags = info.flags;
  record.location = {info.locationV, info.locationH};
  record.reserved = info.reserved;
}

void ForkFile::GetFinderInfoAlt(FinderInfoRecordAlt& record) {
  toolbox::FinderInfo info;
  toolbox::FileRef ref;
  if (!ReadInfo(info, ref)) return;
  record.finderFlags = info.flags;
  record.type = info.type;
  record.creator = info.creator;
  record.location = {info.locationV, info.locationH};
  record.reserved = info.reserved;
}

bool ForkFile::SetFinderInfo(const FinderInfoRecord& record) {
  toolbox::FinderInfo info;
  toolbox::FileRef ref;
  if (!ReadInfo(info, ref)) return false;
  if (record.mask & kFinderInfoType) info.type = record.type;
  if (record.mask & kFinderInfoCreator) info.creator = record.creator;
  if (record.mask & kFinderInfoFlags) info.flags = record.finderFlags;
  if (record.mask & kFinderInfoLocation) {
    info.locationV = record.location.v;
    info.locationH = record.location.h;
  }
  if (record.mask & kFinderInfoReserved) info.reserved = record.reserved;
  lastError_ = toolbox::SetFinderInfo(ref, info);
  return lastError_ == toolbox::kNoErr;
}

bool ForkFile::SetFinderInfoAlt(const FinderInfoRecordAlt& record) {
  toolbox::FinderInfo info;
  toolbox::FileRef ref;
  if (!ReadInfo(info, ref)) return false;
  if (record.mask & kFinderInfoAltTypeAndCreator) {
    info.type = record.type;
    info.creator = record.creator;
  }
  if (record.mask & kFinderInfoAltFlags) info.flags = record.finderFlags;
  if (record.mask & kFinderInfoAltLocation) {
    info.locationV = record.location.v;
    info.locationH = record.location.h;
  }
  lastError_ = toolbox::SetFinderInfo(ref, info);
  return lastError_ == toolbox::kNoErr;
}

bool ForkFile::SetHasBundle() {
  toolbox::FinderInfo info;
  toolbox::FileRef ref;
  if (!ReadInfo(info, ref)) return false;
  info.flags |= kFinderFlagHasBundle;
  lastError_ = toolbox::SetFinderInfo(ref, info);
  return lastError_ == toolbox::kNoErr;
}

// ---- By path ----

bool CreateFolder(PathString& path) {
  toolbox::FileRef existing;
  if (ItemRef(path, existing)) return true;
  toolbox::FileRef parent, created;
  if (!ParentFolderRef(path, parent)) return false;
  PathString name;
  GetPathFileName(name, path, false);
  if (toolbox::CreateFolder(parent, Native(name), &created) != toolbox::kNoErr) return false;
  PathFromFSRef(path, created);
  return true;
}

bool DeletePath(const PathString& path, bool unlinkWhenBusy) {
  toolbox::FileRef ref;
  if (!ItemRef(path, ref)) return true;
  const OSErr err = toolbox::DeleteObject(ref);
  if (err == toolbox::kFileBusyErr && unlinkWhenBusy) {
    if (unlink(ref.path.c_str()) != 0) return false;
    toolbox::RemoveSidecar(ref.path);
    return true;
  }
  return err == toolbox::kNoErr;
}

bool DeleteObjectRetryUnlock(const PathString& path, bool recursive) {
  toolbox::FileRef ref;
  if (!ItemRef(path, ref)) return false;
  const OSErr err = toolbox::DeleteObject(ref);
  if (err == toolbox::kFileBusyErr && recursive && IsFolderRef(ref))
    return DeleteFolderUnlocked(ref) == toolbox::kNoErr;
  return err == toolbox::kNoErr;
}

bool RenamePath(PathString& path, const PathString& newName) {
  if (!IsAcceptableNewName(newName)) return false;
  toolbox::FileRef ref;
  if (!ItemRef(path, ref)) return false;
  if (toolbox::RenameObject(ref, Native(newName), nullptr) != toolbox::kNoErr) return false;
  path = RenamedPath(path, newName);
  return true;
}

bool RenameFile(const PathString& path, const PathString& newName) {
  PathString p = path;
  return RenamePath(p, newName);
}

bool RenameWithTilde(PathString& out, const PathString& path, bool replace) {
  toolbox::FileRef ref;
  if (!ItemRef(path, ref)) return false;
  out = MakeAbsolutePath(path);
  PathString name;
  GetPathFileName(name, out, false);
  name += L'~';
  SetLastPathComponent(out, name);
  toolbox::FileRef existing;
  if (ItemRef(out, existing)) {
    if (!replace) return false;
    if (!DeletePath(out, false)) return false;
  }
  PathString moved = path;
  return RenamePath(moved, name);
}

bool MakeUniquePath(PathString& out, const PathString& path) {
  out = MakeAbsolutePath(path);
  PathString base, ext;
  GetPathFileName(base, out, true);
  GetPathExtension(ext, out, true);
  SetLastPathComponent(out, base + L"__" + ext);
  if (!PathExists(out)) return true;
  for (int i = 0; i < 1000; ++i) {
    SetLastPathComponent(out, base + L"__" + std::to_wstring(i) + ext);
    if (!PathExists(out)) return true;
  }
  return false;
}

namespace {

toolbox::CatalogInfo CatalogFor(const FileCreateInfo* info) {
  toolbox::CatalogInfo catalog;
  catalog.finderInfo.type = info ? info->type : toolbox::kUnknownOSType;
  catalog.finderInfo.creator = info ? info->creator : toolbox::kUnknownOSType;
  return catalog;
}

bool FinishCreate(const toolbox::FileRef& ref, const FileCreateInfo* info) {
  if (info && info->invisible && !SetInvisibleFlag(ref, true)) return false;
  if (info && info->locked && !SetFileLocked(ref, true)) return false;
  return true;
}

}  // namespace

bool CreateFileWithInfo(const PathString& path, const FileCreateInfo* info, bool replace) {
  toolbox::FileRef existing;
  if (ItemRef(path, existing)) {
    if (IsFolderRef(existing) || !replace) return false;
    if (!DeletePath(path, false)) return false;
  }
  toolbox::FileRef ref;
  if (!CreateFileForURL(ref, PathToCFURL(MakeAbsolutePath(path)),
                        kCatInfoFinderInfo | kCatInfoTextEncoding, CatalogFor(info)))
    return false;
  return FinishCreate(ref, info);
}

bool CreateFileWithInfo(const PathString& path, const FileCreateInfo* info, bool replace, WriterForm) {
  if (PathIsDirectoryURL(path)) return false;
  toolbox::FileRef existing;
  if (ItemRef(path, existing)) {
    if (!replace) return false;
    toolbox::DeleteObject(existing);  // creation below fails when the item is still there
  }
  toolbox::FileRef ref;
  if (!CreateFileForURL(ref, PathToCFURL(MakeAbsolutePath(path)),
                        kCatInfoFinderInfo | kCatInfoTextEncoding, CatalogFor(info)))
    return false;
  return FinishCreate(ref, info);
}

bool UpdateSizeResource(const toolbox::FileSpec& spec, uint32_t preferred, uint32_t minimum) {
  toolbox::FileRef ref;
  if (spec.IsNull() || !toolbox::GetFileRef(spec.Path(), ref)) return false;
  toolbox::ForkRefNum fork = 0;
  if (toolbox::OpenFork(ref, toolbox::ForkKind::Resource, toolbox::kForkReadWrite, fork)) return false;
  uint64_t size = 0;
  std::string bytes;
  bool ok = toolbox::GetForkSize(fork, size) == toolbox::kNoErr;
  if (ok) {
    bytes.resize(size);
    size_t got = 0;
    ok = toolbox::ReadFork(fork, bytes.data(), bytes.size(), &got) == toolbox::kNoErr;
  }
  size_t offset = 0, length = 0;
  ok = ok && toolbox::FindResourceData(bytes, toolbox::MakeOSType("SIZE"), -1, offset, length) &&
       length >= 10;
  if (ok) {
    // Flags word, then the preferred and the minimum size, big-endian.
    unsigned char sizes[8];
    for (int i = 0; i < 4; ++i) {
      sizes[i] = static_cast<unsigned char>(preferred >> (24 - 8 * i));
      sizes[4 + i] = static_cast<unsigned char>(minimum >> (24 - 8 * i));
    }
    size_t done = 0;
    ok = toolbox::SetForkPosition(fork, offset + 2) == toolbox::kNoErr &&
         toolbox::WriteFork(fork, sizes, sizeof sizes, &done) == toolbox::kNoErr;
  }
  const bool closed = toolbox::CloseFork(fork) == toolbox::kNoErr;
  return ok && closed;
}

// ---- By reference ----

bool DeleteFSRef(const toolbox::FileRef& ref) { return toolbox::DeleteObject(ref) == toolbox::kNoErr; }

bool RenameFSRef(const toolbox::FileRef& ref, const PathString& newName) {
  return IsAcceptableNewName(newName) &&
         toolbox::RenameObject(ref, Native(newName), nullptr) == toolbox::kNoErr;
}

bool SetInvisibleFlag(const toolbox::FileRef& ref, bool on) {
  toolbox::FinderInfo info;
  if (toolbox::GetFinderInfo(ref, info) != toolbox::kNoErr) return false;
  if (on)
    info.flags |= kFinderFlagInvisible;
  else
    info.flags &= static_cast<uint16_t>(~kFinderFlagInvisible);
  return toolbox::SetFinderInfo(ref, info) == toolbox::kNoErr;
}

bool SetFileLocked(const toolbox::FileRef& ref, bool on) {
  return toolbox::SetLocked(ref, on) == toolbox::kNoErr;
}

bool FSSpecFromFSRef(const toolbox::FileRef& ref, toolbox::FileSpec& outSpec) {
  return toolbox::MakeFileSpec(ref, outSpec);
}

bool ResolveAliasFile(toolbox::FileRef& out, const toolbox::FileRef& ref) {
  if (ref.IsNull()) return false;
  struct stat st;
  if (lstat(ref.path.c_str(), &st) != 0) return false;
  if (!S_ISLNK(st.st_mode)) {
    out = ref;
    return true;
  }
  return toolbox::ResolveLinks(ref, out);
}

bool MakeFSRefForURL(toolbox::FileRef& outRef, const toolbox::FileUrl& url) {
  outRef = toolbox::FileRef();
  if (url.IsNull()) return false;
  const std::string& p = url.path;
  const size_t slash = p.rfind('/');
  if (slash == std::string::npos || p == "/") return false;
  toolbox::FileRef parent;
  if (!toolbox::GetFileRef(slash == 0 ? std::string("/") : p.substr(0, slash), parent)) return false;
  return toolbox::GetFileRef(parent.path + (parent.path == "/" ? "" : "/") + p.substr(slash + 1), outRef);
}

bool CreateFileForURL(toolbox::FileRef& outRef, const toolbox::FileUrl& url, uint32_t whichInfo,
                      const toolbox::CatalogInfo& catalogInfo) {
  outRef = toolbox::FileRef();
  if (url.IsNull() || url.isDirectory) return false;
  const std::string& p = url.path;
  const size_t slash = p.rfind('/');
  if (slash == std::string::npos) return false;
  toolbox::FileRef parent;
  if (!toolbox::GetFileRef(toolbox::MakeFileUrl(slash == 0 ? "/" : p.substr(0, slash),
                                                toolbox::PathStyle::Posix, true),
                           parent))
    return false;
  const toolbox::FinderInfo* info = (whichInfo & kCatInfoFinderInfo) ? &catalogInfo.finderInfo : nullptr;
  return toolbox::CreateFile(parent, p.substr(slash + 1), info, &outRef) == toolbox::kNoErr;
}

bool ReplacePascalExtension(unsigned char* name, const char* extension) {
  if (!name || !extension) return false;
  const std::string ext(extension);
  std::string text(reinterpret_cast<const char*>(name + 1), name[0]);
  const size_t dot = text.rfind('.');
  std::string base;
  if (dot != std::string::npos) {
    base = text.substr(0, dot);
  } else {
    if (ext.empty()) return true;
    base = text;
  }
  std::string tail = ext.empty() ? std::string() : "." + ext;
  if (tail.size() > 255) return false;
  if (base.size() + tail.size() > 255) {
    size_t keep = 255 - tail.size();
    // Never cut a UTF-8 character in two.
    while (keep > 0 && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80) --keep;
    base.erase(keep);
  }
  const std::string result = base + tail;
  name[0] = static_cast<unsigned char>(result.size());
  std::memcpy(name + 1, result.data(), result.size());
  return true;
}

// ---- SafeFileWriter ----

namespace {

// A save is written to ".<target name>.saving-XXXXXX" in the target's folder. The name is
// cut (never inside a UTF-8 character) so that the temporary file and its sidecar fit in
// a file name whatever the target is called.
constexpr size_t kMaxTemporaryStem = 238;
constexpr size_t kTemporaryRandom = 6;

std::string TemporaryPrefix(const std::string& targetNative) {
  std::string name = targetNative.substr(targetNative.rfind('/') + 1);
  if (name.size() > kMaxTemporaryStem) {
    size_t keep = kMaxTemporaryStem;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    name.erase(keep);
  }
  return "." + name + ".saving-";
}

// Removes what earlier saves of the same target left behind when they were killed midway:
// their temporary files, the sidecars of those files (also one whose file is gone already)
// and the temporary sidecars of the folder. A save in progress holds a lock on its
// temporary file, so only files whose lock can be taken, whose writer is gone, are removed.
void RemoveAbandonedTemporaries(const std::string& folder, const std::string& prefix) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  std::set<std::string> names;  // each temporary file once, whether found or its sidecar
  while (const dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name.starts_with("._")) name.remove_prefix(2);
    if (name.size() == prefix.size() + kTemporaryRandom && name.starts_with(prefix))
      names.emplace(name);
  }
  closedir(dir);
  for (const std::string& name : names) {
    const std::string path = folder + (folder == "/" ? "" : "/") + name;
    // A sidecar whose file is gone: the file's name is taken for the moment, so that no
    // save can be given it while its sidecar is removed.
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        toolbox::IsFileAt(fd, path))
      toolbox::RemoveFile(path);
    close(fd);
  }
  toolbox::RemoveAbandonedSidecarTemporaries(folder);
}

// The file refuses changes: locked (no write permission for anyone, as the toolbox keeps
// the locked flag) or not writable by this user.
bool IsWriteProtected(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  // A file gone since it was looked at (another process moved it away) protects nothing.
  return (st.st_mode & 0222) == 0 || (access(path.c_str(), W_OK) != 0 && errno != ENOENT);
}

bool IsWriteOnly(unsigned permissions) { return (permissions & 3) == 3 && (permissions & 4) == 0; }

// Whether some user may add names to the folder without listing it (write and search, no
// read), by the mode's classes or by an entry of the folder's access ACL. Such a user can
// take only the lock file, and so every taker takes that. Where an ACL has a mask, the mode's
// group bits are that mask and say nothing of any one user: each named user or group counts
// with its own permissions as the mask leaves them.
bool HasWriteOnlyUsers(int fd, const struct stat& folder) {
  for (const int shift : {6, 3, 0})
    if (IsWriteOnly((folder.st_mode >> shift) & 7)) return true;
  std::vector<unsigned char> acl(4 + 8 * 32);
  ssize_t size;
  while ((size = fgetxattr(fd, "system.posix_acl_access", acl.data(), acl.size())) < 0 && errno == ERANGE &&
         acl.size() < (1u << 20))
    acl.resize(acl.size() * 4);
  if (size < 0) return errno != ENODATA && errno != ENOTSUP;  // an ACL that cannot be read may hide one
  // Little-endian: a version word, then entries of a tag and permissions (16 bits each) and an id.
  const auto word16 = [&](size_t at) { return static_cast<unsigned>(acl[at] | acl[at + 1] << 8); };
  if (size < 4 || (size - 4) % 8 != 0 || word16(0) != POSIX_ACL_XATTR_VERSION) return true;
  unsigned mask = 7;
  for (ssize_t at = 4; at < size; at += 8)
    if (word16(static_cast<size_t>(at)) == ACL_MASK) mask = word16(static_cast<size_t>(at) + 2);
  for (ssize_t at = 4; at < size; at += 8) {
    const unsigned tag = word16(static_cast<size_t>(at)), permissions = word16(static_cast<size_t>(at) + 2);
    if ((tag == ACL_USER || tag == ACL_GROUP || tag == ACL_GROUP_OBJ) && IsWriteOnly(permissions & mask)) return true;
  }
  return false;
}

// Opens the lock file for locking: for writing (a lock taken as NFS takes it needs that), or
// where this user may only read it (one made where a descriptor open for reading can lock,
// or one an earlier build made) for reading. Never with O_CREAT, which fs.protected_regular
// refuses on another user's file in a sticky folder that all may write.
int OpenLockFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0 || errno != EACCES) return fd;
  return open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

// flock, tried again when a signal interrupts it: 0, or -1 with errno.
int Lock(int fd, int operation) {
  int result;
  while ((result = flock(fd, operation)) != 0 && errno == EINTR) {
  }
  return result;
}

// Readies a new lock file for other users and locks it: 0, or -1 with errno. Its mode alone
// says who may open it: an access ACL that a default ACL of the folder gave it would keep its
// owning group's entry, which the mode's group bits do not reach, so that users of that group
// might not open it. Only its maker may write it where a descriptor open for reading can take
// an exclusive lock, so that no one else can fill a file of the maker's linked elsewhere;
// where one cannot (NFS takes flock as an fcntl lock, which needs a descriptor open for
// writing), every user may, or no other user could lock it. To tell, a second descriptor,
// open for reading, tries the lock before the maker holds it: `reopen` names the file (with
// `follow`, by a link under /proc).
int ReadyAndLock(int fd, const std::string& reopen, bool follow) {
  if ((fremovexattr(fd, "system.posix_acl_access") != 0 && errno != ENODATA && errno != ENOTSUP) ||
      fchmod(fd, 0644) != 0)
    return -1;
  const int probe = open(reopen.c_str(), O_RDONLY | (follow ? 0 : O_NOFOLLOW) | O_NONBLOCK | O_CLOEXEC);
  if (probe < 0) return -1;
  int result = Lock(probe, LOCK_EX | LOCK_NB);
  const bool needsWriting = result != 0 && errno == EBADF;
  close(probe);
  if (needsWriting && fchmod(fd, 0666) != 0) return -1;
  result = Lock(fd, LOCK_EX | LOCK_NB);
  return result;
}

// Gives the file under `temporary` the name `path` unless a file has it already (EEXIST): by
// a rename that replaces nothing, so that the file has one name at every moment; where the
// file system has no such rename, by a link, after which the temporary name goes; where it
// has no links either, by a rename once the name is seen to be free. 0, or -1 with errno;
// `moved` says whether the temporary name went with it.
int PlaceUnder(const std::string& temporary, const std::string& path, bool& moved) {
  moved = renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0;
  if (moved) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  if (link(temporary.c_str(), path.c_str()) == 0) return 0;
  if (errno == EEXIST) return -1;
  struct stat st;
  if (lstat(path.c_str(), &st) == 0) {
    errno = EEXIST;
    return -1;
  }
  if (errno != ENOENT) return -1;
  moved = rename(temporary.c_str(), path.c_str()) == 0;
  return moved ? 0 : -1;
}

// Makes a lock file (see ReadyAndLock), locks it, and only then puts it under `path` in
// `folder`: its descriptor, holding the maker's lock, and in `made` the file as it was made
// (once its temporary name is gone, a file system may no longer tell it by its descriptor:
// FUSE's high-level library does not with hard_remove); -1 with errno EEXIST when a file took
// the name first. As no file ever stands under the lock's name unlocked by its maker, a file
// that cannot be locked is removed without anyone else having seen it. Where the file system
// makes files without a name (O_TMPFILE), the lock's name is the file's only one, so that a
// taker killed on the way leaves nothing; elsewhere it is made under a temporary name first.
int MakeLockedLockFile(const std::string& folder, const std::string& path, struct stat& made) {
  int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (ReadyAndLock(fd, self, true) == 0 && fstat(fd, &made) == 0 &&
        linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
      return fd;
    const int error = errno;
    close(fd);
    errno = error;
    if (error == EEXIST) return -1;
    // Without /proc, or a name the file system cannot give such a file: the temporary name.
  }
  std::string temporary = path + "-XXXXXX";
  fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return -1;
  bool moved = false;
  const int result =
      ReadyAndLock(fd, temporary, false) == 0 && fstat(fd, &made) == 0 ? PlaceUnder(temporary, path, moved) : -1;
  const int error = errno;
  if (!moved) unlink(temporary.c_str());
  if (result == 0) return fd;
  close(fd);
  errno = error;
  return -1;
}

// Whether the lock held on the file under `path` keeps others out: a second descriptor of the
// name must not get it. Where it does, the file system's locks exclude no one (errno ENOLCK);
// errno ENOENT when the name is gone.
bool LockKeepsOthersOut(const std::string& path) {
  const int probe = OpenLockFile(path);
  if (probe < 0) return false;
  int result = Lock(probe, LOCK_EX | LOCK_NB);
  const bool kept = result != 0 && errno == EWOULDBLOCK;
  close(probe);
  if (!kept) errno = ENOLCK;
  return kept;
}

// Lets the lock held on the file under `path` go, removing the file first where it is the
// holder's to remove. The file this take made (`made`) goes while it is under the name,
// whatever the file system says of its links (FUSE keeps a count it cached) or its owner (a
// mount may show every file under one). A file found there goes only when it is the holder's
// own (one a killed holder of its user left) with no other name, its links counted afresh:
// another user's file, or a file of the holder's that someone linked under the lock's name,
// keeps its names.
void LetLockFileGo(int fd, const std::string& path, bool made) {
  bool remove = made;
  if (!remove) {
    struct statx sx;
    remove = statx(fd, "", AT_EMPTY_PATH | AT_STATX_FORCE_SYNC, STATX_UID | STATX_NLINK, &sx) == 0 &&
             (sx.stx_mask & (STATX_UID | STATX_NLINK)) == (STATX_UID | STATX_NLINK) && sx.stx_uid == geteuid() &&
             sx.stx_nlink == 1;
  }
  if (remove && toolbox::IsFileAt(fd, path)) unlink(path.c_str());
  close(fd);
}

}  // namespace

FolderLock::FolderLock(const std::string& folder)
    : folderFd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  int result = -1;
  struct stat st;
  if (folderFd_ >= 0 && fstat(folderFd_, &st) == 0 && !HasWriteOnlyUsers(folderFd_, st))
    result = Lock(folderFd_, LOCK_EX);
  if (result == 0) return;
  lockPath_ = folder + (folder.ends_with('/') ? "" : "/") + kFolderLockName;
  // The lock is the lock of the file under the name, taken through the name: a file system
  // may give each name of a file a node of its own (FUSE's high-level library does, also for
  // hard links), whose locks do not meet. So the maker of a file, once it is in place, takes
  // the lock as any taker does, after it lets its maker's lock go (two descriptors of one file
  // would keep each other out). Only its holder removes the file (before it lets the lock go;
  // where it may not, as another user's in a sticky folder, the file stays for the next
  // taker): a lock taken on a file that is no longer under the name locks nothing, and another
  // try takes the file now there or makes one.
  int madeFd = -1;  // a file this take made and put in place, its maker's lock held
  struct stat made;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    int fd = OpenLockFile(lockPath_);
    if (fd < 0 && errno == ENOENT) {
      if (madeFd >= 0) close(madeFd);
      if ((madeFd = MakeLockedLockFile(folder, lockPath_, made)) >= 0 || errno == EEXIST) continue;
      break;
    }
    if (fd < 0) break;
    const bool isFile = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    // The file made is known by its identity, which no other file can take while its maker
    // keeps it open.
    const bool madeHere = madeFd >= 0 && isFile && st.st_dev == made.st_dev && st.st_ino == made.st_ino;
    if (madeFd >= 0) close(madeFd);
    madeFd = -1;
    result = -1;
    errno = EEXIST;  // something other than a file under the lock's name
    if (isFile) result = Lock(fd, LOCK_EX);
    // The file is only locked: whatever stands under the name, the lock never changes it (a
    // file of the taker's that another user linked there would otherwise be opened to all).
    if (result == 0 && toolbox::IsFileAt(fd, lockPath_)) {
      if (LockKeepsOthersOut(lockPath_)) {
        lockFd_ = fd;
        made_ = madeHere;
        return;
      }
      // Where no lock can be shown to keep others out, two could hold it at once: none does.
      if (errno != ENOENT) {
        LetLockFileGo(fd, lockPath_, madeHere);
        errno = ENOLCK;
        break;
      }
    }
    // A lock that fails is no reason to remove the file: another process may hold it.
    const int error = errno;
    close(fd);
    errno = error;
    if (result != 0) break;
  }
  const int error = errno;
  if (madeFd >= 0) close(madeFd);
  error_ = toolbox::ErrorFromErrno(error != 0 ? error : EBUSY);
}

FolderLock::~FolderLock() {
  if (lockFd_ >= 0) LetLockFileGo(lockFd_, lockPath_, made_);
  if (folderFd_ >= 0) close(folderFd_);
}

OSErr FolderLock::Flush() const {
  if (folderFd_ >= 0) return fsync(folderFd_) == 0 ? toolbox::kNoErr : toolbox::ErrorFromErrno(errno);
  if (lockFd_ >= 0) return syncfs(lockFd_) == 0 ? toolbox::kNoErr : toolbox::ErrorFromErrno(errno);
  return error_;
}

bool SafeFileWriter::Open(const PathString& target, const FileCreateInfo* info, bool replace) {
  Abandon();
  failed_ = false;
  target_ = MakeAbsolutePath(target);
  if (target_.empty() || PathIsDirectoryURL(target_) || IsFolder(target_)) return false;
  targetNative_ = Native(target_);
  // Saving through a link replaces the file it points to, not the link.
  struct stat st;
  if (lstat(targetNative_.c_str(), &st) == 0) {
    if (!replace) return false;
    toolbox::FileRef ref, resolved;
    if (S_ISLNK(st.st_mode) && toolbox::GetFileRef(targetNative_, ref) &&
        toolbox::ResolveLinks(ref, resolved)) {
      targetNative_ = resolved.path;
      target_ = PathString(toolbox::Utf8ToWide(resolved.path));
    }
    // Only a regular file is ever replaced: renaming over a device node or a socket would
    // destroy it, not save into it.
    struct stat real;
    if (stat(targetNative_.c_str(), &real) == 0 && !S_ISREG(real.st_mode)) return false;
    // A locked file is not replaced, as the Finder would not let it be changed either.
    if (IsWriteProtected(targetNative_)) return false;
  }
  toolbox::FileRef folder;
  if (!ParentFolderRef(target_, folder) || !FitsPathMax(targetNative_)) return false;
  const std::string prefix = TemporaryPrefix(targetNative_);
  RemoveAbandonedTemporaries(folder.path, prefix);
  const std::string temp = folder.path + (folder.path == "/" ? "" : "/") + prefix + "XXXXXX";
  // The lock is held until the file is in place or removed.
  fd_ = toolbox::CreateLockedTemporary(temp, tempNative_);
  if (fd_ < 0) return false;
  haveInfo_ = info != nullptr;
  if (info) info_ = *info;
  failAfter_ = SIZE_MAX;
  return true;
}

bool SafeFileWriter::Write(const void* bytes, size_t count) {
  if (fd_ < 0 || failed_) return false;
  const char* p = static_cast<const char*>(bytes);
  size_t allowed = count;
  if (failAfter_ != SIZE_MAX) {
    allowed = std::min(count, failAfter_);
    failAfter_ -= allowed;
  }
  // Documents arrive in many small pieces: they are gathered and written in large blocks.
  pending_.append(p, allowed);
  if (allowed < count) failed_ = true;
  if (pending_.size() >= kBlockSize) FlushPending();
  return !failed_;
}

bool SafeFileWriter::FlushPending() {
  size_t done = 0;
  while (!failed_ && done < pending_.size()) {
    ssize_t n = write(fd_, pending_.data() + done, pending_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) failed_ = true;
    else done += static_cast<size_t>(n);
  }
  pending_.clear();
  return !failed_;
}

bool SafeFileWriter::WriteAt(uint64_t offset, const void* bytes, size_t count) {
  if (fd_ < 0 || failed_ || !FlushPending()) return false;
  const char* p = static_cast<const char*>(bytes);
  size_t done = 0;
  while (done < count) {
    ssize_t n = pwrite(fd_, p + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  if (done < count) failed_ = true;
  return !failed_;
}

bool SafeFileWriter::Commit() {
  if (fd_ < 0) return false;
  if (!FlushPending()) {
    Abandon();
    return false;
  }
  // The new file takes the permissions of the one it replaces, else the usual ones.
  struct stat st;
  mode_t mode;
  if (stat(targetNative_.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  bool ok = fchmod(fd_, mode) == 0 && (!durable_ || fsync(fd_) == 0);
  toolbox::SidecarContents sidecar;
  if (haveInfo_) {
    sidecar.finderInfo.type = info_.type;
    sidecar.finderInfo.creator = info_.creator;
    if (info_.invisible) sidecar.finderInfo.flags |= kFinderFlagInvisible;
  } else {
    sidecar = toolbox::ReadSidecar(targetNative_);
  }
  // A name too long for a sidecar saves without one (see CanHaveSidecar).
  ok = ok && (!toolbox::CanHaveSidecar(targetNative_) || toolbox::WriteSidecar(tempNative_, sidecar));
  // The target may have been locked while the document was written.
  ok = ok && !IsWriteProtected(targetNative_);
  ok = ok && toolbox::MovePath(tempNative_, targetNative_) == toolbox::kNoErr;
  if (!ok) {
    failed_ = true;
    Abandon();
    return false;
  }
  tempNative_.clear();
  // The lock is released only now that the file is in place, so no clean-up can take it.
  close(fd_);
  fd_ = -1;
  // Make the rename itself durable.
  const size_t slash = targetNative_.rfind('/');
  const std::string folder = slash == 0 ? std::string("/") : targetNative_.substr(0, slash);
  const int dir = durable_ ? open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  if (haveInfo_ && info_.locked) {
    toolbox::FileRef ref;
    if (!toolbox::GetFileRef(targetNative_, ref) || !SetFileLocked(ref, true)) return false;
  }
  return true;
}

void SafeFileWriter::Abandon() {
  pending_.clear();
  // Removed while still locked, so that the name is never another save's file by then.
  if (!tempNative_.empty()) {
    toolbox::RemoveFile(tempNative_);
    tempNative_.clear();
  }
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
}
