// A passthrough FUSE file system for the tests of code that must reach the disk through FUSE:
// every call goes to the same path under a backing folder, and each flush the server is asked
// for is logged, a line "fsync PATH" or "fsyncdir PATH", so that a test sees which flushes
// reached it. Items are made as the calling user, so that tests may run copies as another user.
// Usage: fuse_passthrough BACKING MOUNTPOINT LOG [--use-ino] [--hard-remove] [--no-rename-flags]
// [FUSE options, e.g. -f -o allow_other]. With --use-ino items show the backing inode numbers
// (which the copy's journals record), not libfuse's own, one for each name; --hard-remove
// removes a name at once even while the file is open (libfuse's hard_remove, which cannot be
// given with -o); with --no-rename-flags a rename with flags (RENAME_NOREPLACE) is refused with
// EINVAL, as by servers that do not have them.
#define FUSE_USE_VERSION 31
#include <dirent.h>
#include <fcntl.h>
#include <fuse.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string g_backing;
int g_log = -1;
bool g_useIno = false, g_hardRemove = false, g_renameFlags = true;

std::string Real(const char* path) { return g_backing + path; }
int Result(int result) { return result < 0 ? -errno : result; }

void Log(const char* what, const char* path) {
  const std::string line = std::string(what) + " " + path + "\n";
  if (write(g_log, line.data(), line.size()) < 0) perror("log");
}

// Gives a new item to the user who made it (the server runs as root).
int OwnedByCaller(const char* path, int result) {
  if (result < 0) return -errno;
  const fuse_context* caller = fuse_get_context();
  if (lchown(Real(path).c_str(), caller->uid, caller->gid) != 0) return -errno;
  return result;
}

int GetAttr(const char* path, struct stat* st, fuse_file_info* fi) {
  return Result(fi ? fstat(static_cast<int>(fi->fh), st) : lstat(Real(path).c_str(), st));
}

int ReadLink(const char* path, char* buffer, size_t size) {
  const ssize_t n = readlink(Real(path).c_str(), buffer, size - 1);
  if (n < 0) return -errno;
  buffer[n] = '\0';
  return 0;
}

int MakeFolder(const char* path, mode_t mode) { return OwnedByCaller(path, mkdir(Real(path).c_str(), mode)); }
int MakeNode(const char* path, mode_t mode, dev_t device) {
  return OwnedByCaller(path, mknod(Real(path).c_str(), mode, device));
}
int Unlink(const char* path) { return Result(unlink(Real(path).c_str())); }
int RemoveFolder(const char* path) { return Result(rmdir(Real(path).c_str())); }
int Symlink(const char* target, const char* path) { return OwnedByCaller(path, symlink(target, Real(path).c_str())); }
int Link(const char* from, const char* to) { return Result(link(Real(from).c_str(), Real(to).c_str())); }

int Rename(const char* from, const char* to, unsigned int flags) {
  if (flags != 0 && !g_renameFlags) return -EINVAL;
  return Result(renameat2(AT_FDCWD, Real(from).c_str(), AT_FDCWD, Real(to).c_str(), flags));
}

int Chmod(const char* path, mode_t mode, fuse_file_info* fi) {
  return Result(fi ? fchmod(static_cast<int>(fi->fh), mode) : chmod(Real(path).c_str(), mode));
}

int Chown(const char* path, uid_t uid, gid_t gid, fuse_file_info*) {
  return Result(lchown(Real(path).c_str(), uid, gid));
}

int Truncate(const char* path, off_t size, fuse_file_info* fi) {
  return Result(fi ? ftruncate(static_cast<int>(fi->fh), size) : truncate(Real(path).c_str(), size));
}

int Utimens(const char* path, const timespec times[2], fuse_file_info* fi) {
  return Result(fi ? futimens(static_cast<int>(fi->fh), times)
                   : utimensat(AT_FDCWD, Real(path).c_str(), times, AT_SYMLINK_NOFOLLOW));
}

int Open(const char* path, fuse_file_info* fi) {
  const int fd = open(Real(path).c_str(), fi->flags);
  if (fd < 0) return -errno;
  fi->fh = static_cast<uint64_t>(fd);
  return 0;
}

int Create(const char* path, mode_t mode, fuse_file_info* fi) {
  const int fd = open(Real(path).c_str(), fi->flags | O_CREAT, mode);
  if (fd < 0) return -errno;
  fi->fh = static_cast<uint64_t>(fd);
  return OwnedByCaller(path, 0);
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
  return Result(static_cast<int>(pread(static_cast<int>(fi->fh), buffer, size, offset)));
}

int Write(const char*, const char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
  return Result(static_cast<int>(pwrite(static_cast<int>(fi->fh), buffer, size, offset)));
}

int StatFs(const char* path, struct statvfs* st) { return Result(statvfs(Real(path).c_str(), st)); }
int Release(const char*, fuse_file_info* fi) { return Result(close(static_cast<int>(fi->fh))); }

int Fsync(const char* path, int dataOnly, fuse_file_info* fi) {
  Log("fsync", path);
  const int fd = static_cast<int>(fi->fh);
  return Result(dataOnly ? fdatasync(fd) : fsync(fd));
}

int OpenFolder(const char* path, fuse_file_info* fi) {
  DIR* dir = opendir(Real(path).c_str());
  if (!dir) return -errno;
  fi->fh = reinterpret_cast<uint64_t>(dir);
  return 0;
}

int ReadFolder(const char*, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info* fi, fuse_readdir_flags) {
  DIR* dir = reinterpret_cast<DIR*>(fi->fh);
  rewinddir(dir);
  while (const dirent* entry = readdir(dir)) {
    struct stat st {};
    st.st_ino = entry->d_ino;
    st.st_mode = static_cast<mode_t>(entry->d_type) << 12;
    if (fill(buffer, entry->d_name, &st, 0, static_cast<fuse_fill_dir_flags>(0)) != 0) break;
  }
  return 0;
}

int ReleaseFolder(const char*, fuse_file_info* fi) { return Result(closedir(reinterpret_cast<DIR*>(fi->fh))); }

int FsyncFolder(const char* path, int, fuse_file_info* fi) {
  Log("fsyncdir", path);
  return Result(fsync(dirfd(reinterpret_cast<DIR*>(fi->fh))));
}

void* Init(fuse_conn_info*, fuse_config* config) {
  config->use_ino = g_useIno;
  config->hard_remove = g_hardRemove;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s BACKING MOUNTPOINT LOG [FUSE options]\n", argv[0]);
    return 2;
  }
  char* real = realpath(argv[1], nullptr);
  if (!real) return 2;
  g_backing = real;
  free(real);
  g_log = open(argv[3], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (g_log < 0) return 2;
  umask(0);  // the caller's umask already shaped the modes asked for
  fuse_operations ops{};
  ops.getattr = GetAttr;
  ops.readlink = ReadLink;
  ops.mknod = MakeNode;
  ops.mkdir = MakeFolder;
  ops.unlink = Unlink;
  ops.rmdir = RemoveFolder;
  ops.symlink = Symlink;
  ops.rename = Rename;
  ops.link = Link;
  ops.chmod = Chmod;
  ops.chown = Chown;
  ops.truncate = Truncate;
  ops.open = Open;
  ops.read = Read;
  ops.write = Write;
  ops.statfs = StatFs;
  ops.release = Release;
  ops.fsync = Fsync;
  ops.opendir = OpenFolder;
  ops.readdir = ReadFolder;
  ops.releasedir = ReleaseFolder;
  ops.fsyncdir = FsyncFolder;
  ops.create = Create;
  ops.utimens = Utimens;
  ops.init = Init;
  std::vector<char*> args = {argv[0], argv[2]};
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "--use-ino") == 0)
      g_useIno = true;
    else if (std::strcmp(argv[i], "--hard-remove") == 0)
      g_hardRemove = true;
    else if (std::strcmp(argv[i], "--no-rename-flags") == 0)
      g_renameFlags = false;
    else
      args.push_back(argv[i]);
  }
  return fuse_main(static_cast<int>(args.size()), args.data(), &ops, nullptr);
}
