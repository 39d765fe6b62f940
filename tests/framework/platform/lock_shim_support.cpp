#include "lock_shim_support.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {
std::atomic<testsupport::Locks> g_locks{testsupport::Locks::Local};
std::atomic<int> g_syncfsCallsToFailure{0};  // 0: none fails
}

// Stands in for the C library's flock in the whole test program.
extern "C" int flock(int fd, int operation) noexcept {
  const testsupport::Locks locks = g_locks.load();
  if (locks == testsupport::Locks::None) {
    errno = ENOLCK;
    return -1;
  }
  if (locks == testsupport::Locks::Nfs && !(operation & LOCK_UN)) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return -1;
    const int access = flags & O_ACCMODE;
    if (((operation & LOCK_EX) && access == O_RDONLY) || ((operation & LOCK_SH) && access == O_WRONLY)) {
      errno = EBADF;
      return -1;
    }
  }
  return static_cast<int>(syscall(SYS_flock, fd, operation));
}

extern "C" int syncfs(int fd) noexcept {
  if (g_syncfsCallsToFailure.load() > 0 && --g_syncfsCallsToFailure == 0) {
    errno = EIO;
    return -1;
  }
  return static_cast<int>(syscall(SYS_syncfs, fd));
}

namespace testsupport {

LocksAs::LocksAs(Locks locks) : before_(g_locks.exchange(locks)) {}
LocksAs::~LocksAs() { g_locks.store(before_); }

SyncfsFails::SyncfsFails(int nth) { g_syncfsCallsToFailure.store(nth); }
SyncfsFails::~SyncfsFails() { g_syncfsCallsToFailure.store(0); }

}  // namespace testsupport
