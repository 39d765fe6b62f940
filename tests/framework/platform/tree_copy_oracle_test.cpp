// Recursive copy and delete, judged by diff -r and find.
#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>

#include "call_hook_support.h"
#include "fuse_support.h"
#include "lock_shim_support.h"
#include "support/TestSupport.h"
#include "framework/platform/FileOps.h"
#include "framework/platform/TreeCopy.h"
#include "framework/platform/TreeRemoval.h"
#include "toolbox/Utf8.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ScratchDir;
using testsupport::WriteFile;

PathString P(const fs::path& p) { return PathString(toolbox::Utf8ToWide(p.string())); }

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

mode_t Mode(const fs::path& p) {
  struct stat st;
  return lstat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A tree with a file and its sidecar, an empty folder, a read-only file in a read-only
// folder, names in UTF-8 and not in UTF-8, a link out of the tree and a link to its root,
// and items under sidecar names that are no sidecars: a folder, a link, a file of text.
void MakeTree(const fs::path& root, const fs::path& outside) {
  fs::create_directories(root / "empty");
  fs::create_directories(root / "deep" / "er");
  fs::create_directories(outside);
  WriteFile(outside / "keep.txt", "outside");
  chmod((outside / "keep.txt").c_str(), 0444);
  WriteFile(root / "song.mp3", std::string(300000, 'm'));
  toolbox::SidecarContents sidecar;
  sidecar.finderInfo.type = toolbox::MakeOSType("MPG3");
  sidecar.resourceFork = "fork bytes";
  ASSERT_TRUE(toolbox::WriteSidecar((root / "song.mp3").string(), sidecar));
  WriteFile(root / "\xC3\xA9t\xC3\xA9 \xE4\xB8\xAD.txt", "utf-8");
  WriteFile(root / "\xFF\xFE.bin", "not utf-8");
  WriteFile(root / "deep" / "er" / "locked.txt", "locked");
  chmod((root / "deep" / "er" / "locked.txt").c_str(), 0444);
  chmod((root / "deep" / "er").c_str(), 0555);
  fs::create_symlink(outside, root / "out");
  fs::create_symlink("..", root / "deep" / "up");
  fs::create_symlink(root, root / "self");
  fs::create_directories(root / "notes");
  fs::create_directories(root / "._notes");
  WriteFile(root / "._notes" / "n", "in a folder named like a sidecar");
  WriteFile(root / "readme", "readme");
  fs::create_symlink("readme", root / "._readme");
  WriteFile(root / "plain", "plain");
  WriteFile(root / "._plain", "not a sidecar");
}

bool Shell(const std::string& command) {
  int status = -1;
  testsupport::Run(command + " >/dev/null 2>&1", &status);
  return status == 0;
}

// An ext4 file system (or, by hand, xfs: BRIVANE_POWER_CUT_FS=xfs) in an image file on a loop
// device (as root), whose power can be cut: it stops at once without flushing its log, and is
// mounted again as after a restart, from another loop device, so under another device number,
// as a disk often comes back.
struct PowerCutDisk {
  explicit PowerCutDisk(const fs::path& dir) : image(dir / "disk.img"), root(dir / "mnt") {
    fs::create_directories(root);
    const char* type = std::getenv("BRIVANE_POWER_CUT_FS");
    const std::string mkfs = type && std::string(type) == "xfs" ? "truncate -s 320M " + Quote(image) + " && mkfs.xfs -q -f "
                                                                 : "truncate -s 128M " + Quote(image) + " && mkfs.ext4 -q -F ";
    if (geteuid() != 0) {
      why = "needs root to loop-mount an ext4 image";
    } else if (!Shell(mkfs + Quote(image)) || !Restart()) {
      why = "cannot loop-mount an ext4 image here (needs mkfs.ext4, a loop device)";
    } else if (!Cut()) {  // an older kernel, or a seccomp filter
      why = std::string("the file system refuses EXT4_IOC_SHUTDOWN: ") + std::strerror(errno);
    } else {
      usable = Restart();
      if (!usable) why = "cannot mount the image again after a power cut";
    }
  }
  ~PowerCutDisk() { Unmount(); }
  bool Cut() {
    uint32_t noLogFlush = 2;
    const int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    const bool cut = ioctl(fd, _IOR('X', 125, uint32_t), &noLogFlush) == 0;  // EXT4_IOC_SHUTDOWN, XFS_IOC_GOINGDOWN
    const int error = errno;
    close(fd);
    errno = error;
    return cut;
  }
  // Mounts the image from a new loop device, the one it was on (if any) let go.
  bool Restart() {
    std::string device = testsupport::Run("losetup -f --show " + Quote(image) + " 2>/dev/null");
    if (!device.empty() && device.back() == '\n') device.pop_back();
    if (device.empty()) return false;
    Unmount();
    loop = device;
    return mounted = Shell("mount " + loop + " " + Quote(root));
  }
  bool CutAndRestart() { return Cut() && Restart(); }
  void Unmount() {
    if (mounted && !Shell("umount " + Quote(root))) Shell("umount -l " + Quote(root));
    mounted = false;
    if (!loop.empty()) Shell("losetup -d " + loop);
    loop.clear();
  }
  fs::path image, root;
  std::string loop, why;
  bool mounted = false, usable = false;
};

// Makes this process uid 65534 (`nobody`), with a private state folder of its own, as a
// user who logged in has (where its copies keep the key that seals their journals).
bool BecomeNobody() {
  const std::string state = (fs::temp_directory_path() / "brivane-test-state-65534").string();
  mkdir(state.c_str(), 0700);
  return chown(state.c_str(), 65534, 65534) == 0 && chmod(state.c_str(), 0700) == 0 &&
         setenv("XDG_STATE_HOME", state.c_str(), 1) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
}

// Starts `work` in a child process, as uid 65534 (`nobody`) when `asNobody`: its pid.
pid_t StartChild(bool asNobody, const std::function<bool()>& work) {
  const pid_t child = fork();
  if (child == 0) {
    if (asNobody && !BecomeNobody()) _exit(4);
    _exit(work() ? 0 : 1);
  }
  return child;
}

// Whether the child's work returned true.
bool Succeeded(pid_t child) {
  int status = -1;
  return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string Links(const fs::path& root) {
  return testsupport::Run("cd " + Quote(root) + " && find . -type l -printf '%p -> %l\\n' | sort");
}

TEST(TreeCopyTest, CopyGivesTheSameTree) {
  if (!testsupport::HaveTool("diff")) GTEST_SKIP() << "diff is not installed";
  ScratchDir dir;
  MakeTree(dir / "src", dir / "outside");
  fs::create_directories(dir / "dst");
  PathString copy;
  ASSERT_TRUE(CopyPath(P(dir / "src"), P(dir / "dst"), nullptr, 0, &copy));
  EXPECT_EQ(copy, P(dir / "dst" / "src"));
  int status = -1;
  const std::string diff =
      testsupport::Run("diff -r --no-dereference " + Quote(dir / "src") + " " + Quote(dir / "dst" / "src") + " 2>&1", &status);
  EXPECT_EQ(status, 0) << diff;
  EXPECT_EQ(Links(dir / "dst" / "src"), Links(dir / "src"));
  EXPECT_NE(Links(dir / "src").find("./self -> "), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "dst" / "src" / "._song.mp3"));
  EXPECT_EQ(Mode(dir / "dst" / "src" / "deep" / "er"), 0555u);
  EXPECT_EQ(Mode(dir / "dst" / "src" / "deep" / "er" / "locked.txt"), 0444u);
  EXPECT_EQ(fs::last_write_time(dir / "dst" / "src" / "song.mp3"),
            fs::last_write_time(dir / "src" / "song.mp3"));

  // Into itself or a folder inside it: refused, and nothing is made.
  EXPECT_FALSE(CopyPath(P(dir / "src"), P(dir / "src" / "empty"), nullptr, 0, nullptr));
  EXPECT_TRUE(fs::is_empty(dir / "src" / "empty"));
  EXPECT_FALSE(CopyPath(P(dir / "src"), P(dir / "src" / "self" / "empty"), nullptr, 0, nullptr));
  // A name clash without replacing.
  EXPECT_FALSE(CopyPath(P(dir / "src"), P(dir / "dst"), nullptr, 0, nullptr));
  // A name too long to take the "._" of a sidecar: the copy is made without one, and
  // nothing of it is left beside it.
  const PathString longName(std::wstring(254, L'n'));
  ASSERT_TRUE(CopyPath(P(dir / "src" / "song.mp3"), P(dir / "dst"), &longName, 0, nullptr));
  EXPECT_EQ(testsupport::ReadFile(dir / "dst" / std::string(254, 'n')), testsupport::ReadFile(dir / "src" / "song.mp3"));
  EXPECT_EQ(testsupport::Run("ls -A " + Quote(dir / "dst")), std::string(254, 'n') + "\nsrc\n");

  chmod((dir / "src" / "deep" / "er").c_str(), 0755);
  chmod((dir / "dst" / "src" / "deep" / "er").c_str(), 0755);
}

TEST(TreeCopyTest, DeleteRemovesExactlyTheTree) {
  ScratchDir dir;
  MakeTree(dir / "src", dir / "outside");
  const mode_t outsideMode = Mode(dir / "outside");
  toolbox::FileRef ref{(dir / "src").string()};
  EXPECT_EQ(DeleteFolderUnlocked(toolbox::FileRef{(dir / "src" / "out").string()}),
            toolbox::kFolderNotFoundErr);  // a link to a folder is not a folder
  // An item under the sidecar name of another is not its sidecar, and stays.
  for (const char* name : {"notes", "readme", "plain"}) {
    EXPECT_EQ(DeleteObjectUnlocked(toolbox::FileRef{(dir / "src" / name).string()}), toolbox::kNoErr) << name;
    EXPECT_TRUE(fs::exists(fs::symlink_status(dir / "src" / (std::string("._") + name)))) << name;
  }
  EXPECT_EQ(DeleteObjectUnlocked(ref), toolbox::kNoErr);
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "src")));
  EXPECT_EQ(testsupport::ReadFile(dir / "outside" / "keep.txt"), "outside");
  EXPECT_EQ(Mode(dir / "outside" / "keep.txt"), 0444u);
  EXPECT_EQ(Mode(dir / "outside"), outsideMode);
  EXPECT_EQ(DeleteObjectUnlocked(ref), toolbox::kParamErr);

  // Another user who may write a folder on the way (one without the sticky bit) exchanges a
  // locked folder being removed, or a folder inside it, with a link to a private folder of the
  // remover's, right after the removal looks its name up (the first, second or third time).
  // Nothing in the private folder changes, and the removal reports that it could not finish
  // (where it never makes that lookup, nothing is swapped and the tree goes).
  const auto snapshot = [](const fs::path& root) {
    std::set<std::string> items;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(root))
      items.insert(e.path().lexically_relative(root).string() + ' ' + std::to_string(Mode(e.path())) + ' ' +
                   (e.is_regular_file() ? testsupport::ReadFile(e.path()) : ""));
    return items;
  };
  for (const fs::path swapped : {"victim", "victim/sub"}) {
    for (int nth = 1; nth <= 3; ++nth) {
      const std::string row = swapped.string() + " after lookup " + std::to_string(nth);
      const fs::path race = dir / ("race" + std::to_string(nth) + swapped.filename().string());
      const fs::path box = race / "box", home = race / "home";
      fs::create_directories(box / "victim" / "sub" / "deeper");
      fs::create_directories(home / "inner");
      for (int i = 0; i < 40; ++i) WriteFile(home / ("f" + std::to_string(i)), "private " + std::to_string(i));
      WriteFile(home / "inner" / "g", "private");
      chmod(home.c_str(), 0700);
      for (const char* name : {"a", "sub/b", "sub/deeper/c"}) WriteFile(box / "victim" / name, name);
      chmod((box / "victim" / "sub").c_str(), 0555);
      chmod((box / "victim").c_str(), 0555);
      fs::create_symlink(home, box / "evil");
      const std::set<std::string> before = snapshot(home);
      bool exchanged = false;
      OSErr err;
      {
        testsupport::AfterLookup swap(swapped.filename().string(), [&] {
          exchanged = renameat2(AT_FDCWD, (box / swapped).c_str(), AT_FDCWD, (box / "evil").c_str(), RENAME_EXCHANGE) == 0;
        }, nth);
        err = DeleteObjectUnlocked(toolbox::FileRef{(box / "victim").string()});
      }
      EXPECT_EQ(snapshot(home), before) << row;
      EXPECT_EQ(Mode(home), 0700u) << row;
      if (exchanged) {
        EXPECT_NE(err, toolbox::kNoErr) << row;
      } else {
        EXPECT_EQ(err, toolbox::kNoErr) << row;
        EXPECT_FALSE(fs::exists(fs::symlink_status(box / "victim"))) << row;
      }
      Shell("chmod -R u+rwx " + Quote(race));
    }
  }

  // Folders whose owner may not read or search them are removed by that owner too.
  fs::create_directories(dir / "own");
  if (geteuid() == 0) chown((dir / "own").c_str(), 65534, 65534);
  EXPECT_TRUE(Succeeded(StartChild(geteuid() == 0, [&] {
    const fs::path top = dir / "own" / "top";
    fs::create_directories(top / "shut" / "in");
    WriteFile(top / "shut" / "in" / "x", "x");
    chmod((top / "shut" / "in").c_str(), 0);
    chmod((top / "shut").c_str(), 0100);
    chmod(top.c_str(), 0300);
    return DeleteObjectUnlocked(toolbox::FileRef{top.string()}) == toolbox::kNoErr && !fs::exists(top);
  })));

  // A tree a few thousand levels deep, deeper than a path can name, is removed whole while few
  // descriptors may be open. It is made in memory where the system offers it (/dev/shm), as
  // thousands of folders take seconds to make on some disks.
  const fs::path deep = (access("/dev/shm", W_OK | X_OK) == 0 ? fs::path("/dev/shm") : dir.path()) /
                        ("brivane-deep-" + std::to_string(getpid()));
  fs::create_directories(deep);
  int fd = open(deep.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int level = 0; fd >= 0 && level < 3000; ++level) {
    close(openat(fd, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0444));
    const int next = mkdirat(fd, "d", 0700) == 0 ? openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    close(fd);
    fd = next;
  }
  EXPECT_GE(fd, 0) << "the deep tree could not be made whole";
  if (fd >= 0) close(fd);
  rlimit limit{}, few;
  EXPECT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  few = limit;
  few.rlim_cur = std::min<rlim_t>(limit.rlim_cur, 256);
  setrlimit(RLIMIT_NOFILE, &few);
  EXPECT_EQ(DeleteObjectUnlocked(toolbox::FileRef{deep.string()}), toolbox::kNoErr);
  setrlimit(RLIMIT_NOFILE, &limit);
  EXPECT_FALSE(fs::exists(fs::symlink_status(deep)));
  Shell("rm -rf " + Quote(deep));  // what a failed removal left, too deep for the scratch folder's own clean-up
}

TEST(TreeCopyTest, ReplaceMovesTheOldItemAsideUnderAFreshName) {
  if (!testsupport::HaveTool("diff")) GTEST_SKIP() << "diff is not installed";
  ScratchDir dir;
  fs::create_directories(dir / "dst" / ".DeleteMe");
  WriteFile(dir / "dst" / ".DeleteMe" / "left over", "from a crash");
  fs::create_directories(dir / "old" / "proj");
  WriteFile(dir / "old" / "proj" / "a", "old");
  ASSERT_TRUE(CopyPath(P(dir / "old" / "proj"), P(dir / "dst"), nullptr, 0, nullptr));
  fs::create_directories(dir / "new" / "proj" / "sub");
  WriteFile(dir / "new" / "proj" / "sub" / "b", "new");

  ASSERT_TRUE(CopyPath(P(dir / "new" / "proj"), P(dir / "dst"), nullptr, 1, nullptr));
  int status = -1;
  testsupport::Run("diff -r " + Quote(dir / "new" / "proj") + " " + Quote(dir / "dst" / "proj"), &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(testsupport::ReadFile(dir / "dst" / ".DeleteMe" / "left over"), "from a crash");

  // A replace that fails (a pipe cannot be copied) gives the old item its name back.
  fs::create_directories(dir / "bad" / "proj");
  WriteFile(dir / "bad" / "proj" / "z", "z");
  ASSERT_EQ(mkfifo((dir / "bad" / "proj" / "zz-pipe").c_str(), 0600), 0);
  EXPECT_FALSE(CopyPath(P(dir / "bad" / "proj"), P(dir / "dst"), nullptr, 1, nullptr));
  testsupport::Run("diff -r " + Quote(dir / "new" / "proj") + " " + Quote(dir / "dst" / "proj"), &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(testsupport::Run("ls -A " + Quote(dir / "dst")), ".DeleteMe\nproj\n");
}

// A destination that reaches into the source through a symbolic link or a bind mount is
// inside the source all the same: refused at once, and nothing is made.
TEST(TreeCopyTest, CopyIntoItselfThroughALinkIsRefusedAtOnce) {
  ScratchDir dir;
  fs::create_directories(dir / "src" / "sub" / "deeper");
  WriteFile(dir / "src" / "sub" / "a", "a");
  fs::create_directories(dir / "elsewhere");
  fs::create_symlink(dir / "src" / "sub", dir / "elsewhere" / "into-sub");
  fs::create_symlink("../src/sub/deeper", dir / "elsewhere" / "into-deeper");
  fs::create_symlink(dir / "src", dir / "elsewhere" / "into-src");
  const fs::path destinations[] = {
      dir / "elsewhere" / "into-sub",
      dir / "elsewhere" / "into-deeper",
      dir / "elsewhere" / "into-sub" / "deeper",
      dir / "elsewhere" / "into-src",
  };
  for (const fs::path& destination : destinations) {
    SCOPED_TRACE(destination.string());
    EXPECT_EQ(CopyObjectRecursive(toolbox::FileRef{(dir / "src").string()},
                                  toolbox::FileRef{destination.string()}, nullptr, 0, nullptr),
              kCopyIntoItselfErr);
    EXPECT_FALSE(fs::exists(fs::symlink_status(destination / "src")));
  }
  EXPECT_EQ(testsupport::Run("cd " + Quote(dir / "src") + " && find . | sort"), ".\n./sub\n./sub/a\n./sub/deeper\n");
  // A folder beside the source, reached through a link, takes the copy.
  fs::create_symlink(dir / "elsewhere", dir / "src" / "out");
  EXPECT_TRUE(CopyPath(P(dir / "src"), P(dir / "src" / "out"), nullptr, 0, nullptr));
  EXPECT_TRUE(fs::exists(dir / "elsewhere" / "src" / "sub" / "a"));
}

// A replace whose old item cannot be wholly removed (here a folder in it belongs to root
// and the copy runs without privileges) is reported as a failure; the new item is in place
// and what is left of the old one keeps its hidden name.
TEST(TreeCopyTest, ReplaceThatCannotRemoveTheOldItemReportsIt) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make an item the copy cannot remove";
  ScratchDir dir;
  fs::create_directories(dir / "dst" / "proj" / "root-owned");
  WriteFile(dir / "dst" / "proj" / "root-owned" / "kept", "old");
  WriteFile(dir / "dst" / "proj" / "old", "old");
  chmod((dir / "dst").c_str(), 0777);
  chmod((dir / "dst" / "proj").c_str(), 0777);
  fs::create_directories(dir / "new" / "proj");
  WriteFile(dir / "new" / "proj" / "b", "new");
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(4);
    _exit(CopyPath(P(dir / "new" / "proj"), P(dir / "dst"), nullptr, 1, nullptr) ? 1 : 0);
  }
  int status = -1;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);  // the copy reported the failure
  EXPECT_EQ(testsupport::ReadFile(dir / "dst" / "proj" / "b"), "new");
  const std::string left = testsupport::Run("cd " + Quote(dir / "dst") + " && find . -path ./proj -prune -o -print | sort");
  EXPECT_NE(left.find("/.DeleteMe-"), std::string::npos) << left;
  EXPECT_NE(left.find("/root-owned/kept\n"), std::string::npos) << left;
}

// A copy that fails leaves nothing in the destination: one that meets a file larger than the
// process may write, one refused at the start where the file system takes no lock, and one
// whose flush of the file system before it takes the target's name fails; one into a folder
// where another user's sidecar stands under the target's sidecar name, without its item, is
// refused before the work and leaves that sidecar as it was, and one that finds a folder
// there only once its own sidecar is made removes what it made, also on a mount that shows
// everything under another owner. One whose flush of
// the folder after the swap fails (into a folder its user may write but not read, flushed
// with its file system) stays in place and reports the failure all the same.
TEST(TreeCopyTest, CopyFailingHalfWayLeavesNoTarget) {
  ScratchDir dir;
  fs::create_directories(dir / "src" / "a");
  WriteFile(dir / "src" / "a" / "small", "small");
  WriteFile(dir / "src" / "big", std::string(1 << 20, 'b'));
  const struct {
    rlim_t fileSizeLimit;
    testsupport::Locks locks;
    int failingSyncfs;  // 0: none; 1: the copy's flush; 2: the folder's after the swap
    bool writeOnlyFolder;
    OSErr result;
    bool folderAtLockName = false;  // the folder's lock cannot be taken, its journals' can
    bool othersSidecar = false;  // another user's sidecar stands at "._src", without its item
    // The source has a sidecar, and a folder comes to stand at "._src" while the copy runs,
    // on a mount that shows every item under another owner.
    bool folderComesAtSidecarName = false;
  } rows[] = {{100000, testsupport::Locks::Local, 0, false, toolbox::kIoErr},
              {RLIM_INFINITY, testsupport::Locks::None, 0, false, kCannotLockFolderErr},
              {RLIM_INFINITY, testsupport::Locks::Local, 1, false, toolbox::kIoErr},
              {RLIM_INFINITY, testsupport::Locks::Local, 2, true, toolbox::kIoErr},
              {100000, testsupport::Locks::Nfs, 0, false, kCannotLockFolderErr, true},
              {RLIM_INFINITY, testsupport::Locks::Local, 0, false, toolbox::kDuplicateNameErr, false, true},
              {RLIM_INFINITY, testsupport::Locks::Local, 0, false, toolbox::kDuplicateNameErr, false, false, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    if (row.writeOnlyFolder && geteuid() != 0) {
      std::printf("skipped row %d: needs root to give the folder to another user\n", static_cast<int>(&row - rows));
      continue;
    }
    struct statfs scratch;
    if (row.failingSyncfs != 0 && (statfs(dir.path().c_str(), &scratch) != 0 || !CopyFlushesWholeFileSystem(scratch.f_type))) {
      std::printf("skipped row %d: the scratch folder's file system is flushed file by file\n", static_cast<int>(&row - rows));
      continue;
    }
    fs::remove_all(dir / "dst");
    fs::create_directories(dir / "dst");
    if (row.folderAtLockName) fs::create_directories(dir / "dst" / kFolderLockName);
    toolbox::SidecarContents othersFork;
    othersFork.resourceFork = "another user's";
    if (row.othersSidecar) {
      ASSERT_TRUE(toolbox::WriteSidecar((dir / "dst" / "src").string(), othersFork));
      ASSERT_EQ(chown((dir / "dst" / "._src").c_str(), 65533, 65533), 0);
    }
    if (row.writeOnlyFolder) {
      ASSERT_EQ(chown((dir / "dst").c_str(), 65534, 65534) | chmod((dir / "dst").c_str(), 0333), 0);
    }
    std::optional<FusePassthrough> fuse;
    if (row.folderComesAtSidecarName) {
      FuseMountOptions options;
      options.extra = "uid=65534,umask=044";
      if (!fuse.emplace(dir / "dst", dir / "fuse", dir / "fuse.log", options).mounted) {
        std::printf("skipped row %d: %s\n", static_cast<int>(&row - rows), fuse->why.c_str());
        continue;
      }
      ASSERT_TRUE(toolbox::WriteSidecar((dir / "src").string(), othersFork));
    }
    const fs::path into = fuse ? fuse->root : dir / "dst";
    const pid_t child = fork();
    if (child == 0) {
      std::optional<testsupport::AfterLookup> comes;
      if (row.folderComesAtSidecarName) comes.emplace("._src", [&] { fs::create_directory(into / "._src"); });
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{row.fileSizeLimit, row.fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
      const testsupport::LocksAs locks(row.locks);
      const testsupport::SyncfsFails syncfs(row.failingSyncfs);
      if (row.writeOnlyFolder && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(4);
      const OSErr result = CopyObjectRecursive(toolbox::FileRef{(dir / "src").string()}, toolbox::FileRef{into.string()},
                                               nullptr, 0, nullptr);
      if (result != row.result) std::fprintf(stderr, "result %d\n", result);
      _exit(result == row.result ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);  // the copy reported its failure
    if (row.failingSyncfs == 2)
      EXPECT_EQ(testsupport::ReadFile(dir / "dst" / "src" / "a" / "small"), "small");
    else
      EXPECT_EQ(testsupport::Run("ls -A " + Quote(dir / "dst")), row.folderAtLockName ? std::string(kFolderLockName) + "\n"
                                                                  : row.othersSidecar || row.folderComesAtSidecarName ? "._src\n"
                                                                                                                      : "");
    if (row.othersSidecar) {
      EXPECT_EQ(toolbox::ReadSidecar((dir / "dst" / "src").string()).resourceFork, "another user's");
    }
  }
}

// A copy killed at any moment, or whose power is cut (on a disk that comes back under
// another device number), leaves under the target's name either the old item or the whole
// new one, never a part; the next copy into the folder removes what the copy left beside it,
// also where locks are taken as NFS takes them, and in a folder its user may write but not
// read, which cannot be listed (there the next copy to the same target), and through FUSE
// mounted again without inode numbers of its own (which it numbers anew at each mount).
TEST(TreeCopyTest, CopyKilledPartWayLeavesNoPartAndTheNextCopyTidiesUp) {
  if (!testsupport::HaveTool("diff")) GTEST_SKIP() << "diff is not installed";
  ScratchDir dir;
  fs::create_directories(dir / "new" / "proj");
  for (int i = 0; i < 30; ++i) WriteFile(dir / "new" / "proj" / ("f" + std::to_string(i)), std::string(1 << 20, 'a' + i % 26));
  fs::create_directories(dir / "old" / "proj");
  WriteFile(dir / "old" / "proj" / "f0", "old");
  WriteFile(dir / "next", "next");
  enum Stop { Kill, KillWithNfsLocks, KillInWriteOnlyFolder, PowerCut, KillThroughRenumberingFuse };
  PowerCutDisk disk(dir.path());
  for (Stop stop : {Kill, KillWithNfsLocks, KillInWriteOnlyFolder, PowerCut, KillThroughRenumberingFuse}) {
    if (stop == PowerCut && !disk.usable) {
      std::printf("no power cut during a copy: %s\n", disk.why.c_str());
      continue;
    }
    std::optional<FusePassthrough> fuse;
    if (stop == KillThroughRenumberingFuse) {
      fs::create_directories(dir / "backing");
      FuseMountOptions options;
      options.useIno = false;
      if (!fuse.emplace(dir / "backing", dir / "fuse", dir / "fuse.log", options).mounted) {
        std::printf("no kill through FUSE: %s\n", fuse->why.c_str());
        continue;
      }
    }
    const bool writeOnly = stop == KillInWriteOnlyFolder;
    if (writeOnly && geteuid() != 0) {
      std::printf("no kill in a write-only folder: needs root to give the folder to another user\n");
      continue;
    }
    const testsupport::LocksAs locks(stop == KillWithNfsLocks ? testsupport::Locks::Nfs : testsupport::Locks::Local);
    const fs::path dst = stop == PowerCut ? disk.root / "dst" : fuse ? fuse->root / "dst" : dir / "dst";
    // Copies `what` into the destination in a child process (as the folder's user): its pid.
    const auto copy = [&](const char* what, bool replace) {
      return StartChild(writeOnly, [&] { return CopyPath(P(dir / what / "proj"), P(dst), nullptr, replace ? 1 : 0, nullptr); });
    };
    for (bool replace : {false, true}) {
      for (size_t killAfter : {1u, 15u, 1000u}) {  // files in the copy when it is stopped; 1000: at the end
        SCOPED_TRACE(std::to_string(stop) + " " + std::to_string(replace) + " " + std::to_string(killAfter));
        fs::remove_all(dst);
        fs::create_directories(dst);
        if (writeOnly) {
          ASSERT_EQ(chown(dst.c_str(), 65534, 65534) | chmod(dst.c_str(), 0333), 0);
        }
        if (replace) {
          ASSERT_TRUE(Succeeded(copy("old", false)));
        }
        const pid_t child = copy("new", replace);
        // Waits until the copy holds that many files (wherever it makes them), then stops it.
        int status = -1;
        for (;;) {
          if (waitpid(child, &status, WNOHANG) == child) break;
          size_t files = 0;
          std::error_code ec, inner;
          for (fs::directory_iterator e(dst, ec), end; !ec && e != end; e.increment(ec))
            for (fs::directory_iterator f(e->path(), inner), end; !inner && f != end; f.increment(inner)) ++files;
          if (files >= killAfter + (replace ? 1 : 0)) {  // the old item holds one file
            if (stop == PowerCut)
              ASSERT_TRUE(disk.Cut());
            else
              kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
          }
        }
        if (stop == PowerCut) {
          ASSERT_TRUE(disk.Restart());
        }
        if (fuse) {
          ASSERT_TRUE(fuse->Remount());
        }
        const fs::path target = dst / "proj";
        if (fs::exists(target)) {
          int same = -1;
          testsupport::Run("diff -r " + Quote(dir / "new" / "proj") + " " + Quote(target), &same);
          if (same != 0) testsupport::Run("diff -r " + Quote(dir / "old" / "proj") + " " + Quote(target), &same);
          EXPECT_EQ(same, 0) << "a part of the copy is under the target's name";
        } else {
          EXPECT_FALSE(replace) << "the old item is gone";
        }
        if (writeOnly) {  // what a copy to the target left is found without listing the folder
          ASSERT_TRUE(Succeeded(copy("new", true)));
          EXPECT_EQ(testsupport::Run("ls -A " + Quote(dst)), "proj\n");
          continue;
        }
        ASSERT_TRUE(CopyPath(P(dir / "next"), P(dst), nullptr, 0, nullptr));
        EXPECT_EQ(testsupport::Run("ls -A " + Quote(dst)), fs::exists(target) ? "next\nproj\n" : "next\n");
      }
    }
  }
}

// A copy that reported success is on the disk: a power cut right after it finds the whole
// new tree, on a first copy as on a replace, never its files empty: once anything else on the
// file system was flushed (which commits the renames, whether their files are on the disk or
// not), at once into a folder its user may write but not read (which cannot be opened to
// flush it), where the next copy to the same target then tidies what the cut left beside it,
// and through a FUSE passthrough, whose server hears of every file's flush.
TEST(TreeCopyTest, CopyThatReportedSuccessSurvivesAPowerCut) {
  if (!testsupport::HaveTool("diff")) GTEST_SKIP() << "diff is not installed";
  ScratchDir dir;
  PowerCutDisk disk(dir.path());
  if (!disk.usable) GTEST_SKIP() << disk.why;
  constexpr int kFiles = 97;
  for (int i = 0; i < kFiles; ++i) {
    const fs::path folder = dir / "new" / "proj" / ("d" + std::to_string(i % 4));
    fs::create_directories(folder);
    WriteFile(folder / ("f" + std::to_string(i)), std::string(1000 + i * 997 % 60000, static_cast<char>('a' + i % 26)));
  }
  fs::create_directories(dir / "old" / "proj");
  WriteFile(dir / "old" / "proj" / "f0", "old");
  const struct {
    bool replace, writeOnlyFolder, throughFuse;
  } rows[] = {{false, false, false}, {true, false, false}, {false, true, false}, {true, true, false}, {false, false, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    const fs::path dst = disk.root / ("dst" + std::to_string(&row - rows));
    fs::create_directories(dst);
    std::optional<FusePassthrough> fuse;
    if (row.throughFuse && !fuse.emplace(dst, dir / "fuse", dir / "fuse.log").mounted) {
      std::printf("no power cut through FUSE: %s\n", fuse->why.c_str());
      continue;
    }
    const fs::path into = row.throughFuse ? fuse->root : dst;
    if (row.writeOnlyFolder) {
      ASSERT_EQ(chown(dst.c_str(), 65534, 65534) | chmod(dst.c_str(), 0333), 0);
    }
    // Copies the new tree as the folder's user, replacing (after copying the old tree first
    // when `oldFirst`) or not: whether all succeeded.
    const auto copy = [&](bool oldFirst, bool replace) {
      return Succeeded(StartChild(row.writeOnlyFolder, [&] {
        return (!oldFirst || CopyPath(P(dir / "old" / "proj"), P(into), nullptr, 0, nullptr)) &&
               CopyPath(P(dir / "new" / "proj"), P(into), nullptr, replace ? 1 : 0, nullptr);
      }));
    };
    ASSERT_TRUE(copy(row.replace, row.replace));
    if (row.throughFuse) {
      EXPECT_EQ(fuse->FlushesOf("fsync", ".item/"), static_cast<size_t>(kFiles));
      EXPECT_EQ(fuse->FlushesOf("fsyncdir", ".item"), 5u);  // the copy's folder and its four
      fuse->Unmount();
    }
    if (!row.writeOnlyFolder) {
      ASSERT_TRUE(Shell("touch " + Quote(disk.root / "other") + " && sync " + Quote(disk.root / "other")));
    }
    ASSERT_TRUE(disk.CutAndRestart());
    EXPECT_TRUE(Shell("diff -r " + Quote(dir / "new" / "proj") + " " + Quote(dst / "proj")));
    if (row.writeOnlyFolder) {
      ASSERT_TRUE(copy(false, true));
      EXPECT_EQ(testsupport::Run("ls -A " + Quote(dst)), "proj\n");
    }
  }
}

// What a copy that died left is recovered only through a journal that this user's copy
// wrote and whose numbers are still this file system's: one planted by another user, or one
// whose bytes another user chose (a file handed over and copied in is the user's own, with
// one name), never makes a copy delete what it names. Where the user's copy could not have
// sealed it (an earlier build's, or one without the user's key), a journal is trusted only in
// a folder no other user may write, and only when no one else may write it either (not one
// others may write, as the folder lock's file, nor one with another name). One that the copy
// cannot act on (another device's, as after the disk was mounted again; one copied from
// elsewhere, which is not the file it names; a later build's) stays as it is; one that cannot
// be read is removed once, not read again by every later copy, and with it an empty item its
// copy had only just made. The journals of earlier builds are read as they read them. A
// copy killed between its swap and its sidecar's rename has the next copy give the item its
// own sidecar. A sidecar another user put where a copy's own would go, before the copy or
// once it found the name free, is never taken.
TEST(TreeCopyTest, RecoveryTrustsOnlyItsOwnJournalsAndWhatTheyStillName) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to plant another user's journal";
  ScratchDir dir;
  const fs::path journal = dir / "dst" / ".copying-ABCDEF";
  fs::create_directories(dir / "dst");
  WriteFile(dir / "dst" / "x", "x");
  WriteFile(dir / "next", "next");
  enum Kind { Raw, First, Second, Third, Fourth, Planted };
  // A copy that put "x" in place, "._x" being the old item's sidecar: with no sidecar of its
  // own, a recovery that believed it would delete "._x"; with one, put it in place. `ours`:
  // the journal names this folder's device (second format) or its own inode (third, fourth;
  // the fourth unsealed, as this user's copy never writes it).
  const struct {
    Kind kind;
    bool ours, newSidecar;
    uid_t owner;
    bool stays;
    const char* fork;
    const char* raw;
    mode_t mode = 0644;  // of the journal
    bool linked = false;  // the journal has another name too
    const char* sourceFork = nullptr;  // Planted: the sidecar of the copy's source
    const char* firstJournal = nullptr;  // Planted: the first journal name of the copy
    mode_t folderMode = 0755;
    bool emptyItem = false;  // an empty folder stands at the journal's item name
    bool whileRunning = false;  // Planted: once the copy has found the name free
  } rows[] = {{Second, true, false, 65534, true, "x's fork", nullptr},
              {Second, false, false, 0, true, "x's fork", nullptr},
              {Raw, true, false, 0, false, "x's fork", "copy journal 2\ngarbage"},
              {Second, true, true, 0, false, "new fork", nullptr},
              {Third, true, true, 0, false, "new fork", nullptr},
              {Third, false, true, 0, true, "x's fork", nullptr},
              {First, true, true, 0, false, "new fork", nullptr},
              {Raw, true, false, 0, true, "x's fork", "copy journal 9\n1 2 3"},
              {Third, true, false, 0, true, "x's fork", nullptr, 0666},
              {Third, true, false, 0, true, "x's fork", nullptr, 0600, true},
              {Planted, true, false, 0, false, "x's fork", nullptr, 0644, false, nullptr, ".copying-11rwDU"},
              {Planted, true, false, 0, false, "x's fork", nullptr, 0644, false, "next's fork", ".copying-I0TSki"},
              {Third, true, false, 0, true, "x's fork", nullptr, 0660},
              {Second, true, false, 0, true, "x's fork", nullptr, 0600, false, nullptr, nullptr, 0777},
              {First, true, false, 0, true, "x's fork", nullptr, 0600, false, nullptr, nullptr, 0733},
              {Fourth, true, true, 0, true, "x's fork", nullptr, 0600, false, nullptr, nullptr, 01777},
              {Fourth, true, true, 0, false, "new fork", nullptr, 0600},
              {Raw, true, false, 0, false, "x's fork", "", 0600, false, nullptr, nullptr, 0777, true},
              {Planted, true, false, 0, false, "x's fork", nullptr, 0644, false, nullptr, ".copying-LGMid8", 0755, false, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    ASSERT_EQ(chmod((dir / "dst").c_str(), row.folderMode), 0);
    toolbox::SidecarContents sidecar;
    sidecar.resourceFork = "x's fork";
    ASSERT_TRUE(toolbox::WriteSidecar((dir / "dst" / "x").string(), sidecar));
    sidecar.resourceFork = "new fork";
    ASSERT_TRUE(toolbox::WriteSidecar(journal.string() + ".item", sidecar));
    WriteFile(journal, "");
    struct stat x, sx, snew, self;
    ASSERT_EQ(lstat((dir / "dst" / "x").c_str(), &x) | lstat((dir / "dst" / "._x").c_str(), &sx) |
                  lstat((dir / "dst" / "._.copying-ABCDEF.item").c_str(), &snew) | lstat(journal.c_str(), &self),
              0);
    const unsigned long long first = row.kind >= Third ? self.st_ino : x.st_dev, newSidecar = row.newSidecar ? snew.st_ino : 0;
    char numbers[200];
    if (row.kind == First)
      std::snprintf(numbers, sizeof numbers, "%020llu %020llu %020llu %020llu\n", static_cast<unsigned long long>(x.st_ino),
                    newSidecar, static_cast<unsigned long long>(sx.st_ino), 1ull);
    else
      std::snprintf(numbers, sizeof numbers, "%020llu %020llu %020llu %020llu %020llu %020llu%s\n", first + (row.ours ? 0 : 1),
                    static_cast<unsigned long long>(x.st_ino), newSidecar, 0ull, static_cast<unsigned long long>(sx.st_ino), 1ull,
                    row.kind == Fourth ? " 0000000000000000" : "");
    const std::string text = row.raw ? row.raw : "copy journal " + std::to_string(row.kind) + "\n" + numbers + "x";
    const std::string name = "next" + std::to_string(&row - rows);
    // Planted: another user's sidecar where the copy's own sidecar would be made.
    const fs::path planted = dir / "dst" / ("._" + std::string(row.firstJournal ? row.firstJournal : "") + ".item");
    const auto plant = [&, planting = sidecar] {
      ASSERT_TRUE(toolbox::WriteSidecar((planted.parent_path() / planted.filename().string().substr(2)).string(), planting));
      ASSERT_EQ(chown(planted.c_str(), 65533, 65533), 0);
    };
    std::optional<testsupport::AfterLookup> whileRunning;
    if (row.kind == Planted) {
      fs::remove(journal);
      if (row.whileRunning)
        whileRunning.emplace(planted.filename().string(), plant);
      else
        plant();
      sidecar.resourceFork = row.sourceFork ? row.sourceFork : "";
      ASSERT_TRUE(row.sourceFork ? toolbox::WriteSidecar((dir / "next").string(), sidecar) : toolbox::RemoveSidecar((dir / "next").string()));
    } else {
      WriteFile(journal, text);
      ASSERT_EQ(lchown(journal.c_str(), row.owner, static_cast<gid_t>(-1)) | chmod(journal.c_str(), row.mode), 0);
      if (row.linked) fs::create_hard_link(journal, dir / "elsewhere");
    }
    if (row.emptyItem) fs::create_directory(journal.string() + ".item");
    const PathString copyName(toolbox::Utf8ToWide(name));
    ASSERT_TRUE(CopyPath(P(dir / "next"), P(dir / "dst"), &copyName, 0, nullptr));
    EXPECT_EQ(toolbox::ReadSidecar((dir / "dst" / "x").string()).resourceFork, row.fork);
    EXPECT_EQ(fs::exists(journal) ? testsupport::ReadFile(journal) : "(removed)", row.stays ? text : "(removed)");
    if (row.emptyItem) {
      EXPECT_FALSE(fs::exists(journal.string() + ".item"));
    }
    if (row.kind == Planted) {
      EXPECT_EQ(toolbox::ReadSidecar((dir / "dst" / name).string()).resourceFork, row.sourceFork ? row.sourceFork : "");
      struct stat st;
      EXPECT_TRUE(lstat(planted.c_str(), &st) == 0 && st.st_uid == 65533u);
      EXPECT_EQ(toolbox::ReadSidecar((planted.parent_path() / planted.filename().string().substr(2)).string()).resourceFork, "new fork");
      fs::remove(planted);
    }
    fs::remove(journal);
    fs::remove(dir / "elsewhere");
  }
}

// Two copies replacing one target at the same moment both succeed, and the target ends as
// one of them with its own sidecar (or none when it has none), never the other's.
TEST(TreeCopyTest, TwoCopiesReplacingOneTargetLeaveItWithItsOwnSidecar) {
  ScratchDir dir;
  fs::create_directories(dir / "dst");
  for (const char* name : {"a", "b"}) {
    fs::create_directories(dir / name);
    WriteFile(dir / name / "item", name);
  }
  toolbox::SidecarContents sidecar;
  sidecar.resourceFork = "a";
  ASSERT_TRUE(toolbox::WriteSidecar((dir / "a" / "item").string(), sidecar));
  for (int round = 0; round < 100; ++round) {
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    pid_t children[2];
    for (int i = 0; i < 2; ++i) {
      if ((children[i] = fork()) != 0) continue;
      close(go[1]);
      char c;
      _exit(read(go[0], &c, 1) == 0 && CopyPath(P(dir / (i ? "b" : "a") / "item"), P(dir / "dst"), nullptr, 1, nullptr) ? 0 : 1);
    }
    close(go[0]);
    close(go[1]);
    for (pid_t child : children) {
      int status = -1;
      waitpid(child, &status, 0);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << round;
    }
    const std::string item = testsupport::ReadFile(dir / "dst" / "item");
    ASSERT_EQ(toolbox::ReadSidecar((dir / "dst" / "item").string()).resourceFork, item == "a" ? "a" : "") << round;
    EXPECT_EQ(testsupport::Run("ls -A " + Quote(dir / "dst")), item == "a" ? "._item\nitem\n" : "item\n");
  }
}

}  // namespace
