#include "lock_shim_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
std::atomic<testsupport::Locks> g_locks{testsupport::Locks::Local};
std::atomic<int> g_syncfsCallsToFailure{0};  // 0: none fails
std::atomic<int> g_flockCallsToKill{0};      // 0: none kills
std::atomic<int> g_namesToKill{0};           // 0: none kills
std::atomic<bool> g_withoutProc{false};

void KillAt(std::atomic<int>& countdown) {
  if (countdown.load() > 0 && --countdown == 0) kill(getpid(), SIGKILL);
}

// A name given: the process dies right after it when a test said so.
int Named(long result) {
  if (result == 0) KillAt(g_namesToKill);
  return static_cast<int>(result);
}
}  // namespace

// Stands in for the C library's flock in the whole test program.
extern "C" int flock(int fd, int operation) noexcept {
  KillAt(g_flockCallsToKill);
  const testsupport::Locks locks = g_locks.load();
  if (locks == testsupport::Locks::None) {
    errno = ENOLCK;
    return -1;
  }
  if (locks == testsupport::Locks::Unexcluding) return fcntl(fd, F_GETFD) < 0 ? -1 : 0;
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

extern "C" int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) noexcept {
  if (g_withoutProc.load() && std::strncmp(from, "/proc/", 6) == 0) {
    errno = ENOENT;
    return -1;
  }
  return Named(syscall(SYS_linkat, fromFolder, from, toFolder, to, flags));
}

extern "C" int link(const char* from, const char* to) noexcept { return linkat(AT_FDCWD, from, AT_FDCWD, to, 0); }

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) noexcept {
  return Named(syscall(SYS_renameat2, fromFolder, from, toFolder, to, flags));
}

namespace testsupport {

LocksAs::LocksAs(Locks locks) : before_(g_locks.exchange(locks)) {}
LocksAs::~LocksAs() { g_locks.store(before_); }

SyncfsFails::SyncfsFails(int nth) { g_syncfsCallsToFailure.store(nth); }
SyncfsFails::~SyncfsFails() { g_syncfsCallsToFailure.store(0); }

KilledAtFlock::KilledAtFlock(int nth) { g_flockCallsToKill.store(nth); }
KilledAtFlock::~KilledAtFlock() { g_flockCallsToKill.store(0); }

KilledAfterNaming::KilledAfterNaming(int nth) { g_namesToKill.store(nth); }
KilledAfterNaming::~KilledAfterNaming() { g_namesToKill.store(0); }

WithoutProc::WithoutProc() { g_withoutProc.store(true); }
WithoutProc::~WithoutProc() { g_withoutProc.store(false); }

}  // namespace testsupport
