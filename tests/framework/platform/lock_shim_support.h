#pragma once
// Locks as other file systems take them, for tests of the code that locks files and folders,
// and a flush of a file system that fails. The test program's own flock and syncfs stand in
// for the C library's; they work as the local file system does until a test says otherwise.
namespace testsupport {

enum class Locks {
  Local,
  // NFS: flock is an fcntl lock on the server, so an exclusive lock needs a descriptor open
  // for writing (a folder's never is) and a shared one a descriptor open for reading.
  Nfs,
  // A file system with no lock manager: every lock fails.
  None,
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

}  // namespace testsupport
