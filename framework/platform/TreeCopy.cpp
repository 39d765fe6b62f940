#include "framework/platform/TreeCopy.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "framework/platform/CopyJournal.h"
#include "framework/platform/FileOps.h"
#include "framework/platform/PathLayer.h"
#include "framework/platform/TreeRemoval.h"
#include "toolbox/AppleDouble.h"
#include "toolbox/Utf8.h"

namespace {

using copyjournal::Journal;
using copyjournal::InodeAt;

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

// A descriptor closed when it goes.
struct Descriptor {
  explicit Descriptor(int fd = -1) : fd(fd) {}
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int fd;
};

// Opens the folder that holds the item at `path` (following links on the way: the caller
// named it), for reaching the item by its name relative to it; -1 when there is none.
int OpenParent(const std::string& path, std::string& name) {
  name = NameOf(path);
  if (name.empty() || name == "." || name == "..") {
    errno = EINVAL;
    return -1;
  }
  return open(FolderOf(path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
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

// A sidecar that sits beside its own item travels with that item.
bool IsSidecarOfSibling(int folder, const std::string& name) {
  if (!toolbox::IsSidecarName(name)) return false;
  struct stat st;
  return fstatat(folder, name.substr(2).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && IsSidecarAt(folder, name);
}

// Makes what was written through `fd` reach the disk.
OSErr Flush(int fd) { return fsync(fd) == 0 ? toolbox::kNoErr : Errno(); }

// Makes everything written on the file system of `fd` reach the disk: a tree copied with its
// writeback started file by file is flushed by one call, where a flush of each file would
// wait for the disk once per file. (Errors of writing back since `fd` was opened are
// reported here, from Linux 5.8 on.)
OSErr FlushFileSystem(int fd) { return syncfs(fd) == 0 ? toolbox::kNoErr : Errno(); }

// When a copied file or folder reaches the disk: at once (flushed by itself), or with the
// rest of the copy (its writeback started, the copy's file system flushed as a whole before
// the copy is put in place).
enum class Durability { Now, WithTheCopy };

// Gives an open copy the source's mode and times; the mode comes last, so a read-only file
// or folder ends read-only although its owner could write it while it was filled.
OSErr FinishItem(int fd, const struct stat& st) {
  const timespec times[2] = {st.st_atim, st.st_mtim};
  if (fchmod(fd, st.st_mode & 07777) != 0 || futimens(fd, times) != 0) return Errno();
  return toolbox::kNoErr;
}

// Called with the inode of an item of a copy as soon as it exists.
using CreatedFunction = std::function<OSErr(ino_t)>;

// What every item of one copy shares.
struct CopyRun {
  char* buffer;
  size_t size;
  Durability durability;
  // Told the inodes of the top item and of its sidecar as each is made.
  const CreatedFunction* created = nullptr;
  const CreatedFunction* sidecarCreated = nullptr;
  uid_t owner = 0;  // of the folders it makes, as the file system shows them
};

OSErr Created(const CreatedFunction* created, int fd) {
  struct stat st;
  if (!created) return toolbox::kNoErr;
  return fstat(fd, &st) == 0 ? (*created)(st.st_ino) : Errno();
}

// Copies the bytes of the file `fromName` of the folder `from` into a new file `toName` of
// the folder `to`, which ends with the mode and times of `st`, and is on the disk (bytes,
// mode and times) when this returns or, as the run's durability says, once the copy's file
// system is flushed. Neither name is followed when it is a link.
OSErr CopyFileBytes(int from, const std::string& fromName, int to, const std::string& toName, mode_t mode,
                    const struct stat& st, const CopyRun& run, const CreatedFunction* created) {
  const Descriptor in(openat(from, fromName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat opened;
  if (in.fd < 0) return Errno();
  if (fstat(in.fd, &opened) != 0) return Errno();
  if (!S_ISREG(opened.st_mode)) return toolbox::kParamErr;  // not the file it was a moment ago
  const int out = openat(to, toName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (out < 0) return Errno();
  OSErr err = Created(created, out);
  if (!err) err = CopyForkData(in.fd, out, run.buffer, run.size);
  if (!err) err = FinishItem(out, st);
  if (!err && run.durability == Durability::Now) err = Flush(out);
  if (!err && run.durability == Durability::WithTheCopy) sync_file_range(out, 0, 0, SYNC_FILE_RANGE_WRITE);
  if (close(out) != 0 && err == toolbox::kNoErr) err = Errno();
  return err;
}

// The sidecar of an item, when the source has one; `created`, when given, hears its inode.
OSErr CopySidecar(int from, const std::string& fromName, int to, const std::string& toName, const CopyRun& run,
                  const CreatedFunction* created) {
  struct stat st;
  if (!IsSidecarAt(from, "._" + fromName, &st)) return toolbox::kNoErr;
  if (!toolbox::CanHaveSidecar(toName)) return toolbox::kBadNameErr;
  return CopyFileBytes(from, "._" + fromName, to, "._" + toName, 0600, st, run, created);
}

// Copies the item `fromName` of the folder `from` to the name `toName`, free so far, in the
// folder `to`. Every file and folder of the copy is on the disk when this returns, or, as
// the run's durability says, written with its writeback started, so that one flush of the
// file system then puts all of it on the disk: a file with its bytes, a folder with its
// entries (a link is an entry of its folder). Both trees are reached only through
// descriptors of their folders, never through a link, so that names swapped meanwhile in a
// folder others may write never lead the copy elsewhere. A failure can leave a partial copy,
// which the caller removes. `top`: the item the caller names, whose inodes the run's
// functions hear.
OSErr CopyItem(int from, const std::string& fromName, int to, const std::string& toName, const CopyRun& run,
               bool top) {
  const CreatedFunction* created = top ? run.created : nullptr;
  const CreatedFunction* sidecarCreated = top ? run.sidecarCreated : nullptr;
  struct stat st;
  if (fstatat(from, fromName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Errno();
  if (S_ISLNK(st.st_mode)) {
    std::vector<char> target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    const ssize_t n = readlinkat(from, fromName.c_str(), target.data(), target.size());
    if (n < 0) return Errno();
    if (static_cast<size_t>(n) >= target.size()) return toolbox::kIoErr;  // changed meanwhile
    const std::string text(target.data(), static_cast<size_t>(n));
    if (symlinkat(text.c_str(), to, toName.c_str()) != 0) return Errno();
    struct stat made;
    if (fstatat(to, toName.c_str(), &made, AT_SYMLINK_NOFOLLOW) != 0) return Errno();
    // A link cannot be opened: what the name holds now must be the link just made, not
    // something swapped in under it.
    std::vector<char> check(text.size() + 1);
    if (!S_ISLNK(made.st_mode) || readlinkat(to, toName.c_str(), check.data(), check.size()) != n ||
        std::string(check.data(), static_cast<size_t>(n)) != text)
      return kItemChangedErr;
    if (created) {
      if (OSErr err = (*created)(made.st_ino)) return err;
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(to, toName.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return CopySidecar(from, fromName, to, toName, run, sidecarCreated);
  }
  if (S_ISREG(st.st_mode)) {
    // The owner may read and write the copy while its bytes arrive.
    if (OSErr err = CopyFileBytes(from, fromName, to, toName, 0700, st, run, created)) return err;
    return CopySidecar(from, fromName, to, toName, run, sidecarCreated);
  }
  if (!S_ISDIR(st.st_mode)) return toolbox::kParamErr;  // devices, pipes and sockets are not documents to copy
  const Descriptor source(openat(from, fromName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (source.fd < 0) return Errno();
  if (mkdirat(to, toName.c_str(), 0700) != 0) return Errno();
  const Descriptor made(openat(to, toName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (made.fd < 0) return Errno();
  std::vector<std::string> names;
  if (top) {
    // The folder opened must be the empty one just made, not one swapped in under its name
    // in the destination (inside the new item, which only its owner may change, none can be).
    struct stat madeSt;
    if (fstat(made.fd, &madeSt) != 0 || ListFolderAt(made.fd, names) != toolbox::kNoErr) return Errno();
    if (!names.empty() || madeSt.st_uid != run.owner) return kItemChangedErr;
  }
  OSErr err = Created(created, made.fd);
  if (!err) err = ListFolderAt(source.fd, names);
  for (size_t i = 0; !err && i < names.size(); ++i)
    if (!IsSidecarOfSibling(source.fd, names[i])) err = CopyItem(source.fd, names[i], made.fd, names[i], run, false);
  if (!err) err = CopySidecar(from, fromName, to, toName, run, sidecarCreated);
  if (!err) err = FinishItem(made.fd, st);
  if (!err && run.durability == Durability::Now) err = Flush(made.fd);
  return err;
}

// Puts the whole new item in place of the target. With `replace`, an existing target is
// swapped with it in one step (or, where the file system cannot swap, moved aside first)
// and ends as the old item. kDuplicateNameErr when the target exists and may not be
// replaced.
OSErr PlaceItem(const Journal& j, bool replace) {
  const std::string itemName = j.Item(), old = j.Old();
  const int f = j.folder;
  const char *item = itemName.c_str(), *target = j.target.c_str();
  if (renameat2(f, item, f, target, RENAME_NOREPLACE) == 0) return toolbox::kNoErr;
  if (errno != EEXIST && errno != EINVAL) return Errno();
  const bool canSwap = errno == EEXIST;
  if (InodeAt(f, j.target) == 0) {
    // A file system that has only the plain rename.
    if (renameat(f, item, f, target) != 0) return Errno();
    return toolbox::kNoErr;
  }
  if (!replace) return toolbox::kDuplicateNameErr;
  if (canSwap && renameat2(f, item, f, target, RENAME_EXCHANGE) == 0) return toolbox::kNoErr;
  if (canSwap && errno != EINVAL) return Errno();
  if (renameat(f, target, f, old.c_str()) != 0) return Errno();
  if (renameat(f, item, f, target) != 0) {
    const OSErr err = Errno();
    renameat(f, old.c_str(), f, target);
    return err;
  }
  return toolbox::kNoErr;
}

// Records the old item and swaps the new one in, with the sidecars settled and the swap on
// the disk, all under the folder's lock. Everything the sidecar's settling needs is checked
// before the swap, so that the sidecar follows it in the very next call: the only moment
// the item stands with the old one's sidecar (or none), which the next copy into the folder
// repairs should this one die there. `settled` receives the settling's outcome once the
// item is in place.
OSErr PlaceAndSettle(Journal& j, int journal, bool replace, OSErr& settled) {
  FolderLock lock(j.folderPath);
  if (lock.Error() != toolbox::kNoErr) return kCannotLockFolderErr;
  const std::string sidecar = copyjournal::SidecarName(j.target);
  if (j.newSidecar != 0 && sidecar.empty()) return toolbox::kBadNameErr;
  struct stat target, sidecarSt;
  const bool haveTarget = fstatat(j.folder, j.target.c_str(), &target, AT_SYMLINK_NOFOLLOW) == 0;
  const bool haveSidecar = !sidecar.empty() && fstatat(j.folder, sidecar.c_str(), &sidecarSt, AT_SYMLINK_NOFOLLOW) == 0;
  const bool isSidecar = haveSidecar && IsSidecarAt(j.folder, sidecar);
  // An ordinary item under the name the copy's sidecar needs would stay in the way; a
  // sidecar without its item is another's, which the copy has not been asked to replace.
  if ((j.newSidecar != 0 && haveSidecar && !isSidecar) || (!haveTarget && isSidecar)) return toolbox::kDuplicateNameErr;
  if (haveTarget && !replace) return toolbox::kDuplicateNameErr;
  j.oldItem = haveTarget ? target.st_ino : 0;
  j.oldSidecar = haveTarget && isSidecar ? sidecarSt.st_ino : 0;
  j.placed = copyjournal::kPlacing;
  if (!WriteJournal(journal, j)) return Errno();
  if (OSErr err = Flush(journal)) return err;
  if (OSErr err = PlaceItem(j, replace)) return err;
  if (!j.Holds(j.target, j.newItem)) {
    // Another user swapped a name of the copy's meanwhile: what the target holds now is not
    // the copy. The old item gets its name back where it stands beside it.
    if (j.Holds(j.Item(), j.oldItem) && InodeAt(j.folder, j.target) != 0)
      renameat2(j.folder, j.Item().c_str(), j.folder, j.target.c_str(), RENAME_EXCHANGE);
    return kItemChangedErr;
  }
  j.placed = copyjournal::kPlaced;
  WriteJournal(journal, j);
  settled = copyjournal::SettleSidecars(j);
  if (OSErr flushed = lock.Flush(); !settled) settled = flushed;
  return toolbox::kNoErr;
}

// The real path of a folder, which a journal's seal names; empty when it has none.
std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

}  // namespace

bool CopyFlushesWholeFileSystem(long type) {
  switch (static_cast<unsigned long>(type) & 0xFFFFFFFFul) {
    case EXT4_SUPER_MAGIC:  // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case TMPFS_MAGIC:  // nothing to reach
      return true;
    default:  // FUSE (its server hears of the flush only if it asked to), NFS, CIFS, ...
      return false;
  }
}

OSErr CopyForkData(int sourceFd, int destinationFd, char* buffer, size_t size) {
  // The writeback of what is written is started piece by piece, so that the disk works while
  // the rest is read and the flush that follows has less to wait for.
  constexpr off_t kWritebackPiece = 8 << 20;
  off_t started = lseek(destinationFd, 0, SEEK_CUR), written = started;
  for (;;) {
    if (started >= 0 && written - started >= kWritebackPiece) {
      sync_file_range(destinationFd, started, written - started, SYNC_FILE_RANGE_WRITE);
      started = written;
    }
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
    written += got;
  }
}

OSErr CopyAllForks(const std::string& source, const std::string& destination) {
  std::string fromName, toName;
  const Descriptor from(OpenParent(source, fromName)), to(OpenParent(destination, toName));
  if (from.fd < 0 || to.fd < 0) return Errno();
  std::vector<char> buffer(kCopyBufferSize);
  const CopyRun run{buffer.data(), buffer.size(), Durability::Now};
  struct stat st {};
  st.st_mode = 0700;
  st.st_atim.tv_nsec = st.st_mtim.tv_nsec = UTIME_OMIT;
  if (OSErr err = CopyFileBytes(from.fd, fromName, to.fd, toName, 0700, st, run, nullptr)) return err;
  return CopySidecar(from.fd, fromName, to.fd, toName, run, nullptr);
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
  std::string sourceName;
  const Descriptor sourceFolder(OpenParent(source.path, sourceName));
  const Descriptor folder(open(destinationFolder.path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  struct stat st;
  if (sourceFolder.fd < 0 || folder.fd < 0 || fstat(folder.fd, &st) != 0) return Errno();
  // Everything from here on goes through these descriptors: the items checked above must be
  // the ones they reach.
  if (!SameItem(st, dst) || fstatat(sourceFolder.fd, sourceName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
      !SameItem(st, src))
    return kItemChangedErr;

  {
    // A folder whose lock cannot be taken refuses the copy before the work, not once the
    // whole tree is copied.
    const FolderLock lock(destinationFolder.path);
    if (lock.Error() != toolbox::kNoErr) return kCannotLockFolderErr;
  }
  Journal j;
  j.folder = folder.fd;
  j.folderPath = RealPath(destinationFolder.path);
  if (j.folderPath.empty()) j.folderPath = destinationFolder.path;
  j.target = name;
  copyjournal::RecoverAbandonedCopies(folder.fd, j.folderPath, name);
  struct stat existing;
  const bool exists = fstatat(folder.fd, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
  if (exists) {
    if (dupeAction != 1) return toolbox::kDuplicateNameErr;
    // Replacing the source itself, or a folder that holds it, would move the source away.
    if (SameItem(existing, src) || (S_ISDIR(existing.st_mode) && IsInside(FolderOf(source.path), existing)))
      return toolbox::kDuplicateNameErr;
  } else if (errno != ENOENT) {
    return Errno();
  }
  // The sidecar's name must be free for the copy's sidecar, or hold the sidecar of the item
  // replaced: another's sidecar without its item, or an ordinary item where the copy needs
  // to put its sidecar, refuses the copy before the work.
  if (const std::string sidecar = copyjournal::SidecarName(name); !sidecar.empty() && InodeAt(folder.fd, sidecar) != 0) {
    const bool sidecarThere = IsSidecarAt(folder.fd, sidecar);
    if ((!exists && sidecarThere) || (!sidecarThere && IsSidecarAt(sourceFolder.fd, "._" + sourceName)))
      return toolbox::kDuplicateNameErr;
  }

  OSErr err = toolbox::kNoErr;
  const int journal = copyjournal::CreateJournal(j, err);
  if (journal < 0) return err;
  struct statfs fileSystem;
  const Durability durability = fstatfs(journal, &fileSystem) == 0 && CopyFlushesWholeFileSystem(fileSystem.f_type)
                                    ? Durability::WithTheCopy
                                    : Durability::Now;
  if (!WriteJournal(journal, j)) err = Errno();
  if (err == toolbox::kNoErr) {
    // The journal names the new item as soon as it exists, so that what a copy that dies
    // leaves is found by its inode; its sidecar too, known by the inode the copy made, not
    // as whatever file stands under its name.
    const CreatedFunction created = [&](ino_t inode) {
      j.newItem = inode;
      return WriteJournal(journal, j) ? Flush(journal) : Errno();
    };
    const CreatedFunction sidecarCreated = [&](ino_t inode) {
      j.newSidecar = inode;
      return WriteJournal(journal, j) ? toolbox::kNoErr : Errno();
    };
    std::vector<char> buffer(kCopyBufferSize);
    const CopyRun run{buffer.data(), buffer.size(), durability, &created, &sidecarCreated, j.owner};
    err = CopyItem(sourceFolder.fd, sourceName, folder.fd, j.Item(), run, true);
  }
  if (err == toolbox::kNoErr) {
    // A name too long to take "._" before it has no sidecar (as a move leaves it none).
    const std::string itemSidecar = "._" + j.Item();
    if (j.newSidecar != 0 && !toolbox::CanHaveSidecar(name)) {
      struct stat sidecarSt;
      if (fstatat(folder.fd, itemSidecar.c_str(), &sidecarSt, AT_SYMLINK_NOFOLLOW) == 0 && sidecarSt.st_ino == j.newSidecar)
        RemoveItemAt(folder.fd, itemSidecar, sidecarSt);
      j.newSidecar = 0;
    }
    // The whole copy reaches the disk before it takes the target's name.
    if (durability == Durability::WithTheCopy) err = FlushFileSystem(journal);
  }
  OSErr settled = toolbox::kNoErr;
  if (err == toolbox::kNoErr) err = PlaceAndSettle(j, journal, dupeAction == 1, settled);
  if (err != toolbox::kNoErr) {
    // Nothing of the copy is left and the target is as it was. (An old item that could not
    // get its name back stays aside with the journal, for a later copy to restore.)
    copyjournal::RemoveOwnItem(j, j.Item());
    if (!j.Holds(j.Old(), j.oldItem) && InodeAt(folder.fd, j.Name()) == j.journalInode)
      unlinkat(folder.fd, j.Name().c_str(), 0);
    close(journal);
    return err;
  }
  if (outRef) outRef->path = target;
  // The copy stays in place either way; what the old item leaves keeps its hidden name, and
  // the journal stays for a later copy to try again.
  if (j.oldItem != 0 && j.Holds(j.Item(), j.oldItem))
    renameat2(folder.fd, j.Item().c_str(), folder.fd, j.Old().c_str(), RENAME_NOREPLACE);
  err = settled ? settled : copyjournal::RemoveCopyItems(j);
  close(journal);
  return err;
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
