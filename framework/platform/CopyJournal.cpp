#include "framework/platform/CopyJournal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "framework/platform/FileOps.h"
#include "framework/platform/TreeRemoval.h"
#include "toolbox/AppleDouble.h"
#include "toolbox/Folders.h"

namespace copyjournal {
namespace {

OSErr Errno() { return toolbox::ErrorFromErrno(errno); }

constexpr std::string_view kJournalPrefix = ".copying-";
constexpr std::string_view kJournalHeader = "copy journal 4\n";
constexpr std::string_view kJournalHeader3 = "copy journal 3\n";
constexpr std::string_view kJournalHeader2 = "copy journal 2\n";
constexpr std::string_view kJournalHeader1 = "copy journal 1\n";
constexpr size_t kJournalRandom = 6;
constexpr int kNamedJournals = 8;
constexpr std::string_view kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
// Six numbers of 20 digits and, in the current format, a seal of 16 hex digits, each with
// the space or newline after it: each rewrite of the journal is one write of the same size.
constexpr size_t kNumbers = 6 * 21;
constexpr size_t kSealedNumbers = kNumbers + 17;

// ---- The seal ----

// SipHash-2-4: a keyed hash whose result no one can foresee or forge without the key.
uint64_t SipHash(const uint64_t key[2], std::string_view data) {
  uint64_t v0 = 0x736f6d6570736575ull ^ key[0], v1 = 0x646f72616e646f6dull ^ key[1];
  uint64_t v2 = 0x6c7967656e657261ull ^ key[0], v3 = 0x7465646279746573ull ^ key[1];
  const auto rotl = [](uint64_t x, int b) { return (x << b) | (x >> (64 - b)); };
  const auto round = [&] {
    v0 += v1, v1 = rotl(v1, 13), v1 ^= v0, v0 = rotl(v0, 32);
    v2 += v3, v3 = rotl(v3, 16), v3 ^= v2;
    v0 += v3, v3 = rotl(v3, 21), v3 ^= v0;
    v2 += v1, v1 = rotl(v1, 17), v1 ^= v2, v2 = rotl(v2, 32);
  };
  const auto compress = [&](uint64_t m) {
    v3 ^= m;
    round(), round();
    v0 ^= m;
  };
  size_t at = 0;
  for (; at + 8 <= data.size(); at += 8) {
    uint64_t m = 0;
    for (int i = 7; i >= 0; --i) m = m << 8 | static_cast<unsigned char>(data[at + static_cast<size_t>(i)]);
    compress(m);
  }
  uint64_t last = static_cast<uint64_t>(data.size()) << 56;
  for (size_t i = 0; at + i < data.size(); ++i) last |= uint64_t{static_cast<unsigned char>(data[at + i])} << (8 * i);
  compress(last);
  v2 ^= 0xff;
  round(), round(), round(), round();
  return v0 ^ v1 ^ v2 ^ v3;
}

// The user's key for sealing journals, kept in its private state folder
// ($XDG_STATE_HOME/brivane, by default ~/.local/state/brivane) in a file no one else may
// read; made there when missing. False where the user has no such folder, or the folder or
// the file could be another's doing.
bool LoadKey(uint64_t key[2]) {
  static uid_t loadedFor = static_cast<uid_t>(-1);
  static uint64_t loaded[2];
  if (loadedFor == geteuid()) {
    key[0] = loaded[0], key[1] = loaded[1];
    return true;
  }
  const std::string state = toolbox::FindFolder(toolbox::FolderDomain::User, toolbox::FolderKind::State, true);
  if (state.empty()) return false;
  const std::string folder = state + "brivane";
  mkdir(folder.c_str(), 0700);
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dir < 0) return false;
  struct stat st;
  bool ok = fstat(dir, &st) == 0 && st.st_uid == geteuid() && (st.st_mode & 022) == 0;
  constexpr const char* kKeyName = "copy-journal-key";
  int fd = ok ? openat(dir, kKeyName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC) : -1;
  if (ok && fd < 0 && errno == ENOENT) {
    // Made whole under a name of its own, then given the key's name, which never holds a
    // part of a key; of two processes making it at once, the first one's stays.
    unsigned char bytes[16 + kJournalRandom];
    if (getrandom(bytes, sizeof bytes, 0) == static_cast<ssize_t>(sizeof bytes)) {
      std::string temporary = std::string(kKeyName) + "-";
      for (size_t i = 16; i < sizeof bytes; ++i) temporary += kDigits[bytes[i] % kDigits.size()];
      const int out = openat(dir, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (out >= 0) {
        const bool written = write(out, bytes, 16) == 16 && fsync(out) == 0;
        close(out);
        const bool placed = written && renameat2(dir, temporary.c_str(), dir, kKeyName, RENAME_NOREPLACE) == 0;
        // Where the file system has no RENAME_NOREPLACE, a link takes the name only when free.
        if (!placed && written && errno == EINVAL) linkat(dir, temporary.c_str(), dir, kKeyName, 0);
        if (!placed) unlinkat(dir, temporary.c_str(), 0);
        fsync(dir);
      }
    }
    fd = openat(dir, kKeyName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  }
  close(dir);
  if (fd < 0) return false;
  unsigned char bytes[17];
  ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && st.st_nlink == 1 &&
       (st.st_mode & 077) == 0 && pread(fd, bytes, sizeof bytes, 0) == 16;
  close(fd);
  if (!ok) return false;
  for (int half = 0; half < 2; ++half) {
    loaded[half] = 0;
    for (int i = 7; i >= 0; --i) loaded[half] = loaded[half] << 8 | bytes[half * 8 + i];
  }
  loadedFor = geteuid();
  key[0] = loaded[0], key[1] = loaded[1];
  return true;
}

// The seal of a journal's whole text (the seal's own digits zeros), which names its folder
// and its own name too: a sealed journal moved or copied to another name or folder is not
// trusted there.
uint64_t Seal(const uint64_t key[2], const Journal& j, std::string_view text) {
  std::string data = "brivane copy journal";
  data += '\0' + j.folderPath + '\0' + j.Name() + '\0';
  data += text;
  return SipHash(key, data);
}

std::string JournalText(const Journal& j) {
  char numbers[kSealedNumbers + 1];
  std::snprintf(numbers, sizeof numbers, "%020llu %020llu %020llu %020llu %020llu %020llu ", j.self, j.newItem,
                j.newSidecar, j.oldItem, j.oldSidecar, j.placed);
  std::string text = std::string(kJournalHeader) + numbers + std::string(16, '0') + "\n" + j.target;
  uint64_t key[2];
  if (!j.folderPath.empty() && LoadKey(key)) {
    std::snprintf(numbers, sizeof numbers, "%016llx", static_cast<unsigned long long>(Seal(key, j, text)));
    text.replace(kJournalHeader.size() + kNumbers, 16, numbers);
  }
  return text;
}

// The `slot`th journal suffix for a copy of this user to `target`: six letters and digits,
// as a random one has, of an FNV-1a hash of the user, the name and the slot. Journals already
// on the disk are found by these names: they never change.
std::string NamedJournalSuffix(const std::string& target, int slot) {
  const std::string key = std::to_string(geteuid()) + '/' + target + '/' + std::to_string(slot);
  uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : key) hash = (hash ^ c) * 1099511628211ull;
  std::string suffix;
  for (size_t i = 0; i < kJournalRandom; ++i, hash /= kDigits.size()) suffix += kDigits[hash % kDigits.size()];
  return suffix;
}

std::string RandomSuffix() {
  unsigned char bytes[kJournalRandom];
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return std::string();
  std::string suffix;
  for (const unsigned char b : bytes) suffix += kDigits[b % kDigits.size()];
  return suffix;
}

bool IsFileAt(int fd, int folder, const std::string& name) {
  struct stat byFd, byName;
  return fstat(fd, &byFd) == 0 && fstatat(folder, name.c_str(), &byName, AT_SYMLINK_NOFOLLOW) == 0 &&
         byFd.st_dev == byName.st_dev && byFd.st_ino == byName.st_ino;
}

// The names in a folder, as bytes, without "." and ".."; false when it cannot be listed.
bool ListFolder(int folder, std::vector<std::string>& names) {
  const int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool listed = ListFolderAt(fd, names) == toolbox::kNoErr;
  close(fd);
  return listed;
}

// What a journal found in a folder allows: finishing or undoing its copy; nothing, as it
// cannot be trusted or names another file system's items (or comes from a later build), so
// that it stays as it is; or nothing ever, as it names nothing (empty or cut short), so that
// it can go.
enum class JournalUse { Act, Leave, Remove };

// Reads the journal `fd`, the file `st` in the folder `folder` (`j`'s folder and suffix set),
// into `j`. `privateFolder`: no other user may write the folder.
JournalUse ReadJournal(int fd, const struct stat& st, const struct stat& folder, bool privateFolder, Journal& j) {
  char buffer[512];
  const ssize_t n = pread(fd, buffer, sizeof buffer, 0);
  // A journal this user's copy could have made is also one that only that copy could have
  // left empty or cut short: such a file (of its own, with one name) goes.
  const bool ownSingle = st.st_uid == geteuid() && st.st_nlink == 1;
  if (n <= 0) return n == 0 && ownSingle ? JournalUse::Remove : JournalUse::Leave;
  const std::string text(buffer, static_cast<size_t>(n));
  const int format = text.starts_with(kJournalHeader)    ? 4
                     : text.starts_with(kJournalHeader3) ? 3
                     : text.starts_with(kJournalHeader2) ? 2
                     : text.starts_with(kJournalHeader1) ? 1
                                                          : 0;
  if (format == 0) return JournalUse::Leave;
  const size_t header = kJournalHeader.size();
  const size_t numbers = format == 4 ? kSealedNumbers : format == 1 ? 4 * 21 : kNumbers;
  unsigned long long v[6] = {}, seal = 0;
  const int count = format == 1 ? 4 : 6;
  if (text.size() <= header + numbers || text[header + numbers - 1] != '\n' ||
      std::sscanf(text.c_str() + header, "%20llu %20llu %20llu %20llu %20llu %20llu", &v[0], &v[1], &v[2], &v[3],
                  &v[4], &v[5]) < count ||
      (format == 4 && std::sscanf(text.c_str() + header + kNumbers, "%16llx", &seal) != 1))
    return ownSingle ? JournalUse::Remove : JournalUse::Leave;
  j.target = text.substr(header + numbers);
  if (j.target.empty() || j.target.size() > 255 || j.target == "." || j.target == ".." ||
      j.target.find_first_of(std::string_view("/\0", 2)) != std::string::npos)
    return ownSingle ? JournalUse::Remove : JournalUse::Leave;
  // Trusted: sealed by this user's copy, or, in a folder no one else may write, a file that
  // only this user could have written (its own, with no other name, writable by no one else).
  uint64_t key[2];
  std::string unsealed = text;
  if (format == 4) unsealed.replace(header + kNumbers, 16, 16, '0');
  const bool sealed = format == 4 && LoadKey(key) && Seal(key, j, unsealed) == seal;
  if (!sealed && !(privateFolder && ownSingle && (st.st_mode & 022) == 0)) return JournalUse::Leave;
  j.journalInode = st.st_ino;
  j.device = st.st_dev;
  if (format == 1) {
    j.newItem = v[0], j.newSidecar = v[1], j.oldSidecar = v[2], j.placed = v[3];
    j.device = folder.st_dev;
    j.byName = true;
    j.oldItem = InodeAt(j.folder, j.Old());
    return JournalUse::Act;
  }
  j.newItem = v[1], j.newSidecar = v[2], j.oldItem = v[3], j.oldSidecar = v[4], j.placed = v[5];
  if (format == 2) {
    j.device = folder.st_dev;
    return v[0] == folder.st_dev ? JournalUse::Act : JournalUse::Leave;
  }
  j.self = v[0];
  if (j.self == st.st_ino) return JournalUse::Act;
  // No longer the file it names: copied here from elsewhere, inode numbers and all, or on a
  // file system that numbers its files anew at each mount. Its items' names, which only its
  // copy used, tell them only where no one else could have put anything under them.
  if (format != 4 || !privateFolder) return JournalUse::Leave;
  j.renumbered = true;
  return JournalUse::Act;
}

// Opens the journal `name` when it is a file that no running copy holds: the descriptor,
// holding the lock until it is closed, with the file opened in `st`; -1 otherwise. It is
// opened for writing, since a lock taken as NFS takes it needs that; what is checked is the
// opened file, whatever the name showed a moment before.
int OpenAbandonedJournal(int folder, const std::string& name, struct stat& st) {
  const int fd = openat(folder, name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 && IsFileAt(fd, folder, name))
    return fd;
  close(fd);
  return -1;
}

// Whether the entry `name` is this copy's sidecar of that inode (by name, for a journal of
// renumbered items: any sidecar there).
bool HoldsSidecar(const Journal& j, const std::string& name, unsigned long long inode) {
  if (inode == 0 || name.empty()) return false;
  return j.renumbered ? IsSidecarAt(j.folder, name) : j.Holds(name, inode);
}

// Whether the file `st` is one this user's copy could have made: its own, on the journal's
// file system, with no other name (another user may link one of this user's files under a
// name a copy will use, as those names can be foreseen).
bool IsOwnSingleFile(const Journal& j, const struct stat& st) {
  return !S_ISDIR(st.st_mode) && st.st_dev == j.device && st.st_uid == j.owner && st.st_nlink == 1;
}

// Removes an empty item of this user's own under `name`: what a copy that died at once left.
void RemoveEmptyOwnItem(int folder, const std::string& name) {
  struct stat st;
  if (fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_uid != geteuid()) return;
  if (S_ISDIR(st.st_mode))
    unlinkat(folder, name.c_str(), AT_REMOVEDIR);  // only an empty one goes
  else if (S_ISREG(st.st_mode) && st.st_size == 0 && st.st_nlink == 1)
    unlinkat(folder, name.c_str(), 0);
}

// Unlinks the journal, when its name still holds it.
void RemoveJournal(const Journal& j) {
  if (j.journalInode != 0 && InodeAt(j.folder, j.Name()) == j.journalInode) unlinkat(j.folder, j.Name().c_str(), 0);
}

// Finishes or undoes the copy of a journal no running copy holds: once the new item is in
// place, its sidecar is settled and the old item removed; before, an old item moved aside
// gets its name back and the temporary copy goes.
void RecoverCopy(Journal& j) {
  bool newPlaced;
  if (j.renumbered) {
    if (j.placed == kPlacing) return;  // the swap may or may not have happened: nothing tells
    newPlaced = j.placed == kPlaced;
  } else {
    newPlaced = j.Holds(j.target, j.newItem);
  }
  if (newPlaced) {
    if (SettleSidecars(j) != toolbox::kNoErr) return;
  } else if (j.placed != kPlaced && !j.renumbered && j.Holds(j.Old(), j.oldItem)) {
    // Moved aside where the file system cannot swap, and the new item never came.
    if (InodeAt(j.folder, j.target) != 0) return;  // someone else's item has the name now: the old one stays aside
    if (renameat2(j.folder, j.Old().c_str(), j.folder, j.target.c_str(), RENAME_NOREPLACE) != 0 &&
        (errno != EINVAL || renameat(j.folder, j.Old().c_str(), j.folder, j.target.c_str()) != 0))
      return;
  }
  RemoveCopyItems(j);
}

}  // namespace

std::string Journal::Name() const { return std::string(kJournalPrefix) + suffix; }
std::string Journal::Item() const { return Name() + ".item"; }
std::string Journal::Old() const { return ".DeleteMe-" + suffix; }

bool Journal::Holds(const std::string& name, unsigned long long inode) const {
  struct stat st;
  return inode != 0 && !name.empty() && fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
         st.st_dev == device && st.st_ino == inode;
}

std::string SidecarName(const std::string& name) { return toolbox::CanHaveSidecar(name) ? "._" + name : std::string(); }

unsigned long long InodeAt(int folder, const std::string& name) {
  struct stat st;
  return !name.empty() && fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? st.st_ino : 0;
}

bool OthersMayWrite(const struct stat& folder) {
  // With an ACL, the mode's group bits are its mask, which bounds every named user and group.
  return (folder.st_uid != geteuid() && folder.st_uid != 0) || (folder.st_mode & 022) != 0;
}

int CreateJournal(Journal& j, OSErr& err) {
  for (int attempt = 0; attempt < kNamedJournals + 100; ++attempt) {
    const bool named = attempt < kNamedJournals;
    j.suffix = named ? NamedJournalSuffix(j.target, attempt) : RandomSuffix();
    // A name of the copy's own that something already holds (left, or put there by another
    // user, as these names can be foreseen) would fail the copy: that name is not taken.
    if (j.suffix.empty() || InodeAt(j.folder, j.Item()) != 0 || InodeAt(j.folder, "._" + j.Item()) != 0 ||
        InodeAt(j.folder, j.Old()) != 0)
      continue;
    const int fd = openat(j.folder, j.Name().c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) continue;  // another copy's, or one left that stays
    if (fd < 0) break;
    struct stat st;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      if (error != EWOULDBLOCK) unlinkat(j.folder, j.Name().c_str(), 0);
      close(fd);
      if (error == EWOULDBLOCK) continue;  // a recovery took it at once, and removes it
      err = kCannotLockFolderErr;
      return -1;
    }
    if (IsFileAt(fd, j.folder, j.Name()) && fstat(fd, &st) == 0) {
      j.self = j.journalInode = st.st_ino;
      j.device = st.st_dev;
      j.owner = st.st_uid;
      return fd;
    }
    close(fd);
  }
  err = Errno();
  return -1;
}

bool WriteJournal(int fd, const Journal& j) {
  const std::string text = JournalText(j);
  return pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

OSErr SettleSidecars(const Journal& j) {
  const std::string sidecar = SidecarName(j.target), newSidecar = "._" + j.Item();
  if (j.newSidecar != 0) {
    if (sidecar.empty()) return toolbox::kBadNameErr;
    if (!HoldsSidecar(j, newSidecar, j.newSidecar)) return toolbox::kNoErr;  // settled before
    // The old sidecar is exchanged with the new one, so that it goes with the old item, known
    // by its inode; nothing else under the name is replaced.
    const bool old = HoldsSidecar(j, sidecar, j.oldSidecar);
    if (!old && InodeAt(j.folder, sidecar) != 0) return toolbox::kDuplicateNameErr;
    if (renameat2(j.folder, newSidecar.c_str(), j.folder, sidecar.c_str(), old ? RENAME_EXCHANGE : RENAME_NOREPLACE) == 0)
      return toolbox::kNoErr;
    if (errno != EINVAL) return Errno();
    // A file system that has only the plain rename.
    return renameat(j.folder, newSidecar.c_str(), j.folder, sidecar.c_str()) == 0 ? toolbox::kNoErr : Errno();
  }
  if (HoldsSidecar(j, sidecar, j.oldSidecar) && unlinkat(j.folder, sidecar.c_str(), 0) != 0 && errno != ENOENT)
    return Errno();
  return toolbox::kNoErr;
}

OSErr RemoveOwnItem(const Journal& j, const std::string& name) {
  struct stat st;
  OSErr err = toolbox::kNoErr;
  if (fstatat(j.folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    const bool named = st.st_dev == j.device && (st.st_ino == j.newItem || st.st_ino == j.oldItem) &&
                       (st.st_ino != 0);
    if (j.byName || j.renumbered || named) {
      err = RemoveItemAt(j.folder, name, st);
    } else if (j.newItem != 0 || st.st_dev != j.device || (S_ISDIR(st.st_mode) ? st.st_uid != j.owner
                                                                                : !IsOwnSingleFile(j, st))) {
      return toolbox::kDuplicateNameErr;
    } else if (S_ISDIR(st.st_mode) ? unlinkat(j.folder, name.c_str(), AT_REMOVEDIR) != 0
                                   : (S_ISREG(st.st_mode) && st.st_size != 0) || unlinkat(j.folder, name.c_str(), 0) != 0) {
      return toolbox::kDuplicateNameErr;  // more than its copy could have made before naming it
    }
  }
  // Its sidecar: the one the journal names (the new item's, or the old item's exchanged with
  // it), or one whose inode no journal write reached, a file this user's copy could have made.
  const std::string sidecar = "._" + name;
  if (fstatat(j.folder, sidecar.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
      (HoldsSidecar(j, sidecar, j.newSidecar) || HoldsSidecar(j, sidecar, j.oldSidecar) ||
       (j.newSidecar == 0 && IsOwnSingleFile(j, st)))) {
    if (OSErr removed = RemoveItemAt(j.folder, sidecar, st); removed && !err) err = removed;
  }
  return err;
}

OSErr RemoveCopyItems(const Journal& j) {
  OSErr result = RemoveOwnItem(j, j.Item());
  if (OSErr err = RemoveOwnItem(j, j.Old()); err && !result) result = err;
  if (result == toolbox::kNoErr) RemoveJournal(j);
  return result;
}

void RecoverAbandonedCopies(int folder, const std::string& folderPath, const std::string& target) {
  struct stat folderStat;
  if (fstat(folder, &folderStat) != 0) return;
  const bool privateFolder = !OthersMayWrite(folderStat);
  std::vector<std::string> names;
  if (!ListFolder(folder, names)) {
    names.clear();
    for (int slot = 0; slot < kNamedJournals; ++slot) {
      names.push_back(std::string(kJournalPrefix) + NamedJournalSuffix(target, slot));
      names.push_back(names.back() + ".item");
    }
  }
  const auto isJournalName = [](const std::string& name) {
    return name.size() == kJournalPrefix.size() + kJournalRandom && name.starts_with(kJournalPrefix);
  };
  for (const std::string& name : names) {
    Journal j;
    j.folder = folder;
    j.folderPath = folderPath;
    if (name.ends_with(".item") && isJournalName(name.substr(0, name.size() - 5))) {
      // An item whose journal is gone (a power cut kept one name and not the other): only an
      // empty one, which its copy had only just made, can be known as a copy's.
      if (InodeAt(folder, name.substr(0, name.size() - 5)) == 0) RemoveEmptyOwnItem(folder, name);
      continue;
    }
    if (!isJournalName(name)) continue;
    j.suffix = name.substr(kJournalPrefix.size());
    struct stat st;
    const int fd = OpenAbandonedJournal(folder, j.Name(), st);
    if (fd < 0) continue;
    switch (ReadJournal(fd, st, folderStat, privateFolder, j)) {
      case JournalUse::Act: {
        j.owner = st.st_uid;
        FolderLock lock(folderPath);
        if (lock.Error() == toolbox::kNoErr) RecoverCopy(j);
        break;
      }
      case JournalUse::Remove:
        // Named nothing: what its copy had made at once, an empty item, goes with it.
        j.journalInode = st.st_ino;
        RemoveEmptyOwnItem(folder, j.Item());
        RemoveJournal(j);
        break;
      case JournalUse::Leave:
        break;
    }
    close(fd);
  }
}

}  // namespace copyjournal
