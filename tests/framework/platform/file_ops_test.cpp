#include <dirent.h>
#include <grp.h>
#include <linux/posix_acl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/platform/FileOps.h"
#include "fuse_support.h"
#include "lock_shim_support.h"
#include "path_test_support.h"
#include "support/TestSupport.h"
#include "toolbox/AppleDouble.h"

using pathtest::U;
using pathtest::W;
using testsupport::ReadFile;
using testsupport::ScratchDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

constexpr OSType kType = toolbox::MakeOSType("pBva");
constexpr OSType kCreator = toolbox::MakeOSType("Bvaw");

size_t OpenDescriptors() {
  size_t n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

mode_t ModeOf(const fs::path& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

size_t EntriesIn(const fs::path& dir) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(ForkFile, DestructorClosesAnOpenFork) {
  ScratchDir dir;
  WriteFile(dir / "a.bin", "data");
  const size_t before = OpenDescriptors();
  for (int i = 0; i < 3; ++i) {
    ForkFile fork;
    ASSERT_TRUE(fork.SetPath(W(dir.str() + "/a.bin")));
    ASSERT_TRUE(fork.OpenDataFork(kForkPermissionRead));
    EXPECT_NE(fork.Fork(), 0);
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

TEST(ForkFile, PermissionsAndWrites) {
  ScratchDir dir;
  WriteFile(dir / "a.bin", "0123456789");
  ForkFile fork;
  fork.SetPath(W(dir.str() + "/a.bin"));
  // Bit 2 is tested first: 6 opens for reading only, so a write fails.
  ASSERT_TRUE(fork.OpenDataFork(kForkPermissionRead | kForkPermissionWrite));
  EXPECT_EQ(fork.Write("xy", 2), 0u);
  EXPECT_TRUE(fork.CloseFork());
  EXPECT_FALSE(fork.CloseFork());
  EXPECT_FALSE(fork.OpenDataFork(0));
  ASSERT_TRUE(fork.OpenDataFork(kForkPermissionWrite));
  EXPECT_EQ(fork.Write("xy", 2), 2u);
  EXPECT_TRUE(fork.CloseFork());
  EXPECT_EQ(ReadFile(dir / "a.bin"), "xy23456789");  // writing does not truncate

  // A missing file does not open as its folder, nor does a folder open at all.
  ForkFile missing;
  missing.SetPath(W(dir.str() + "/missing.bin"));
  EXPECT_FALSE(missing.OpenDataFork(kForkPermissionRead));
  ForkFile folder;
  folder.SetPath(W(dir.str()));
  EXPECT_FALSE(folder.OpenDataFork(kForkPermissionRead));
  EXPECT_EQ(folder.LastError(), toolbox::kNotAFileErr);
}

TEST(ForkFile, FinderInfoAndResourceFork) {
  ScratchDir dir;
  const PathString path = W(dir.str() + "/app");
  ASSERT_TRUE(CreateFileWithInfo(path, nullptr, false));
  EXPECT_FALSE(fs::exists(dir / "._app"));  // nothing to keep, no sidecar
  ForkFile fork;
  fork.SetPath(path);
  FinderInfoRecord rec;
  rec.mask = kFinderInfoType | kFinderInfoCreator | kFinderInfoLocation;
  rec.type = toolbox::MakeOSType("APPL");
  rec.creator = toolbox::MakeOSType("SWF2");
  rec.location = {10, -20};
  rec.finderFlags = 0x1234;  // not in the mask
  ASSERT_TRUE(fork.SetFinderInfo(rec));
  ASSERT_TRUE(fork.SetHasBundle());
  FinderInfoRecordAlt alt;
  fork.GetFinderInfoAlt(alt);
  EXPECT_EQ(alt.type, toolbox::MakeOSType("APPL"));
  EXPECT_EQ(alt.creator, toolbox::MakeOSType("SWF2"));
  EXPECT_EQ(alt.finderFlags, kFinderFlagHasBundle);
  EXPECT_EQ(alt.location.v, 10);
  EXPECT_EQ(alt.location.h, -20);

  FinderInfoRecordAlt change;
  change.mask = kFinderInfoAltFlags;
  change.finderFlags = kFinderFlagInvisible;
  change.type = 1;  // not in the mask
  ASSERT_TRUE(fork.SetFinderInfoAlt(change));
  FinderInfoRecord back;
  fork.GetFinderInfo(back);
  EXPECT_EQ(back.finderFlags, kFinderFlagInvisible);
  EXPECT_EQ(back.type, toolbox::MakeOSType("APPL"));

  ASSERT_TRUE(fork.OpenResourceFork(kForkPermissionReadWrite));
  EXPECT_EQ(fork.Write("resource bytes", 14), 14u);
  EXPECT_TRUE(fork.CloseFork());
  const toolbox::SidecarContents sidecar = toolbox::ReadSidecar(U(path));
  EXPECT_EQ(sidecar.resourceFork, "resource bytes");
  EXPECT_EQ(sidecar.finderInfo.type, toolbox::MakeOSType("APPL"));

  // A record that cannot be read stays as it was.
  ForkFile gone;
  gone.SetPath(W(dir.str() + "/gone"));
  FinderInfoRecord untouched;
  untouched.type = 77;
  gone.GetFinderInfo(untouched);
  EXPECT_EQ(untouched.type, 77u);
  EXPECT_FALSE(gone.SetHasBundle());
}

TEST(RenamePath, ReplacesAnExistingSiblingAtomically) {
  ScratchDir dir;
  const FileCreateInfo info{kCreator, kType, 0, 0};
  ASSERT_TRUE(CreateFileWithInfo(W(dir.str() + "/src.bva"), &info, false));
  WriteFile(dir / "src.bva", "source bytes");
  WriteFile(dir / "dst.bva", "old sibling");
  WriteFile(dir / "._dst.bva", "stale sidecar of the sibling");
  PathString path = W(dir.str() + "/src.bva");
  ASSERT_TRUE(RenamePath(path, L"dst.bva"));
  EXPECT_EQ(path, W(dir.str() + "/dst.bva"));
  EXPECT_FALSE(fs::exists(dir / "src.bva"));
  EXPECT_FALSE(fs::exists(dir / "._src.bva"));
  EXPECT_EQ(ReadFile(dir / "dst.bva"), "source bytes");
  EXPECT_EQ(EntriesIn(dir.path()), 2u);  // the file and its sidecar
  EXPECT_EQ(toolbox::ReadSidecar(dir.str() + "/dst.bva").finderInfo.type, kType);

  // A plain file renamed over a typed one takes no stale sidecar along.
  WriteFile(dir / "plain", "plain");
  PathString plain = W(dir.str() + "/plain");
  ASSERT_TRUE(RenamePath(plain, L"dst.bva"));
  EXPECT_FALSE(fs::exists(dir / "._dst.bva"));
  EXPECT_EQ(EntriesIn(dir.path()), 1u);

  // The sidecar moves before its file; when the file cannot follow (a folder that is not
  // empty has the name), both sidecars are as they were.
  ASSERT_TRUE(CreateFileWithInfo(W(dir.str() + "/typed"), &info, false));
  fs::create_directories(dir / "full/inside");
  ASSERT_TRUE(toolbox::WriteSidecar(dir.str() + "/full", {{kCreator, kType}, "fork"}));
  PathString typed = W(dir.str() + "/typed");
  EXPECT_FALSE(RenamePath(typed, L"full"));
  EXPECT_EQ(toolbox::ReadSidecar(dir.str() + "/typed").finderInfo.type, kType);
  EXPECT_EQ(toolbox::ReadSidecar(dir.str() + "/full").finderInfo.type, kCreator);
  EXPECT_EQ(toolbox::ReadSidecar(dir.str() + "/full").resourceFork, "fork");
}

TEST(RenamePath, RefusesNamesThatLeaveTheFolder) {
  ScratchDir dir;
  fs::create_directories(dir / "a");
  WriteFile(dir / "f", "f");
  for (const wchar_t* bad : {L"a/b", L"", L".", L"..", L"../f2", L"._f"}) {
    PathString path = W(dir.str() + "/f");
    EXPECT_FALSE(RenamePath(path, bad)) << U(bad);
    EXPECT_EQ(path, W(dir.str() + "/f"));
    EXPECT_EQ(ReadFile(dir / "f"), "f");
    EXPECT_EQ(EntriesIn(dir.path()), 2u);
    EXPECT_EQ(EntriesIn(dir / "a"), 0u);
  }
  PathString missing = W(dir.str() + "/missing");
  EXPECT_FALSE(RenamePath(missing, L"x"));
  // A folder keeps its folder form.
  PathString folder = W(dir.str() + "/a/");
  ASSERT_TRUE(RenamePath(folder, L"b"));
  EXPECT_EQ(folder, W(dir.str() + "/b/"));
  EXPECT_TRUE(RenameFile(W(dir.str() + "/f"), L"g"));
  EXPECT_TRUE(fs::exists(dir / "g"));
}

TEST(ReplacePascalExtension, Cases) {
  struct Case {
    std::string name;
    const char* ext;
    std::string expected;
  } cases[] = {
      {"movie.mov", "swf", "movie.swf"},
      {"movie", "swf", "movie.swf"},
      {"movie.mov", "", "movie"},
      {"movie", "", "movie"},
      {"a.b.c", "swf", "a.b.swf"},
      {std::string(255, 'n'), "swf", std::string(251, 'n') + ".swf"},
      {std::string(250, 'n') + ".mov", "swf", std::string(250, 'n') + ".swf"},
      {std::string(254, 'n') + ".", "swf", std::string(251, 'n') + ".swf"},
      // "é" is two bytes; the cut never splits one.
      {std::string(250, 'n') + "\xC3\xA9\xC3\xA9", "swf", std::string(250, 'n') + ".swf"},
  };
  for (const auto& c : cases) {
    // Exactly the 256 bytes of a length-prefixed name, so that ASan sees any overrun.
    auto name = std::make_unique<unsigned char[]>(256);
    name[0] = static_cast<unsigned char>(c.name.size());
    std::memcpy(name.get() + 1, c.name.data(), c.name.size());
    ASSERT_TRUE(ReplacePascalExtension(name.get(), c.ext)) << c.name;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(name.get() + 1), name[0]), c.expected) << c.name;
  }
  auto name = std::make_unique<unsigned char[]>(256);
  name[0] = 1;
  name[1] = 'a';
  EXPECT_FALSE(ReplacePascalExtension(name.get(), std::string(255, 'x').c_str()));
  EXPECT_EQ(name[0], 1);
}

TEST(MakeUniquePath, SkipsTakenNames) {
  ScratchDir dir;
  PathString out;
  ASSERT_TRUE(MakeUniquePath(out, W(dir.str() + "/song.swf")));
  EXPECT_EQ(out, W(dir.str() + "/song__.swf"));
  WriteFile(dir / "song__.swf", "");
  WriteFile(dir / "song__0.swf", "");
  ASSERT_TRUE(MakeUniquePath(out, W(dir.str() + "/song.swf")));
  EXPECT_EQ(out, W(dir.str() + "/song__1.swf"));
  ASSERT_TRUE(MakeUniquePath(out, W(dir.str() + "/readme")));
  EXPECT_EQ(out, W(dir.str() + "/readme__"));
  for (int i = 1; i < 1000; ++i) WriteFile(dir / ("song__" + std::to_string(i) + ".swf"), "");
  EXPECT_FALSE(MakeUniquePath(out, W(dir.str() + "/song.swf")));
  EXPECT_EQ(out, W(dir.str() + "/song__999.swf"));
}

TEST(RenameWithTilde, MovesAsideAndRespectsReplace) {
  ScratchDir dir;
  WriteFile(dir / "m.swf", "new");
  WriteFile(dir / "m.swf~", "older backup");
  PathString out;
  EXPECT_FALSE(RenameWithTilde(out, W(dir.str() + "/m.swf"), false));
  EXPECT_EQ(ReadFile(dir / "m.swf"), "new");
  EXPECT_EQ(ReadFile(dir / "m.swf~"), "older backup");
  ASSERT_TRUE(RenameWithTilde(out, W(dir.str() + "/m.swf"), true));
  EXPECT_EQ(out, W(dir.str() + "/m.swf~"));
  EXPECT_EQ(ReadFile(dir / "m.swf~"), "new");
  EXPECT_FALSE(fs::exists(dir / "m.swf"));
  EXPECT_FALSE(RenameWithTilde(out, W(dir.str() + "/m.swf"), true));
}

TEST(CreateFileWithInfo, BothForms) {
  ScratchDir dir;
  fs::create_directories(dir / "folder");
  const FileCreateInfo info{kCreator, kType, 1, 0};
  EXPECT_FALSE(CreateFileWithInfo(W(dir.str() + "/folder"), &info, true));
  EXPECT_TRUE(fs::is_directory(dir / "folder"));
  WriteFile(dir / "f", "keep");
  EXPECT_FALSE(CreateFileWithInfo(W(dir.str() + "/f"), &info, false));
  EXPECT_EQ(ReadFile(dir / "f"), "keep");
  ASSERT_TRUE(CreateFileWithInfo(W(dir.str() + "/f"), &info, true));
  EXPECT_EQ(fs::file_size(dir / "f"), 0u);
  toolbox::FinderInfo fi = toolbox::ReadSidecar(dir.str() + "/f").finderInfo;
  EXPECT_EQ(fi.type, kType);
  EXPECT_EQ(fi.creator, kCreator);
  EXPECT_EQ(fi.flags, kFinderFlagInvisible);
  EXPECT_FALSE(CreateFileWithInfo(W(dir.str() + "/missing/f"), &info, true));

  const FileCreateInfo locked{kCreator, kType, 0, 1};
  ASSERT_TRUE(CreateFileWithInfo(W(dir.str() + "/locked"), &locked, false));
  EXPECT_EQ(fs::status(dir / "locked").permissions() &
                (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write),
            fs::perms::none);

  // The writers' form refuses a folder form and replaces a file.
  EXPECT_FALSE(CreateFileWithInfo(W(dir.str() + "/w/"), &info, true, kWriterForm));
  WriteFile(dir / "w", "old");
  EXPECT_FALSE(CreateFileWithInfo(W(dir.str() + "/w"), &info, false, kWriterForm));
  EXPECT_TRUE(CreateFileWithInfo(W(dir.str() + "/w"), nullptr, true, kWriterForm));
  EXPECT_EQ(fs::file_size(dir / "w"), 0u);
  EXPECT_FALSE(fs::exists(dir / "._w"));
  // A non-empty folder cannot be deleted, so creation fails.
  WriteFile(dir / "folder/x", "x");
  EXPECT_FALSE(CreateFileWithInfo(W(dir.str() + "/folder"), &info, true, kWriterForm));
  EXPECT_TRUE(fs::exists(dir / "folder/x"));
}

TEST(CreateFolderAndDelete, Cases) {
  ScratchDir dir;
  PathString missingParent = W(dir.str() + "/a/b/c/");
  EXPECT_FALSE(CreateFolder(missingParent));
  EXPECT_FALSE(fs::exists(dir / "a"));
  PathString a = W(dir.str() + "/a");
  ASSERT_TRUE(CreateFolder(a));
  EXPECT_EQ(a, W(fs::canonical(dir.path()).string() + "/a/"));
  EXPECT_TRUE(CreateFolder(a));  // exists already
  WriteFile(dir / "a/x", "x");
  EXPECT_FALSE(DeletePath(a, false));  // not empty
  EXPECT_FALSE(DeletePath(a, true));
  EXPECT_TRUE(DeletePath(W(dir.str() + "/nothing"), false));
  const FileCreateInfo info{kCreator, kType, 0, 0};
  ASSERT_TRUE(CreateFileWithInfo(W(dir.str() + "/a/typed"), &info, false));
  ASSERT_TRUE(fs::exists(dir / "a/._typed"));
  ASSERT_TRUE(SetFileLocked([&] {
    toolbox::FileRef r;
    toolbox::GetFileRef(dir.str() + "/a/typed", r);
    return r;
  }(), true));
  EXPECT_FALSE(DeleteObjectRetryUnlock(a, false));
  EXPECT_TRUE(DeleteObjectRetryUnlock(a, true));
  EXPECT_FALSE(fs::exists(dir / "a"));
  EXPECT_EQ(EntriesIn(dir.path()), 0u);
}

TEST(ByReference, Operations) {
  ScratchDir dir;
  const FileCreateInfo info{kCreator, kType, 0, 0};
  ASSERT_TRUE(CreateFileWithInfo(W(dir.str() + "/f"), &info, false));
  toolbox::FileRef ref;
  ASSERT_TRUE(MakeFSRefForURL(ref, PathToCFURL(W(dir.str() + "/f"))));
  EXPECT_TRUE(SetInvisibleFlag(ref, true));
  EXPECT_EQ(toolbox::ReadSidecar(ref.path).finderInfo.flags, kFinderFlagInvisible);
  EXPECT_TRUE(SetInvisibleFlag(ref, false));
  EXPECT_EQ(toolbox::ReadSidecar(ref.path).finderInfo.flags, 0);
  toolbox::FileSpec spec;
  EXPECT_TRUE(FSSpecFromFSRef(ref, spec));
  EXPECT_EQ(spec.name, "f");
  fs::create_symlink(dir / "f", dir / "alias");
  toolbox::FileRef alias, resolved;
  ASSERT_TRUE(MakeFSRefForURL(alias, PathToCFURL(W(dir.str() + "/alias"))));
  ASSERT_TRUE(ResolveAliasFile(resolved, alias));
  EXPECT_EQ(resolved, ref);
  ASSERT_TRUE(ResolveAliasFile(resolved, ref));
  EXPECT_EQ(resolved, ref);
  EXPECT_FALSE(RenameFSRef(ref, L"x/y"));
  EXPECT_TRUE(RenameFSRef(ref, L"g"));
  EXPECT_TRUE(fs::exists(dir / "._g"));
  ASSERT_TRUE(MakeFSRefForURL(ref, PathToCFURL(W(dir.str() + "/g"))));
  EXPECT_TRUE(DeleteFSRef(ref));
  EXPECT_FALSE(fs::exists(dir / "g"));
  EXPECT_FALSE(fs::exists(dir / "._g"));
  EXPECT_FALSE(MakeFSRefForURL(ref, PathToCFURL(W(dir.str() + "/g"))));
  EXPECT_FALSE(MakeFSRefForURL(ref, toolbox::FileUrl()));
}

TEST(SafeFileWriter, CommitReplacesTheTargetWithTypeAndCreator) {
  ScratchDir dir;
  WriteFile(dir / "doc.bva", "old contents");
  SafeFileWriter w;
  const FileCreateInfo info{kCreator, kType, 0, 0};
  ASSERT_TRUE(w.Open(W(dir.str() + "/doc.bva"), &info, true));
  EXPECT_TRUE(w.Write("new ", 4));
  EXPECT_EQ(ReadFile(dir / "doc.bva"), "old contents");  // untouched until Commit
  EXPECT_TRUE(w.Write("contents", 8));
  ASSERT_TRUE(w.Commit());
  EXPECT_EQ(ReadFile(dir / "doc.bva"), "new contents");
  EXPECT_EQ(toolbox::ReadSidecar(dir.str() + "/doc.bva").finderInfo.type, kType);
  EXPECT_EQ(EntriesIn(dir.path()), 2u);

  // Without a record the replaced file's type and creator stay.
  SafeFileWriter again;
  ASSERT_TRUE(again.Open(W(dir.str() + "/doc.bva"), nullptr, true));
  again.Write("third", 5);
  ASSERT_TRUE(again.Commit());
  EXPECT_EQ(ReadFile(dir / "doc.bva"), "third");
  EXPECT_EQ(toolbox::ReadSidecar(dir.str() + "/doc.bva").finderInfo.creator, kCreator);

  SafeFileWriter refused;
  EXPECT_FALSE(refused.Open(W(dir.str() + "/doc.bva"), nullptr, false));
  EXPECT_FALSE(refused.Open(W(dir.str()), nullptr, true));
  EXPECT_FALSE(refused.Open(W(dir.str() + "/missing/doc.bva"), nullptr, true));
}

TEST(SafeFileWriter, FailureLeavesTheOldFileUntouched) {
  ScratchDir dir;
  WriteFile(dir / "doc.bva", "old contents");
  const FileCreateInfo info{kCreator, kType, 0, 0};
  {
    // A disk that fills up part way.
    SafeFileWriter w;
    ASSERT_TRUE(w.Open(W(dir.str() + "/doc.bva"), &info, true));
    w.FailWritesAfter(3);
    EXPECT_FALSE(w.Write("new contents", 12));
    EXPECT_TRUE(w.Failed());
    EXPECT_FALSE(w.Write("more", 4));
    EXPECT_FALSE(w.Commit());
  }
  {
    // Dropped without Commit.
    SafeFileWriter w;
    ASSERT_TRUE(w.Open(W(dir.str() + "/doc.bva"), &info, true));
    EXPECT_TRUE(w.Write("abandoned", 9));
  }
  {
    // The rename itself fails: a folder took the target's place meanwhile.
    SafeFileWriter w;
    ASSERT_TRUE(w.Open(W(dir.str() + "/later"), &info, true));
    EXPECT_TRUE(w.Write("x", 1));
    fs::create_directories(dir / "later/inside");
    EXPECT_FALSE(w.Commit());
    EXPECT_TRUE(fs::is_directory(dir / "later/inside"));
    fs::remove_all(dir / "later");
  }
  EXPECT_EQ(ReadFile(dir / "doc.bva"), "old contents");
  EXPECT_EQ(EntriesIn(dir.path()), 1u);  // no temporary file or sidecar left behind
}

// Names in the folder that start with the temporary prefix of `target`.
std::vector<std::string> TemporariesOf(const fs::path& dir, const std::string& target) {
  std::vector<std::string> found;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name.starts_with("." + target.substr(0, 238 - 2)) && name.find(".saving-") != std::string::npos)
      found.push_back(name);
  }
  return found;
}

// A save killed midway leaves ".<name>.saving-XXXXXX"; the next save of that target removes
// it, but never the file of a save that is still being written.
TEST(SafeFileWriter, LeftoversOfKilledSavesAreRemovedByTheNextSave) {
  std::string longName;
  for (int i = 0; i < 125; ++i) longName += "\xC3\xA9";  // 250 bytes: the stem is cut
  for (const std::string& name : {std::string("doc.bva"), longName}) {
    ScratchDir dir;
    const PathString target = W((dir / name).string());
    WriteFile(dir / name, "old");
    WriteFile(dir / ".other.bva.saving-abcdef", "another target's");
    const pid_t pid = fork();
    if (pid == 0) {
      SafeFileWriter w;
      if (w.Open(target, nullptr, true)) w.Write("partial", 7);
      raise(SIGKILL);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::vector<std::string> left = TemporariesOf(dir.path(), name);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].size(), std::min<size_t>(name.size(), 238) + 1 + 14);

    SafeFileWriter live;  // still writing: holds its file
    ASSERT_TRUE(live.Open(target, nullptr, true));
    ASSERT_TRUE(live.Write("live", 4));
    SafeFileWriter next;
    ASSERT_TRUE(next.Open(target, nullptr, true));
    EXPECT_FALSE(fs::exists(dir / left[0]));
    EXPECT_EQ(TemporariesOf(dir.path(), name).size(), 2u);
    ASSERT_TRUE(next.Write("next", 4));
    EXPECT_TRUE(next.Commit());
    EXPECT_TRUE(live.Commit());
    EXPECT_EQ(ReadFile(dir / name), "live");
    EXPECT_TRUE(TemporariesOf(dir.path(), name).empty());
    EXPECT_EQ(ReadFile(dir / ".other.bva.saving-abcdef"), "another target's");
    EXPECT_EQ(EntriesIn(dir.path()), 2u);
  }
}

// A locked file (no write permission) is never replaced: the save fails and says so.
TEST(SafeFileWriter, RefusesToReplaceALockedFile) {
  enum When { BeforeOpen, BeforeCommit, ByLockFlag };
  for (When when : {BeforeOpen, BeforeCommit, ByLockFlag}) {
    ScratchDir dir;
    const fs::path file = dir / "doc.bva";
    WriteFile(file, "old");
    toolbox::FileRef ref;
    ASSERT_TRUE(toolbox::GetFileRef(file.string(), ref));
    if (when == BeforeOpen) fs::permissions(file, fs::perms(0444));
    if (when == ByLockFlag) {
      ASSERT_TRUE(SetFileLocked(ref, true));
    }
    SafeFileWriter w;
    if (when != BeforeCommit) {
      EXPECT_FALSE(w.Open(W(file.string()), nullptr, true)) << when;
    } else {
      ASSERT_TRUE(w.Open(W(file.string()), nullptr, true));
      w.Write("new", 3);
      fs::permissions(file, fs::perms(0444));
      EXPECT_FALSE(w.Commit());
    }
    EXPECT_EQ(ReadFile(file), "old") << when;
    EXPECT_EQ(EntriesIn(dir.path()), 1u) << when;
    fs::permissions(file, fs::perms(0644));
  }
  // Another user's file that this user may not write, in a folder this user may write.
  ScratchDir dir;
  const fs::path file = dir / "doc.bva";
  WriteFile(file, "old");
  fs::permissions(dir.path(), fs::perms(0777));
  if (geteuid() != 0) GTEST_SKIP() << "changing a file's owner needs root";
  const pid_t pid = fork();
  if (pid == 0) {
    if (setuid(65534) != 0) _exit(4);
    SafeFileWriter fresh;  // the folder itself takes this user's saves
    if (!fresh.Open(W((dir / "new.bva").string()), nullptr, true) || !fresh.Commit()) _exit(5);
    SafeFileWriter w;
    _exit(w.Open(W(file.string()), nullptr, true) ? 3 : 0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFile(file), "old");
}

TEST(SafeFileWriter, FullDevice) {
  // A real full file system, where one can be mounted.
  ScratchDir dir;
  const std::string mount = dir.str() + "/small";
  fs::create_directories(mount);
  int status = 0;
  testsupport::Run("mount -t tmpfs -o size=64k tmpfs '" + mount + "' 2>/dev/null", &status);
  if (status != 0) GTEST_SKIP() << "cannot mount a small tmpfs here";
  WriteFile(mount + "/doc.bva", "old contents");
  {
    SafeFileWriter w;
    ASSERT_TRUE(w.Open(W(mount + "/doc.bva"), nullptr, true));
    const std::string block(16 * 1024, 'x');
    bool ok = true;
    for (int i = 0; i < 16 && ok; ++i) ok = w.Write(block.data(), block.size());
    EXPECT_FALSE(ok);
    EXPECT_FALSE(w.Commit());
  }
  EXPECT_EQ(ReadFile(mount + "/doc.bva"), "old contents");
  EXPECT_EQ(EntriesIn(mount), 1u);
  testsupport::Run("umount '" + mount + "'");
}

TEST(SafeFileWriter, ReplacesOnlyRegularFiles) {
  // Saving onto a device node must fail instead of renaming a file over the device.
  SafeFileWriter w;
  EXPECT_FALSE(w.Open(W("/dev/null"), nullptr, true));
  struct stat st;
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// Whether /proc/locks shows the process waiting for a lock.
bool WaitsForALock(pid_t pid) {
  std::ifstream locks("/proc/locks");
  for (std::string line; std::getline(locks, line);)
    if (line.find("->") != std::string::npos && line.find(" " + std::to_string(pid) + " ") != std::string::npos)
      return true;
  return false;
}

// An ACL as the kernel stores it (little-endian: a version word, then each entry's tag and
// permissions, 16 bits each, and its user or group), from entries of a tag, permissions and
// an id, in the order of their tags.
std::string AclXattr(std::initializer_list<std::array<uint32_t, 3>> entries) {
  std::string acl("\x02\0\0\0", 4);
  for (const auto& e : entries)
    for (const uint32_t v : {e[0] | e[1] << 16, e[2]})
      for (int shift = 0; shift < 32; shift += 8) acl += static_cast<char>(v >> shift);
  return acl;
}

// A folder's access ACL: the owner rwx, the entry `tag` (a named user or group `id`, or the
// owning group) write and search only, the other groups and others r-x, the mask rwx.
std::string WriteOnlyAcl(uint32_t tag, uint32_t id) {
  constexpr uint32_t kNone = ACL_UNDEFINED_ID;
  if (tag == ACL_GROUP_OBJ)
    return AclXattr({{ACL_USER_OBJ, 7, kNone}, {ACL_GROUP_OBJ, 3, kNone}, {ACL_MASK, 7, kNone}, {ACL_OTHER, 5, kNone}});
  if (tag == ACL_GROUP)
    return AclXattr({{ACL_USER_OBJ, 7, kNone}, {ACL_GROUP_OBJ, 5, kNone}, {ACL_GROUP, 3, id}, {ACL_MASK, 7, kNone},
                     {ACL_OTHER, 5, kNone}});
  return AclXattr({{ACL_USER_OBJ, 7, kNone}, {ACL_USER, 3, id}, {ACL_GROUP_OBJ, 5, kNone}, {ACL_MASK, 7, kNone},
                   {ACL_OTHER, 5, kNone}});
}

// Two processes taking one folder's lock: the second waits until the first lets it go, where
// the folder itself is locked, where locks are taken as NFS takes them, in a folder its user
// may write but not read (by its mode, or by its ACL where the owner may read it: a named
// user's entry, the owning group's, a named group's), in a drop box (sticky, others may only
// write) by its owner and another user, over a lock file that another user's killed holder
// left (as an earlier build made it, for its user alone; also where the folder is not
// sticky, so that the taker could remove it), over one of the taker's own, and over a file of
// the taker's that another user linked there, and after a third taker whose lock failed.
// The lock file is its maker's to write (0644) where a descriptor open for reading can lock
// it, and everyone's (0666) where locks are taken as NFS takes them; it has no access ACL, so
// that a default ACL of the folder does not keep the folder's group out. Through FUSE, where
// each name of a file is a node of its own (with the backing inode numbers or libfuse's, its
// temporary name placed by a rename or by a link), whose attributes the kernel keeps a while,
// and a mount that shows every file under another owner. After a taker killed before its file
// had the lock's name (without /proc, so under a temporary name), or right after, the next
// take works. The lock never changes the file it takes; nothing of the lock is left in the
// folder but a file that is not the taker's own lock file, and the temporary name of a file
// whose maker was killed, which no one can tidy in a folder that cannot be listed. Where the
// file system takes no lock, or its locks keep no one out, the lock says so.
TEST(FolderLock, TheSecondTakerWaitsForTheFirst) {
  constexpr uid_t kRoot = 0, kNobody = 65534, kOther = 65533;
  constexpr gid_t kGroup = 65530;
  const struct {
    testsupport::Locks locks = testsupport::Locks::Local;
    mode_t mode = 0;  // of the folder, given to `owner`; 0: as made
    uid_t owner = kRoot, first = kRoot, second = kRoot;
    bool leftover = false, failingTaker = false;
    // The leftover lock file: its mode (0: as made), and whether it is a link to a file of
    // nobody's beside the folder (one another user linked there). The lock changes neither.
    mode_t leftoverMode = 0;
    bool linked = false;
    // An entry of the folder's ACL (ACL_USER, ACL_GROUP_OBJ, ACL_GROUP; 0: none) that lets
    // its user or group `aclId` write but not read.
    uint32_t aclTag = 0, aclId = 0;
    gid_t group = kNobody, takersGroup = kNobody;  // the folder's, and the takers' only group
    bool defaultAcl = false;  // the folder's default ACL gives a user rwx, its group -wx
    // The folder is on the FUSE passthrough, so mounted (all with hard_remove, so that no
    // removed name stays as ".fuse_hidden..." until the server hears of the last close).
    std::optional<FuseMountOptions> fuse = std::nullopt;
    // A taker of `first`'s killed at its nth flock, or right after it gave its file the nth
    // name, before the first takes the lock; and whether linkat finds no /proc.
    int killedAtFlock = 0, killedAfterNaming = 0;
    bool withoutProc = false;
  } rows[] = {{testsupport::Locks::Local, 0, kRoot, kRoot, kRoot, false, false},
              {testsupport::Locks::Nfs, 0, kRoot, kRoot, kRoot, false, false},
              {testsupport::Locks::Local, 0333, kNobody, kNobody, kNobody, false, false},
              {testsupport::Locks::Local, 01733, kNobody, kNobody, kOther, false, false},
              {testsupport::Locks::Local, 01733, kRoot, kOther, kOther, true, false},
              {testsupport::Locks::Nfs, 0, kRoot, kRoot, kRoot, false, true},
              {testsupport::Locks::Local, 01733, kRoot, kNobody, kNobody, true, false, 0660, true},
              {testsupport::Locks::Local, 01733, kRoot, kNobody, kNobody, true, false, 0600},
              {testsupport::Locks::Local, 0755, kNobody, kNobody, kOther, false, false, 0, false, ACL_USER, kOther},
              {.mode = 0733, .owner = kRoot, .first = kNobody, .second = kOther},
              {.locks = testsupport::Locks::Nfs, .mode = 01733, .owner = kNobody, .first = kNobody, .second = kOther},
              {.mode = 02733, .owner = kNobody, .first = kNobody, .second = kOther, .group = kGroup,
               .takersGroup = kGroup, .defaultAcl = true},
              {.mode = 0733, .owner = kRoot, .first = kOther, .second = kOther, .leftover = true, .leftoverMode = 0644},
              {.mode = 0755, .owner = kNobody, .first = kNobody, .second = kOther, .aclTag = ACL_GROUP_OBJ,
               .group = kGroup, .takersGroup = kGroup},
              {.mode = 0755, .owner = kNobody, .first = kNobody, .second = kOther, .aclTag = ACL_GROUP, .aclId = kGroup,
               .takersGroup = kGroup},
              {.mode = 01733, .owner = kNobody, .first = kNobody, .second = kOther,
               .fuse = FuseMountOptions{.useIno = true, .hardRemove = true}},
              {.mode = 0733, .owner = kRoot, .first = kNobody, .second = kOther,
               .fuse = FuseMountOptions{.useIno = false, .hardRemove = true, .renameFlags = false}},
              {.mode = 01733, .owner = kNobody, .first = kNobody, .second = kNobody,
               .fuse = FuseMountOptions{.useIno = true, .hardRemove = true, .cacheSeconds = 60, .renameFlags = false}},
              {.mode = 0755,
               .fuse = FuseMountOptions{.hardRemove = true, .renameFlags = false, .extra = "uid=65534,umask=044"}},
              {.mode = 0733, .owner = kRoot, .first = kNobody, .second = kNobody, .killedAtFlock = 4,
               .withoutProc = true},
              {.mode = 0733, .owner = kRoot, .first = kNobody, .second = kNobody, .killedAfterNaming = 1,
               .withoutProc = true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    if ((row.mode != 0 || row.fuse) && geteuid() != 0) {
      std::printf("skipped row %d: needs root to give the folder to other users\n", static_cast<int>(&row - rows));
      continue;
    }
    ScratchDir dir;
    std::optional<FusePassthrough> fuse;
    if (row.fuse) {
      fs::create_directories(dir / "backing");
      if (!fuse.emplace(dir / "backing", dir / "mnt", dir / "fuse.log", *row.fuse).mounted) {
        std::printf("skipped row %d: %s\n", static_cast<int>(&row - rows), fuse->why.c_str());
        continue;
      }
    }
    // The folder as the takers see it, and where its files are kept.
    const fs::path folder = (row.fuse ? dir / "mnt" : dir.path()) / "f";
    const fs::path kept = (row.fuse ? dir / "backing" : dir.path()) / "f";
    fs::create_directories(folder);
    const fs::path leftover = row.linked ? dir / "team" : folder / kFolderLockName;
    if (row.leftover) {
      WriteFile(leftover, row.linked ? "notes" : "");
      ASSERT_EQ(chown(leftover.c_str(), kNobody, kNobody), 0);
      ASSERT_EQ(chmod(leftover.c_str(), row.leftoverMode != 0 ? row.leftoverMode : 0644), 0);
      if (row.linked) fs::create_hard_link(leftover, folder / kFolderLockName);
    }
    if (row.mode != 0) {
      ASSERT_EQ(chown(folder.c_str(), row.owner, row.group) | chmod(folder.c_str(), row.mode), 0);
    }
    const auto setAcl = [&](const char* name, const std::string& acl) {
      if (setxattr(folder.c_str(), name, acl.data(), acl.size(), 0) == 0) return true;
      std::printf("skipped row %d: no ACL here: %s\n", static_cast<int>(&row - rows), std::strerror(errno));
      return false;
    };
    if (row.aclTag != 0 && !setAcl("system.posix_acl_access", WriteOnlyAcl(row.aclTag, row.aclId))) continue;
    constexpr uint32_t kNone = ACL_UNDEFINED_ID;
    if (row.defaultAcl && !setAcl("system.posix_acl_default",
                                  AclXattr({{ACL_USER_OBJ, 7, kNone}, {ACL_USER, 7, 65532}, {ACL_GROUP_OBJ, 3, kNone},
                                            {ACL_MASK, 7, kNone}, {ACL_OTHER, 3, kNone}})))
      continue;
    const testsupport::LocksAs locks(row.locks);
    std::optional<testsupport::WithoutProc> withoutProc;
    if (row.withoutProc) withoutProc.emplace();
    const auto becomeUser = [&](uid_t user) {
      return user == kRoot || (setgroups(0, nullptr) == 0 && setgid(row.takersGroup) == 0 && setuid(user) == 0);
    };
    if (row.killedAtFlock != 0 || row.killedAfterNaming != 0) {
      const pid_t killed = fork();
      if (killed == 0) {
        if (!becomeUser(row.first)) _exit(4);
        const testsupport::KilledAtFlock atFlock(row.killedAtFlock);
        const testsupport::KilledAfterNaming afterNaming(row.killedAfterNaming);
        _exit(FolderLock(folder.string()).Error() == toolbox::kNoErr ? 3 : 5);
      }
      int status = -1;
      waitpid(killed, &status, 0);
      ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    }
    int order[2], release[2];
    ASSERT_EQ(pipe(order) | pipe(release), 0);
    // Takes the lock as `user`, says so with `got`, and keeps it (when `hold`) until the
    // parent closes `release`.
    const auto taker = [&](char got, bool hold, uid_t user) {
      const pid_t pid = fork();
      if (pid != 0) return pid;
      close(release[1]);
      if (!becomeUser(user)) _exit(4);
      {
        FolderLock lock(folder.string());
        char c;
        if (lock.Error() != toolbox::kNoErr) got = '!';  // said too, so that the parent need not wait
        if (write(order[1], &got, 1) != 1 || got == '!' || (hold && read(release[0], &c, 1) != 0)) _exit(3);
      }
      _exit(0);
    };
    const mode_t leftoverMode = ModeOf(leftover);
    const pid_t first = taker('A', true, row.first);
    char c = 0;
    ASSERT_EQ(read(order[0], &c, 1), 1);
    if (row.leftover) {
      EXPECT_EQ(ModeOf(leftover), leftoverMode);  // as the holder holds it
    } else if (fs::exists(kept / kFolderLockName)) {
      EXPECT_EQ(ModeOf(kept / kFolderLockName), row.locks == testsupport::Locks::Nfs ? 0666u : 0644u);
      EXPECT_LT(getxattr((kept / kFolderLockName).c_str(), "system.posix_acl_access", nullptr, 0), 0);
    }
    if (row.failingTaker) {
      const pid_t failing = fork();
      if (failing == 0) {
        const testsupport::LocksAs none(testsupport::Locks::None);
        _exit(FolderLock(folder.string()).Error() != toolbox::kNoErr ? 0 : 3);
      }
      int status = -1;
      waitpid(failing, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    const pid_t second = taker('B', false, row.second);
    int firstStatus = -1, secondStatus = -1;
    bool secondDone = false;
    while (!WaitsForALock(second) && !(secondDone = waitpid(second, &secondStatus, WNOHANG) == second))
      usleep(1000);
    ASSERT_EQ(write(order[1], "a", 1), 1);  // the first lets the lock go only now
    close(release[1]);
    close(release[0]);
    waitpid(first, &firstStatus, 0);
    if (!secondDone) waitpid(second, &secondStatus, 0);
    EXPECT_TRUE(WIFEXITED(firstStatus) && WEXITSTATUS(firstStatus) == 0) << firstStatus;
    EXPECT_TRUE(WIFEXITED(secondStatus) && WEXITSTATUS(secondStatus) == 0) << secondStatus;
    close(order[1]);
    std::string taken(1, c);
    while (read(order[0], &c, 1) == 1) taken += c;
    close(order[0]);
    EXPECT_EQ(taken, "AaB");
    // Only a taker's own lock file with no other name goes; a temporary name stays where
    // its maker was killed before it placed the file.
    const bool stays = row.leftover && (row.linked || row.first != kNobody);
    std::string left = testsupport::Run("ls -A " + folder.string());
    const size_t temporary = left.find(std::string(kFolderLockName) + "-");
    if (temporary != std::string::npos) left.erase(temporary, left.find('\n', temporary) + 1 - temporary);
    EXPECT_EQ(temporary != std::string::npos, row.killedAtFlock != 0 && row.withoutProc);
    EXPECT_EQ(left, stays ? std::string(kFolderLockName) + "\n" : "");
    if (row.linked) {
      EXPECT_EQ(ReadFile(leftover), "notes");
      EXPECT_EQ(ModeOf(leftover), leftoverMode);
    }
  }
  for (const testsupport::Locks locks : {testsupport::Locks::None, testsupport::Locks::Unexcluding}) {
    ScratchDir dir;
    // Where locks keep no one out, the folder's write-only users make the lock a file's.
    if (locks == testsupport::Locks::Unexcluding) {
      ASSERT_EQ(chmod(dir.str().c_str(), 0733), 0);
    }
    const testsupport::LocksAs as(locks);
    EXPECT_NE(FolderLock(dir.str()).Error(), toolbox::kNoErr);
    EXPECT_TRUE(fs::is_empty(dir.path()));
  }
}

}  // namespace
