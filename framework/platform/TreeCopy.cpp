#include "framework/platform/TreeCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "framework/platform/FileOps.h"
#include "framework/platform/PathLayer.h"
#include "framework/platform/TreeRemoval.h"
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

// Whether the item at `path` is a sidecar: a regular file that holds the AppleDouble
// format. A folder, a link or any other file under a sidecar's name is an ordinary item.
bool IsSidecarFile(const std::string& path) {
  // Only a regular file is opened: opening a pipe or a device has effects of its own (a
  // writer waiting on a pipe would be let through, and then find no reader).
  struct stat st;
  if (path.empty() || lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  unsigned char head[8];
  const bool sidecar = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && read(fd, head, sizeof head) == 8 &&
                       ((uint32_t{head[0]} << 24) | (uint32_t{head[1]} << 16) | (uint32_t{head[2]} << 8) |
                        head[3]) == toolbox::kAppleDoubleMagic;
  close(fd);
  return sidecar;
}

// The sidecar of an item, when it has one; empty otherwise.
std::string SidecarOf(const std::string& path) {
  const std::string sidecar = toolbox::SidecarPathFor(path);
  return IsSidecarFile(sidecar) ? sidecar : std::string();
}

// A sidecar that sits beside its own item travels with that item.
bool IsSidecarOfSibling(const std::string& folder, const std::string& name) {
  if (!toolbox::IsSidecarName(name)) return false;
  struct stat st;
  return lstat(Join(folder, name.substr(2)).c_str(), &st) == 0 && IsSidecarFile(Join(folder, name));
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

// Called with the inode of the top item of a copy as soon as it exists.
using CreatedFunction = std::function<OSErr(ino_t)>;

OSErr Created(const CreatedFunction* created, int fd) {
  struct stat st;
  if (!created) return toolbox::kNoErr;
  return fstat(fd, &st) == 0 ? (*created)(st.st_ino) : Errno();
}

// Copies a file's bytes into a new file that ends with the mode and times of `st`, and is
// on the disk (bytes, mode and times) when this returns or, as `durability` says, once the
// copy's file system is flushed.
OSErr CopyFileBytes(const std::string& from, const std::string& to, mode_t mode, const struct stat& st,
                    char* buffer, size_t size, Durability durability, const CreatedFunction* created = nullptr) {
  const int in = open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in < 0) return Errno();
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (out < 0) {
    const OSErr err = Errno();
    close(in);
    return err;
  }
  OSErr err = Created(created, out);
  if (!err) err = CopyForkData(in, out, buffer, size);
  close(in);
  if (!err) err = FinishItem(out, st);
  if (!err && durability == Durability::Now) err = Flush(out);
  if (!err && durability == Durability::WithTheCopy) sync_file_range(out, 0, 0, SYNC_FILE_RANGE_WRITE);
  if (close(out) != 0 && err == toolbox::kNoErr) err = Errno();
  return err;
}

// The sidecar of an item, when the source has one; `created`, when given, hears its inode.
OSErr CopySidecar(const std::string& from, const std::string& to, char* buffer, size_t size,
                  Durability durability, const CreatedFunction* created = nullptr) {
  const std::string sidecar = SidecarOf(from);
  struct stat st;
  if (sidecar.empty() || lstat(sidecar.c_str(), &st) != 0) return toolbox::kNoErr;
  const std::string target = toolbox::SidecarPathFor(to);
  if (target.empty()) return toolbox::kBadNameErr;
  return CopyFileBytes(sidecar, target, 0600, st, buffer, size, durability, created);
}

// Copies one item to a path that does not exist yet. Every file and folder of the copy is
// on the disk when this returns, or, as `durability` says, written with its writeback
// started, so that one flush of the file system then puts all of it on the disk: a file with
// its bytes, a folder with its entries (a link is an entry of its folder). A failure can
// leave a partial copy, which the caller removes. `created` and `sidecarCreated` hear the
// inodes of the item and of its sidecar as each is made.
OSErr CopyItem(const std::string& from, const std::string& to, char* buffer, size_t size, Durability durability,
               const CreatedFunction* created = nullptr, const CreatedFunction* sidecarCreated = nullptr) {
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return Errno();
  if (S_ISLNK(st.st_mode)) {
    std::vector<char> target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    const ssize_t n = readlink(from.c_str(), target.data(), target.size());
    if (n < 0) return Errno();
    if (static_cast<size_t>(n) >= target.size()) return toolbox::kIoErr;  // changed meanwhile
    if (symlink(std::string(target.data(), static_cast<size_t>(n)).c_str(), to.c_str()) != 0)
      return Errno();
    struct stat made;
    if (created && lstat(to.c_str(), &made) != 0) return Errno();
    if (created) {
      if (OSErr err = (*created)(made.st_ino)) return err;
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return CopySidecar(from, to, buffer, size, durability, sidecarCreated);
  }
  if (S_ISREG(st.st_mode)) {
    // The owner may read and write the copy while its bytes arrive.
    if (OSErr err = CopyFileBytes(from, to, 0700, st, buffer, size, durability, created)) return err;
    return CopySidecar(from, to, buffer, size, durability, sidecarCreated);
  }
  if (S_ISDIR(st.st_mode)) {
    if (mkdir(to.c_str(), 0700) != 0) return Errno();
    const int fd = open(to.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return Errno();
    OSErr err = Created(created, fd);
    std::vector<std::string> names;
    if (!err) err = ListFolder(from, names);
    for (size_t i = 0; !err && i < names.size(); ++i)
      if (!IsSidecarOfSibling(from, names[i]))
        err = CopyItem(Join(from, names[i]), Join(to, names[i]), buffer, size, durability);
    if (!err) err = CopySidecar(from, to, buffer, size, durability, sidecarCreated);
    if (!err) err = FinishItem(fd, st);
    if (!err && durability == Durability::Now) err = Flush(fd);
    close(fd);
    return err;
  }
  return toolbox::kParamErr;  // devices, pipes and sockets are not documents to copy
}

// Removes an item by path: a folder with its contents, a file or link, each with its
// sidecar unless `withSidecar` is false.
OSErr RemovePath(const std::string& path, bool withSidecar = true) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return Errno();
  if (S_ISDIR(st.st_mode)) {
    if (OSErr err = DeleteFolderContents(toolbox::FileRef{path})) return err;
    if (rmdir(path.c_str()) != 0) return Errno();
  } else if (unlink(path.c_str()) != 0) {
    return Errno();
  }
  const std::string sidecar = withSidecar ? SidecarOf(path) : std::string();
  if (!sidecar.empty() && unlink(sidecar.c_str()) != 0 && errno != ENOENT) return Errno();
  return toolbox::kNoErr;
}

// A copy is made beside its target under a temporary name and put in place when whole, so
// that no crash leaves a part of it, or no item at all, under the target's name. Each copy
// keeps a journal in the destination folder, ".copying-XXXXXX", locked while the copy runs;
// beside it the copy's items have names of their own:
//   ".copying-XXXXXX.item"  the new item while it is made (after a swap, the old one);
//   ".DeleteMe-XXXXXX"      the old item once the new one is in place, until it is removed.
// The journal holds a header line; the journal's own inode number, the inode numbers of the
// new item (written as soon as it exists), of its sidecar, of the old item and of the old
// item's sidecar (written just before the swap), and whether the new item was put in place;
// then the target's name. A later copy into the folder finishes or undoes what a copy that
// died left (RecoverAbandonedCopies), acting only on items whose inodes are still the ones
// its journal names, on the journal's file system. That the journal is still the file of
// the inode it names shows that its numbers are this file system's: a disk mounted again
// after a power cut often comes back under another device number, with the same inodes.
//
// Against a power cut: every file and folder of the copy is written with its writeback
// started, and the copy's file system flushed once before the item is put in place (where
// such a flush is not known to reach the disk, each file and folder is flushed by itself);
// the journal is flushed before the swap, and the destination folder after it; the old item
// is removed only then. The item and its sidecar are two names that no single call can change
// together: the sidecar is settled right after the swap, and the journal lets the next copy
// into the folder finish it should the copy die in between.
//
// A copy's journal takes, where it is free, one of a few names derived from its user and its
// target's name (NamedJournalSuffix), so that in a folder that cannot be listed (one its user
// may write but not read) the next copy to the same target finds what a copy that died left.
//
// Journals of earlier builds are read as those builds read them: the second format names the
// folder's device where this one names the journal's inode, and is acted on only while the
// folder is on that device; the first names no old item and no device, and an item under one
// of its names is its own.
constexpr std::string_view kJournalPrefix = ".copying-";
constexpr std::string_view kJournalHeader = "copy journal 3\n";
constexpr std::string_view kJournalHeader2 = "copy journal 2\n";
constexpr std::string_view kJournalHeader1 = "copy journal 1\n";
constexpr size_t kJournalRandom = 6;
constexpr int kNamedJournals = 8;

// The random part of the `slot`th journal name for a copy of this user to `target`: six
// letters and digits, as a random one has, of an FNV-1a hash of the user, the name and the
// slot. Journals already on the disk are found by these names: they never change.
std::string NamedJournalSuffix(const std::string& target, int slot) {
  const std::string key = std::to_string(geteuid()) + '/' + target + '/' + std::to_string(slot);
  uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : key) hash = (hash ^ c) * 1099511628211ull;
  constexpr std::string_view kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  for (size_t i = 0; i < kJournalRandom; ++i, hash /= kDigits.size()) suffix += kDigits[hash % kDigits.size()];
  return suffix;
}

struct Journal {
  std::string folder;
  std::string suffix;  // the journal's random part
  std::string target;  // the target's name
  unsigned long long self = 0, newItem = 0, newSidecar = 0, oldItem = 0, oldSidecar = 0, placed = 0;
  dev_t device = 0;     // where its items are: the journal's own file system
  bool byName = false;  // a journal of the first format: its items are those under its names
  std::string Path() const { return Join(folder, std::string(kJournalPrefix) + suffix); }
  std::string Item() const { return Join(folder, std::string(kJournalPrefix) + suffix + ".item"); }
  std::string Old() const { return Join(folder, ".DeleteMe-" + suffix); }
  std::string Target() const { return Join(folder, target); }
  // Whether the item at `path` is the one of that inode on the journal's device.
  bool Holds(const std::string& path, unsigned long long inode) const {
    struct stat st;
    return inode != 0 && !path.empty() && lstat(path.c_str(), &st) == 0 && st.st_dev == device &&
           st.st_ino == inode;
  }
};

// The numbers' line has a fixed length, so that each rewrite of the journal is one write of
// the same size.
constexpr size_t kJournalNumbers = 6 * 21;

std::string JournalText(const Journal& j) {
  char numbers[kJournalNumbers + 1];
  std::snprintf(numbers, sizeof numbers, "%020llu %020llu %020llu %020llu %020llu %020llu\n", j.self, j.newItem,
                j.newSidecar, j.oldItem, j.oldSidecar, j.placed);
  return std::string(kJournalHeader) + numbers + j.target;
}

bool WriteJournal(int fd, const Journal& j) {
  const std::string text = JournalText(j);
  return pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

unsigned long long InodeAt(const std::string& path) {
  struct stat st;
  return !path.empty() && lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// What a journal found in a folder allows: finishing or undoing its copy; nothing, as it
// names another file system's items (or comes from a later build), so that it stays as it
// is; or nothing ever, as it names nothing (empty or cut short), so that it can go.
enum class JournalUse { Act, Leave, Remove };

// Reads the journal `fd`, the file `st`, into `j` (whose folder and suffix are set), in
// the folder on `device`.
JournalUse ReadJournal(int fd, const struct stat& st, dev_t device, Journal& j) {
  char buffer[512];
  const ssize_t n = pread(fd, buffer, sizeof buffer, 0);
  if (n <= 0) return n == 0 ? JournalUse::Remove : JournalUse::Leave;
  const std::string text(buffer, static_cast<size_t>(n));
  const int format = text.starts_with(kJournalHeader) ? 3
                     : text.starts_with(kJournalHeader2) ? 2
                     : text.starts_with(kJournalHeader1) ? 1
                                                          : 0;
  if (format == 0) return JournalUse::Leave;
  const size_t header = kJournalHeader.size(), numbers = format == 1 ? 4 * 21 : kJournalNumbers;
  unsigned long long v[6] = {};
  const int count = format == 1 ? 4 : 6;
  if (text.size() <= header + numbers || text[header + numbers - 1] != '\n' ||
      std::sscanf(text.c_str() + header, "%20llu %20llu %20llu %20llu %20llu %20llu", &v[0], &v[1], &v[2], &v[3],
                  &v[4], &v[5]) < count)
    return JournalUse::Remove;
  j.target = text.substr(header + numbers);
  if (j.target.empty() || j.target.size() > 255 || j.target == "." || j.target == ".." ||
      j.target.find_first_of(std::string_view("/\0", 2)) != std::string::npos)
    return JournalUse::Remove;
  if (format == 1) {
    j.newItem = v[0], j.newSidecar = v[1], j.oldSidecar = v[2], j.placed = v[3];
    j.device = device;
    j.byName = true;
    j.oldItem = InodeAt(j.Old());
    return JournalUse::Act;
  }
  j.newItem = v[1], j.newSidecar = v[2], j.oldItem = v[3], j.oldSidecar = v[4], j.placed = v[5];
  if (format == 2) {
    j.device = device;
    return v[0] == device ? JournalUse::Act : JournalUse::Leave;
  }
  // A journal that is not the file it names was copied here from elsewhere, inode numbers and all.
  j.self = v[0];
  j.device = st.st_dev;
  return j.self == st.st_ino ? JournalUse::Act : JournalUse::Leave;
}

// Makes and locks this copy's journal (under a name derived from the target where one is
// free, else under a random one): its descriptor, with `j`'s suffix, journal inode and
// device set; -1 with `err` set when none can be made. A file system that takes no lock
// refuses the copy here, before anything is made: a copy that no lock marks as running would
// be taken for one that died.
int CreateJournal(Journal& j, OSErr& err) {
  for (int attempt = 0; attempt < kNamedJournals + 100; ++attempt) {
    const bool named = attempt < kNamedJournals;
    std::string path = Join(j.folder, std::string(kJournalPrefix) +
                                          (named ? NamedJournalSuffix(j.target, attempt) : std::string(kJournalRandom, 'X')));
    if (named) {
      // A name of the copy's own that something already holds (left, or put there by another
      // user, as these names can be foreseen) would fail the copy: that name is not taken.
      j.suffix = NameOf(path).substr(kJournalPrefix.size());
      if (InodeAt(j.Item()) != 0 || InodeAt(toolbox::SidecarPathFor(j.Item())) != 0 || InodeAt(j.Old()) != 0) continue;
    }
    const int fd = named ? open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)
                         : mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0 && named && errno == EEXIST) continue;  // another copy's, or one left that stays
    if (fd < 0) break;
    struct stat st;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      if (error != EWOULDBLOCK) unlink(path.c_str());
      close(fd);
      if (error == EWOULDBLOCK) continue;  // a recovery took it at once, and removes it
      err = kCannotLockFolderErr;
      return -1;
    }
    if (toolbox::IsFileAt(fd, path) && fstat(fd, &st) == 0) {
      j.suffix = NameOf(path).substr(kJournalPrefix.size());
      j.self = st.st_ino;
      j.device = st.st_dev;
      return fd;
    }
    close(fd);
  }
  err = Errno();
  return -1;
}

// Opens the journal at `path` when it is one that only this user could have written and no
// running copy holds its lock: the descriptor, holding the lock until it is closed, with the
// file opened in `st`; -1 otherwise. A journal is this user's, with no other name (a link
// that another user made to one of this user's files is not one) and writable by no one else
// (the mode's group bits are an ACL's mask): a file of this user's that others may write, as
// the folder lock's file, is never trusted. The journal is opened for writing, since a lock
// taken as NFS takes it needs that; what is checked is the opened file, whatever the name
// showed a moment before.
int OpenAbandonedJournal(const std::string& path, struct stat& st) {
  const int fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && st.st_nlink == 1 &&
      (st.st_mode & 022) == 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 && toolbox::IsFileAt(fd, path))
    return fd;
  close(fd);
  return -1;
}

// Gives the item now under the target's name its own sidecar: the new item's goes in place
// of the old one's, or the old one's goes when the new item has none. Safe to repeat.
OSErr SettleSidecars(const Journal& j) {
  const std::string sidecar = toolbox::SidecarPathFor(j.Target());
  const std::string newSidecar = toolbox::SidecarPathFor(j.Item());
  if (j.newSidecar != 0) {
    if (sidecar.empty()) return toolbox::kBadNameErr;
    // An ordinary item under the sidecar's name is not replaced.
    if (InodeAt(sidecar) != 0 && !IsSidecarFile(sidecar)) return toolbox::kDuplicateNameErr;
    if (j.Holds(newSidecar, j.newSidecar) && rename(newSidecar.c_str(), sidecar.c_str()) != 0) return Errno();
  } else if (j.Holds(sidecar, j.oldSidecar) && unlink(sidecar.c_str()) != 0 && errno != ENOENT) {
    return Errno();
  }
  return toolbox::kNoErr;
}

// Whether the file at `path` is one this user's copy could have made there itself: its own,
// on the journal's file system, with no other name (another user may link one of this user's
// files under a name a copy will use, as those names can be foreseen).
bool IsOwnSingleFile(const Journal& j, const std::string& path) {
  struct stat st;
  return !path.empty() && lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && st.st_dev == j.device &&
         st.st_uid == geteuid() && st.st_nlink == 1;
}

// Removes one of a copy's own items, when it is one the journal names (or, named by no
// inode yet, an empty item its copy had only just made), with its sidecar, the copy's by its
// name where it is a file this user's copy could have made.
OSErr RemoveOwnItem(const Journal& j, const std::string& path) {
  struct stat st;
  OSErr err = toolbox::kNoErr;
  if (lstat(path.c_str(), &st) == 0) {
    if (j.byName || j.Holds(path, j.newItem) || j.Holds(path, j.oldItem)) {
      err = RemovePath(path, false);
    } else if (j.newItem != 0 || (S_ISDIR(st.st_mode) ? st.st_dev != j.device || st.st_uid != geteuid()
                                                      : !IsOwnSingleFile(j, path))) {
      return toolbox::kDuplicateNameErr;
    } else if (S_ISDIR(st.st_mode) ? rmdir(path.c_str()) != 0
                                   : (S_ISREG(st.st_mode) && st.st_size != 0) || unlink(path.c_str()) != 0) {
      return toolbox::kDuplicateNameErr;  // more than its copy could have made before naming it
    }
  }
  const std::string sidecar = toolbox::SidecarPathFor(path);
  if (IsOwnSingleFile(j, sidecar) && unlink(sidecar.c_str()) != 0 && errno != ENOENT && !err) err = Errno();
  return err;
}

// Removes what a journal's copy leaves beside the target: the temporary item and the old
// item. The journal goes last, once nothing of it is left.
OSErr RemoveCopyItems(const Journal& j) {
  OSErr result = RemoveOwnItem(j, j.Item());
  if (OSErr err = RemoveOwnItem(j, j.Old()); err && !result) result = err;
  if (result == toolbox::kNoErr) unlink(j.Path().c_str());
  return result;
}

// Finishes or undoes the copy of a journal no running copy holds: once the new item is in
// place, its sidecar is settled and the old item removed; before, an old item moved aside
// gets its name back and the temporary copy goes.
void RecoverCopy(Journal& j) {
  const bool newPlaced = j.Holds(j.Target(), j.newItem);
  if (newPlaced) {
    if (SettleSidecars(j) != toolbox::kNoErr) return;
  } else if (!j.placed && j.Holds(j.Old(), j.oldItem)) {
    // Moved aside where the file system cannot swap, and the new item never came.
    if (InodeAt(j.Target()) != 0) return;  // someone else's item has the name now: the old one stays aside
    if (renameat2(AT_FDCWD, j.Old().c_str(), AT_FDCWD, j.Target().c_str(), RENAME_NOREPLACE) != 0 &&
        (errno != EINVAL || rename(j.Old().c_str(), j.Target().c_str()) != 0))
      return;
  }
  RemoveCopyItems(j);
}

// Recovers every copy into the folder whose process died: the journals of this user whose
// lock can be taken, each while it is held, and while the folder's lock is. Another user's
// journals are left alone, unread, and so is a journal this build cannot act on; one that
// names nothing is removed, so that later copies do not read it again. In a folder that
// cannot be listed, the journals found are those of copies to `target` by their names.
void RecoverAbandonedCopies(const std::string& folder, dev_t device, const std::string& target) {
  std::vector<std::string> names;
  if (ListFolder(folder, names) != toolbox::kNoErr) {
    names.clear();
    for (int slot = 0; slot < kNamedJournals; ++slot)
      names.push_back(std::string(kJournalPrefix) + NamedJournalSuffix(target, slot));
  }
  for (const std::string& name : names) {
    if (name.size() != kJournalPrefix.size() + kJournalRandom || !name.starts_with(kJournalPrefix)) continue;
    Journal j;
    j.folder = folder;
    j.suffix = name.substr(kJournalPrefix.size());
    struct stat st;
    const int fd = OpenAbandonedJournal(j.Path(), st);
    if (fd < 0) continue;
    switch (ReadJournal(fd, st, device, j)) {
      case JournalUse::Act: {
        FolderLock lock(folder);
        if (lock.Error() == toolbox::kNoErr) RecoverCopy(j);
        break;
      }
      case JournalUse::Remove:
        unlink(j.Path().c_str());
        break;
      case JournalUse::Leave:
        break;
    }
    close(fd);
  }
}

// Puts the whole new item in place of the target. With `replace`, an existing target is
// swapped with it in one step (or, where the file system cannot swap, moved aside first)
// and ends as the old item. kDuplicateNameErr when the target exists and may not be
// replaced.
OSErr PlaceItem(const Journal& j, bool replace) {
  const std::string item = j.Item(), target = j.Target();
  if (renameat2(AT_FDCWD, item.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return toolbox::kNoErr;
  if (errno != EEXIST && errno != EINVAL) return Errno();
  const bool canSwap = errno == EEXIST;
  if (InodeAt(target) == 0) {
    // A file system that has only the plain rename.
    if (rename(item.c_str(), target.c_str()) != 0) return Errno();
    return toolbox::kNoErr;
  }
  if (!replace) return toolbox::kDuplicateNameErr;
  if (canSwap && renameat2(AT_FDCWD, item.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0)
    return toolbox::kNoErr;
  if (canSwap && errno != EINVAL) return Errno();
  if (rename(target.c_str(), j.Old().c_str()) != 0) return Errno();
  if (rename(item.c_str(), target.c_str()) != 0) {
    const OSErr err = Errno();
    rename(j.Old().c_str(), target.c_str());
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
  FolderLock lock(j.folder);
  if (lock.Error() != toolbox::kNoErr) return kCannotLockFolderErr;
  const std::string sidecar = toolbox::SidecarPathFor(j.Target());
  if (j.newSidecar != 0 && sidecar.empty()) return toolbox::kBadNameErr;
  // An ordinary item under the name the copy's sidecar needs would stay in the way.
  if (j.newSidecar != 0 && InodeAt(sidecar) != 0 && !IsSidecarFile(sidecar)) return toolbox::kDuplicateNameErr;
  j.oldItem = InodeAt(j.Target());
  j.oldSidecar = InodeAt(SidecarOf(j.Target()));
  if (!WriteJournal(journal, j)) return Errno();
  if (OSErr err = Flush(journal)) return err;
  if (OSErr err = PlaceItem(j, replace)) return err;
  if (j.newSidecar != 0)
    settled = rename(toolbox::SidecarPathFor(j.Item()).c_str(), sidecar.c_str()) == 0 ? toolbox::kNoErr : Errno();
  else if (j.oldSidecar != 0)
    settled = unlink(sidecar.c_str()) == 0 || errno == ENOENT ? toolbox::kNoErr : Errno();
  if (OSErr flushed = lock.Flush(); !settled) settled = flushed;
  return toolbox::kNoErr;
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
  std::vector<char> buffer(kCopyBufferSize);
  struct stat st {};
  st.st_mode = 0700;
  st.st_atim.tv_nsec = st.st_mtim.tv_nsec = UTIME_OMIT;
  if (OSErr err = CopyFileBytes(source, destination, 0700, st, buffer.data(), buffer.size(), Durability::Now))
    return err;
  return CopySidecar(source, destination, buffer.data(), buffer.size(), Durability::Now);
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

  {
    // A folder whose lock cannot be taken refuses the copy before the work, not once the
    // whole tree is copied.
    const FolderLock lock(destinationFolder.path);
    if (lock.Error() != toolbox::kNoErr) return kCannotLockFolderErr;
  }
  RecoverAbandonedCopies(destinationFolder.path, dst.st_dev, name);
  struct stat existing;
  if (lstat(target.c_str(), &existing) == 0) {
    if (dupeAction != 1) return toolbox::kDuplicateNameErr;
    // Replacing the source itself, or a folder that holds it, would move the source away.
    if (SameItem(existing, src) ||
        (S_ISDIR(existing.st_mode) && IsInside(FolderOf(source.path), existing)))
      return toolbox::kDuplicateNameErr;
  } else if (errno != ENOENT) {
    return Errno();
  }

  Journal j;
  j.folder = destinationFolder.path;
  j.target = name;
  OSErr err = toolbox::kNoErr;
  unsigned long long madeSidecar = 0;
  const int journal = CreateJournal(j, err);
  if (journal < 0) return err;
  struct statfs fileSystem;
  const Durability durability = fstatfs(journal, &fileSystem) == 0 && CopyFlushesWholeFileSystem(fileSystem.f_type)
                                    ? Durability::WithTheCopy
                                    : Durability::Now;
  if (!WriteJournal(journal, j)) err = Errno();
  if (err == toolbox::kNoErr) {
    // The journal names the new item as soon as it exists, so that what a copy that dies
    // leaves is found by its inode.
    const CreatedFunction created = [&](ino_t inode) {
      j.newItem = inode;
      return WriteJournal(journal, j) ? Flush(journal) : Errno();
    };
    // The new item's sidecar is the one the copy made, known by its inode: not whatever
    // file stands under its name.
    const CreatedFunction sidecarCreated = [&](ino_t inode) {
      madeSidecar = inode;
      return toolbox::kNoErr;
    };
    std::vector<char> buffer(kCopyBufferSize);
    err = CopyItem(source.path, j.Item(), buffer.data(), buffer.size(), durability, &created, &sidecarCreated);
  }
  if (err == toolbox::kNoErr) {
    const std::string itemSidecar = toolbox::SidecarPathFor(j.Item());
    if (!j.Holds(itemSidecar, madeSidecar)) madeSidecar = 0;
    // A name too long to take "._" before it has no sidecar (as a move leaves it none).
    if (madeSidecar != 0 && !toolbox::CanHaveSidecar(target)) {
      unlink(itemSidecar.c_str());
      madeSidecar = 0;
    }
    j.newSidecar = madeSidecar;
    // The whole copy reaches the disk before it takes the target's name.
    if (durability == Durability::WithTheCopy) err = FlushFileSystem(journal);
  }
  OSErr settled = toolbox::kNoErr;
  if (err == toolbox::kNoErr) err = PlaceAndSettle(j, journal, dupeAction == 1, settled);
  if (err != toolbox::kNoErr) {
    // Nothing of the copy is left and the target is as it was. (An old item that could not
    // get its name back stays aside with the journal, for a later copy to restore.)
    RemoveOwnItem(j, j.Item());
    if (InodeAt(j.Old()) == 0) unlink(j.Path().c_str());
    close(journal);
    return err;
  }
  j.placed = 1;
  WriteJournal(journal, j);
  if (outRef) outRef->path = target;
  // The copy stays in place either way; what the old item leaves keeps its hidden name, and
  // the journal stays for a later copy to try again.
  if (j.oldItem != 0 && j.Holds(j.Item(), j.oldItem)) rename(j.Item().c_str(), j.Old().c_str());
  err = settled ? settled : RemoveCopyItems(j);
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
