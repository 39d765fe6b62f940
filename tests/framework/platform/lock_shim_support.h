#pragma once
// Locks as other file systems take them, for tests of the code that locks files and folders,
// a flush of a file system that fails, a system without /proc as linkat sees it, and a
// process killed on its way. The test program's own flock, syncfs, link, linkat and
// renameat2 stand in for the C library's; they work as the local file system does until a
// test says otherwise.
namespace testsupport {

enum class Locks {
  Local,
  // NFS: flock is an fcntl lock on the server, so an exclusive lock needs a descriptor open
  // for writing (a folder's never is) and a shared one a descriptor open for reading.
  Nfs,
  // A file system with no lock manager: every lock fails.
  None,
  // A file system whose locks keep no one out: every lock is granted at once.
  Unexcluding,
};

// Takes locks as `locks` says while it lives, in this process and in those it forks.
class LocksAs {
 public:
  explicit LocksAs(Locks locks);
  ~LocksAs();
  LocksAs(const LocksAs&) = delete;
  LocksAs& operator=(const LocksAs&) = delete;

 private:
  Locks before_;
};

// Makes the `nth` call of syncfs from now on (1: the next) fail with EIO, as a disk that
// cannot write back would, in this process and those it forks, while it lives.
class SyncfsFails {
 public:
  explicit SyncfsFails(int nth);
  ~SyncfsFails();
  SyncfsFails(const SyncfsFails&) = delete;
  SyncfsFails& operator=(const SyncfsFails&) = delete;
};

// Makes the process kill itself with SIGKILL at its `nth` call of flock from now (1: the
// next; 0: none), before the lock is taken, while it lives. Meant for a process forked to be
// killed.
class KilledAtFlock {
 public:
  explicit KilledAtFlock(int nth);
  ~KilledAtFlock();
  KilledAtFlock(const KilledAtFlock&) = delete;
  KilledAtFlock& operator=(const KilledAtFlock&) = delete;
};

// Makes the process kill itself with SIGKILL right after the `nth` name it gives a file from
// now (1: the next; 0: none), by link, linkat or renameat2, while it lives.
class KilledAfterNaming {
 public:
  explicit KilledAfterNaming(int nth);
  ~KilledAfterNaming();
  KilledAfterNaming(const KilledAfterNaming&) = delete;
  KilledAfterNaming& operator=(const KilledAfterNaming&) = delete;
};

// Makes linkat of a path under /proc/ fail with ENOENT, as where /proc is not mounted, in
// this process and those it forks, while it lives.
class WithoutProc {
 public:
  WithoutProc();
  ~WithoutProc();
  WithoutProc(const WithoutProc&) = delete;
  WithoutProc& operator=(const WithoutProc&) = delete;
};

}  // namespace testsupport
