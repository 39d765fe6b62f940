#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "framework/platform/FileOps.h"
#include "framework/platform/PathLayer.h"
#include "path_test_support.h"
#include "support/TestSupport.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Folders.h"

using pathtest::ScopedEnv;
using pathtest::U;
using pathtest::W;
using testsupport::ScratchDir;
namespace fs = std::filesystem;

namespace {

class AppFolder {
 public:
  explicit AppFolder(const std::string& folder) : old_(toolbox::ApplicationFolder()) {
    toolbox::SetApplicationFolder(folder);
  }
  ~AppFolder() { toolbox::SetApplicationFolder(old_); }

 private:
  std::string old_;
};

TEST(PathLayerText, PathStyle) {
  struct Case {
    const wchar_t* path;
    toolbox::PathStyle style;
  } cases[] = {
      {L"Disk:Folder:File", toolbox::PathStyle::Hfs}, {L"/Users/x", toolbox::PathStyle::Posix},
      {L"ftp://h/x", toolbox::PathStyle::Posix},      {L"a:b/c", toolbox::PathStyle::Posix},
      {L"", toolbox::PathStyle::Posix},               {L"file://a:b", toolbox::PathStyle::Posix},
  };
  for (const auto& c : cases) EXPECT_EQ(PathStyleOf(c.path), c.style) << U(c.path);
}

TEST(PathLayerText, TrailingSlashAndRelative) {
  struct Case {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {{L"/a/b//", L"/a/b/"}, {L"/a/b/\\/", L"/a/b/"}, {L"", L"/"}, {L"/a", L"/a/"}, {L"/", L"/"}};
  for (const auto& c : cases) {
    PathString p = c.in;
    EXPECT_EQ(EnsureTrailingSlash(p), PathString(c.out)) << U(c.in);
  }
  EXPECT_TRUE(IsRelativePath(L"a/b"));
  EXPECT_TRUE(IsRelativePath(L"Disk:Folder"));
  EXPECT_FALSE(IsRelativePath(L"/a"));
  EXPECT_FALSE(IsRelativePath(L"\\a"));
  EXPECT_FALSE(IsRelativePath(L""));
}

TEST(PathLayerText, AbsoluteAndJoin) {
  AppFolder app("/opt/brivane/");
  EXPECT_EQ(MakeAbsolutePath(L"Players/skin.swf"), PathString(L"/opt/brivane/Players/skin.swf"));
  EXPECT_EQ(MakeAbsolutePath(L"/tmp/x"), PathString(L"/tmp/x"));
  EXPECT_EQ(MakeAbsolutePath(L""), PathString());
  PathString out;
  AssignAbsolutePath(out, L"a");
  EXPECT_EQ(out, PathString(L"/opt/brivane/a"));
  EXPECT_TRUE(AppendPathName(out, L"n.txt", L"/x//"));
  EXPECT_EQ(out, PathString(L"/x/n.txt"));
  EXPECT_TRUE(JoinPath(out, L"n.txt", L"sub"));
  EXPECT_EQ(out, PathString(L"/opt/brivane/sub/n.txt"));
  EXPECT_EQ(GetApplicationBundlePath(), PathString(L"/opt/brivane/"));
}

TEST(PathLayerText, NormalizeExamples) {
  struct Case {
    const wchar_t* stored;
    const wchar_t* base;
    const wchar_t* expected;
  } cases[] = {
      {L"../x.mp3", L"/nonexistent-a/b/doc.bva", L"/nonexistent-a/x.mp3"},
      {L"./c/./x.mp3", L"/nonexistent-a/b/doc.bva", L"/nonexistent-a/b/c/x.mp3"},
      {L"../../../x", L"/nonexistent-a/doc.bva", L"/x"},
      {L"..\\c\\x.mp3", L"/nonexistent-a/b/doc.bva", L"/nonexistent-a/c/x.mp3"},
      {L"/abs/x.mp3", L"/nonexistent-a/b/doc.bva", L"/abs/x.mp3"},
      {L"..", L"/nonexistent-a/doc.bva", L"/"},
      {L"c//x", L"/nonexistent-a/b/doc.bva", L"/nonexistent-a/b/c/x"},
  };
  for (const auto& c : cases) {
    PathString out;
    NormalizePath(out, c.stored, c.base);
    EXPECT_EQ(out, PathString(c.expected)) << U(c.stored);
  }
}

TEST(PathLayerText, NormalizeAgainstRealFolders) {
  ScratchDir dir;
  fs::create_directories(dir / "a/b/c");
  const PathString doc = W(dir.str() + "/a/b/doc.bva");
  PathString out;
  NormalizePath(out, L"c", doc);
  EXPECT_EQ(out, W(dir.str() + "/a/b/c/"));  // an existing folder gets its '/'
  NormalizePath(out, L"c/missing.mp3", doc);
  EXPECT_EQ(out, W(dir.str() + "/a/b/c/missing.mp3"));
  // A base that is itself a folder resolves inside it.
  NormalizePath(out, L"x.mp3", W(dir.str() + "/a/b"));
  EXPECT_EQ(out, W(dir.str() + "/a/b/x.mp3"));
  EXPECT_FALSE(IsFolder(W(dir.str() + "/a/b/missing")));
}

TEST(PathLayerText, NormalizeRefusesOverlongResult) {
  std::wstring stored;
  for (int i = 0; i < 500; ++i) stored += L"abcdefghij/";
  PathString out = L"previous";
  NormalizePath(out, stored, L"/nonexistent-a/doc.bva");
  EXPECT_TRUE(out.empty());
  // 700 characters is fine: there is no fixed limit below the system's own.
  NormalizePath(out, stored.substr(0, 700), L"/nonexistent-a/doc.bva");
  EXPECT_EQ(out, PathString(L"/nonexistent-a/" + stored.substr(0, 700)));
}

TEST(PathLayerText, RelativeExamples) {
  struct Case {
    const wchar_t* target;
    const wchar_t* expected;
  } cases[] = {
      {L"/a/b/x.mp3", L"./x.mp3"},   {L"/a/b/c/x.mp3", L"./c/x.mp3"}, {L"/a/c/x.mp3", L"../c/x.mp3"},
      {L"/a/x.mp3", L"../x.mp3"},    {L"/x.mp3", L"../../x.mp3"},     {L"/a/b/", L"."},
      {L"", L""},
  };
  for (const auto& c : cases) {
    PathString out = L"junk";
    MakeRelativePath(out, L"/a/b/doc.bva", c.target);
    EXPECT_EQ(out, PathString(c.expected)) << U(c.target);
  }
}

TEST(PathLayerText, NamesAndExtensions) {
  PathString out;
  GetPathExtension(out, L"/a/b.tar.gz", true);
  EXPECT_EQ(out, PathString(L".gz"));
  GetPathExtension(out, L"/a/b.tar.gz", false);
  EXPECT_EQ(out, PathString(L"gz"));
  GetPathExtension(out, L"/a.d/readme", true);
  EXPECT_EQ(out, PathString());
  GetPathFileName(out, L"/a/b.tar.gz", true);
  EXPECT_EQ(out, PathString(L"b.tar"));
  GetPathFileName(out, L"/a/folder/", false);
  EXPECT_EQ(out, PathString(L"folder"));
  GetPathFileName(out, L"Disk:Folder:File.swf", false);
  EXPECT_EQ(out, PathString(L"File.swf"));
  GetPathFileName(out, L"", false);
  EXPECT_EQ(out, PathString());
  // Without its extension the name is never another component's.
  struct NameCase {
    const wchar_t* path;
    const wchar_t* expected;
  } names[] = {{L"/a/.mp3", L""},
               {L"/no/such/.hidden", L""},
               {L"/a/b.txt/", L"b"},
               {L"/a.d/readme", L"readme"},
               {L"Disk:Fo.lder:File", L"File"},
               {L"Disk:Folder:File.swf", L"File"}};
  for (const NameCase& c : names) {
    GetPathFileName(out, c.path, true);
    EXPECT_EQ(out, PathString(c.expected)) << U(c.path);
  }

  PathString p = L"/a/movie.mov";
  ReplacePathExtension(p, L".swf");
  EXPECT_EQ(p, PathString(L"/a/movie.swf"));
  p = L"/a.d/movie";
  ReplacePathExtension(p, L".swf");
  EXPECT_EQ(p, PathString(L"/a.d/movie.swf"));
  p = L"Disk:Fo.lder:movie";
  ReplacePathExtension(p, L".swf");
  EXPECT_EQ(p, PathString(L"Disk:Fo.lder:movie.swf"));
  p = L"Disk:Folder:movie.mov";
  ReplacePathExtension(p, L".swf");
  EXPECT_EQ(p, PathString(L"Disk:Folder:movie.swf"));

  struct Case {
    const wchar_t* path;
    const wchar_t* name;
    const wchar_t* expected;
  } cases[] = {{L"/a/b/c.txt", L"d.txt", L"/a/b/d.txt"},
               {L"/a/b/", L"d.txt", L"/a/b/d.txt"},
               {L"", L"d.txt", L"d.txt"},
               {L"/c.txt", L"d.txt", L"/d.txt"}};
  for (const auto& c : cases) {
    PathString q = c.path;
    SetLastPathComponent(q, c.name);
    EXPECT_EQ(q, PathString(c.expected)) << U(c.path);
  }
}

TEST(PathLayerText, ParentFolder) {
  struct Case {
    const wchar_t* path;
    bool slash;
    const wchar_t* expected;
  } cases[] = {{L"/a/b/c", false, L"/a/b"}, {L"/a/b/c", true, L"/a/b/"}, {L"/a/b/", false, L"/a"},
               {L"/x", false, L""},         {L"/x", true, L"/"},         {L"", true, L""},
               {L"Macintosh HD:Users:x:f", true, L"/Users/x/"}};
  for (const auto& c : cases) {
    PathString out = L"junk";
    GetParentFolder(out, c.path, c.slash);
    EXPECT_EQ(out, PathString(c.expected)) << U(c.path);
  }
}

TEST(PathLayerText, SortIgnoresCase) {
  PathList list;
  for (const wchar_t* p : {L"/m/b.mp3", L"/m/A.mp3", L"/m/c.mp3"}) list.AddAbsolute(p);
  list.Sort();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(*list[0], PathString(L"/m/A.mp3"));
  EXPECT_EQ(*list[1], PathString(L"/m/b.mp3"));
  EXPECT_EQ(*list[2], PathString(L"/m/c.mp3"));
  list.Clear();
  EXPECT_TRUE(list.empty());
}

TEST(PathLayerFiles, PathsDifferOnLinuxNames) {
  ScratchDir dir;
  testsupport::WriteFile(dir / "a.swf", "x");
  fs::create_symlink(dir / "a.swf", dir / "link.swf");
  // Case matters on Linux: these name two different files.
  EXPECT_TRUE(PathsDiffer(L"/A/b.swf", L"/a/B.swf"));
  EXPECT_FALSE(PathsDiffer(L"/a/b.swf", L"/a/b.swf"));
  // The same file through another name is the same item.
  EXPECT_FALSE(PathsDiffer(W(dir.str() + "/a.swf"), W(dir.str() + "/link.swf")));
  EXPECT_FALSE(PathsDiffer(W(dir.str() + "/a.swf"), W(dir.str() + "//a.swf")));
}

TEST(PathLayerFiles, HfsPathsConvert) {
  struct Case {
    const wchar_t* hfs;
    const char* posix;
    bool folder;
  } cases[] = {{L"Macintosh HD:Users:x:song.mp3", "/Users/x/song.mp3", false},
               {L"Other:a:b", "/Volumes/Other/a/b", false},
               {L"Macintosh HD:Users:", "/Users", true},
               {L"Macintosh HD:", "/", true},
               {L"Macintosh HD:a:b::c", "/a/b/../c", false}};
  for (const auto& c : cases) {
    const toolbox::FileUrl url = PathToCFURL(c.hfs);
    EXPECT_EQ(url.path, c.posix) << U(c.hfs);
    EXPECT_EQ(url.isDirectory, c.folder) << U(c.hfs);
  }
  // A '/' inside an HFS name is a ':' in the POSIX name.
  EXPECT_EQ(toolbox::MakeFileUrl("Macintosh HD:AC/DC:x", toolbox::PathStyle::Hfs, false).path, "/AC:DC/x");
  PathString out = L"unchanged";
  PathFromCFURL(out, PathToCFURL(L"Macintosh HD:Users:"));
  EXPECT_EQ(out, PathString(L"/Users/"));
  PathFromCFURL(out, toolbox::FileUrl());
  EXPECT_EQ(out, PathString(L"/Users/"));

  // An HFS path of a real file on the start-up volume finds it.
  ScratchDir dir;
  testsupport::WriteFile(dir / "f.txt", "x");
  std::string hfs = "Macintosh HD" + dir.str() + "/f.txt";
  std::replace(hfs.begin(), hfs.end(), '/', ':');
  EXPECT_TRUE(PathExists(W(hfs)));
  toolbox::FileRef ref;
  EXPECT_TRUE(PathToFSRef(W(hfs), ref));
  EXPECT_EQ(PathString(ref), W(dir.str() + "/f.txt"));
}

TEST(PathLayerFiles, ReferencesAndSpecs) {
  ScratchDir dir;
  fs::create_directories(dir / "f");
  testsupport::WriteFile(dir / "f/x.txt", "x");
  const std::string base = fs::canonical(dir.path()).string();
  toolbox::FileRef ref;
  // A folder's path from its reference ends with '/'.
  ASSERT_TRUE(PathToFSRef(W(base + "/f/"), ref));
  EXPECT_EQ(PathString(ref), W(base + "/f/"));
  ASSERT_TRUE(PathToFSRef(W(base + "/f"), ref));
  EXPECT_EQ(PathString(ref), W(base + "/f/"));
  // The folder form is retried inverted for a file.
  ASSERT_TRUE(PathToFSRef(W(base + "/f/x.txt/"), ref));
  EXPECT_EQ(ref.path, base + "/f/x.txt");
  // A missing item falls back to its folder, so that it can be made there.
  ASSERT_TRUE(PathToFSRef(W(base + "/f/new.txt"), ref));
  EXPECT_EQ(ref.path, base + "/f");
  EXPECT_FALSE(PathToFSRef(W(base + "/missing/new.txt"), ref));
  EXPECT_TRUE(ref.IsNull());
  EXPECT_FALSE(PathToFSRef(L"", ref));

  ASSERT_TRUE(GetParentFSRef(W(base + "/f/x.txt"), ref));
  EXPECT_EQ(ref.path, base + "/f");

  toolbox::FileSpec spec;
  ASSERT_TRUE(PathToFSSpec(W(base + "/f/x.txt"), spec));
  EXPECT_EQ(spec.name, "x.txt");
  struct stat folderStat;
  ASSERT_EQ(stat((base + "/f").c_str(), &folderStat), 0);
  EXPECT_EQ(spec.parentId, static_cast<uint64_t>(folderStat.st_ino));
  ASSERT_TRUE(PathToFSSpec(W(base + "/f/new.txt"), spec));
  EXPECT_EQ(spec.Path(), base + "/f/new.txt");
  EXPECT_FALSE(PathToFSSpec(W(base + "/missing/new.txt"), spec));
  EXPECT_TRUE(spec.IsNull());

  // A link is resolved to the item it names.
  fs::create_symlink(dir / "f", dir / "link");
  ASSERT_TRUE(PathToFSRef(W(base + "/link"), ref));
  EXPECT_EQ(PathString(ref), W(base + "/f/"));

  EXPECT_TRUE(IsFolder(W(base + "/f")));
  EXPECT_FALSE(IsFolder(W(base + "/f/x.txt")));
  EXPECT_FALSE(IsFolder(L""));
  EXPECT_TRUE(PathIsDirectoryURL(L"/a/b/"));
  EXPECT_FALSE(PathIsDirectoryURL(L"/a/b"));
  EXPECT_FALSE(PathExists(L""));
}

TEST(PathLayerFiles, UnicodeNamesAreCreatedListedAndReopened) {
  ScratchDir dir;
  // Linux allows 255 bytes in one name: 85 CJK characters. A 100-character CJK path is
  // made of a folder and a file of 50 characters each.
  std::wstring cjk;
  for (int i = 0; i < 100; ++i) cjk += static_cast<wchar_t>(0x4E00 + i);
  const std::vector<std::wstring> names = {L"é", L"中", L"😀", cjk.substr(0, 85)};
  {
    PathString folder = W(dir.str() + "/") + cjk.substr(0, 50);
    ASSERT_TRUE(CreateFolder(folder));
    const PathString file = folder + cjk.substr(50);
    ASSERT_TRUE(CreateFileWithInfo(file, nullptr, false));
    FILE* f = OpenFilePath(file, "rb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    EXPECT_TRUE(DeletePath(file, false));
    EXPECT_TRUE(DeletePath(folder, false));
    // One name of 100 CJK characters (300 bytes) is more than the system takes: a clean refusal.
    EXPECT_FALSE(CreateFileWithInfo(W(dir.str() + "/") + cjk, nullptr, false));
  }
  for (const auto& name : names) {
    const PathString path = W(dir.str() + "/") + name;
    EXPECT_TRUE(CreateFileWithInfo(path, nullptr, false)) << U(name);
    FILE* f = OpenFilePath(path, L"wb");
    ASSERT_NE(f, nullptr) << U(name);
    const std::string bytes = U(name);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  // A name that is not UTF-8 cannot be handed out as a path, so the listing skips it.
  testsupport::WriteFile(dir / "bad\xff.txt", "x");

  std::set<std::wstring> listed;
  PathString child;
  bool isFolder = true;
  for (bool more = FirstFolderEntry(W(dir.str()), child, &isFolder); more;
       more = NextFolderEntry(child, &isFolder)) {
    EXPECT_FALSE(isFolder);
    PathString name;
    GetPathFileName(name, child, false);
    listed.insert(name);
    std::ifstream in;
    ASSERT_TRUE(OpenStreamPath(child, in, std::ios::binary | std::ios::in)) << U(child);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, U(name));
  }
  EXPECT_TRUE(CloseFolderIterator());
  EXPECT_EQ(listed, std::set<std::wstring>(names.begin(), names.end()));
  EXPECT_FALSE(NextFolderEntry(child, &isFolder));
  EXPECT_TRUE(CloseFolderIterator());
}

TEST(PathLayerFiles, ListingShowsFoldersAndHidesSidecars) {
  ScratchDir dir;
  fs::create_directories(dir / "sub");
  const FileCreateInfo info{toolbox::MakeOSType("Bvaw"), toolbox::MakeOSType("pBva"), 0, 0};
  ASSERT_TRUE(CreateFileWithInfo(W(dir.str() + "/doc.bva"), &info, false));
  ASSERT_TRUE(fs::exists(dir / "._doc.bva"));
  std::set<std::wstring> listed;
  PathString child;
  bool isFolder = false;
  for (bool more = FirstFolderEntry(W(dir.str() + "/"), child, &isFolder); more;
       more = NextFolderEntry(child, &isFolder))
    listed.insert(child + (isFolder ? L" folder" : L" file"));
  CloseFolderIterator();
  const std::string base = fs::canonical(dir.path()).string();
  EXPECT_EQ(listed, (std::set<std::wstring>{W(base + "/doc.bva file"), W(base + "/sub/ folder")}));
  EXPECT_FALSE(FirstFolderEntry(W(dir.str() + "/sub"), child, &isFolder));  // empty
  EXPECT_FALSE(FirstFolderEntry(W(dir.str() + "/missing"), child, &isFolder));
}

TEST(PathLayerFolders, XdgFolders) {
  ScratchDir dir;
  {
    ScopedEnv data("XDG_DATA_HOME", dir.str() + "/data");
    ScopedEnv config("XDG_CONFIG_HOME", "");  // set but empty: ignored, as when unset
    ScopedEnv home("HOME", dir.str() + "/home");
    EXPECT_EQ(GetApplicationSupportFolder(kSupportDomainUser), W(dir.str() + "/data/"));
    EXPECT_TRUE(fs::is_directory(dir / "data"));
    PathString out;
    EXPECT_TRUE(GetSupportFolderPath(out, L"Brivane/x.xml", kSupportDomainUser));
    EXPECT_EQ(out, W(dir.str() + "/data/Brivane/x.xml"));
    EXPECT_EQ(GetApplicationSupportFolder(kSupportDomainLocal), PathString(L"/usr/local/share/"));
    EXPECT_EQ(GetApplicationSupportFolder(kSupportDomainNetwork), PathString());
    // No Desktop folder: the home folder stands in.
    EXPECT_EQ(GetDesktopFolder(), W(dir.str() + "/home/"));
    fs::create_directories(dir / "home/Desktop");
    EXPECT_EQ(GetDesktopFolder(), W(dir.str() + "/home/Desktop/"));
    EXPECT_EQ(toolbox::FindFolder(toolbox::FolderDomain::User, toolbox::FolderKind::Preferences, false),
              dir.str() + "/home/.config/");
  }
  {
    ScopedEnv data("XDG_DATA_HOME", "relative/ignored");
    ScopedEnv home("HOME", dir.str() + "/home");
    EXPECT_EQ(GetApplicationSupportFolder(kSupportDomainUser), W(dir.str() + "/home/.local/share/"));
    EXPECT_EQ(fs::status(dir / "home/.local/share").permissions() & fs::perms::all, fs::perms::owner_all);
  }
}

TEST(PathLayerFolders, PrivateTemporaryFolder) {
  ScratchDir dir;
  const std::string uid = std::to_string(geteuid());
  ScopedEnv tmp("TMPDIR", dir.str());
  const PathString folder = GetTemporaryFolder();
  EXPECT_EQ(folder, W(dir.str() + "/brivane-" + uid + "/"));
  struct stat st;
  ASSERT_EQ(lstat((dir.str() + "/brivane-" + uid).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);

  PathString out;
  EXPECT_TRUE(GetTemporaryPath(out, L"t.swf", true));
  EXPECT_EQ(out, folder + L"t.swf");
  EXPECT_TRUE(CreateTemporarySubfolder(L"_brivane"));
  EXPECT_TRUE(fs::is_directory(dir.str() + "/brivane-" + uid + "/_brivane"));
  EXPECT_TRUE(GetTemporaryPath(out, L"t.swf", true));
  EXPECT_EQ(out, folder + TemporarySubfolderName + L"/t.swf");
  EXPECT_TRUE(out.starts_with(folder + L"_brivane/run-"));
  EXPECT_TRUE(GetTemporaryPath(out, L"t.swf", false));
  EXPECT_EQ(out, folder + L"t.swf");
  RemoveTemporarySubfolder();
}

// Each process has its own folder in "_brivane", held while it runs and removed at its
// exit; a start removes the folders of processes that are gone, never a running one's.
TEST(PathLayerFolders, EachProcessHasItsOwnTemporaryFolder) {
  ScratchDir dir;
  ScopedEnv tmp("TMPDIR", dir.str());
  const fs::path shared = dir.path() / ("brivane-" + std::to_string(geteuid())) / "_brivane";
  const auto ownFolder = [] {
    PathString path;
    GetTemporaryPath(path, L"", true);
    return fs::path(U(path)).parent_path();
  };
  // A process that makes its folder and a file in it, then either dies or waits.
  const auto startOther = [&](bool dies, int* release) {
    int ready[2], wait[2];
    EXPECT_EQ(pipe(ready), 0);
    EXPECT_EQ(pipe(wait), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      if (!CreateTemporarySubfolder(L"_brivane")) _exit(2);
      testsupport::WriteFile(ownFolder() / "swf-abcdef", "x");
      const std::string name = ownFolder().filename().string();
      if (write(ready[1], name.data(), name.size()) < 0) _exit(3);
      if (dies) raise(SIGKILL);
      char c;
      if (read(wait[0], &c, 1) < 0) _exit(4);
      RemoveTemporarySubfolder();
      _exit(0);
    }
    close(ready[1]);
    close(wait[0]);
    char name[64] = {};
    EXPECT_EQ(read(ready[0], name, sizeof name - 1), 10);
    close(ready[0]);
    if (dies) {
      waitpid(pid, nullptr, 0);
      close(wait[1]);
    } else {
      *release = wait[1];
    }
    return std::make_pair(pid, shared / name);
  };
  int release = -1;
  const auto [livePid, live] = startOther(false, &release);
  const auto [deadPid, dead] = startOther(true, nullptr);
  fs::create_directories(shared / "run-nolock");  // died before making its lock file
  fs::create_directories(shared / "keep-me");     // not a process folder
  EXPECT_TRUE(fs::exists(dead / "swf-abcdef"));

  ASSERT_TRUE(CreateTemporarySubfolder(L"_brivane"));
  const fs::path mine = ownFolder();
  EXPECT_EQ(mine.parent_path(), shared);
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_FALSE(fs::exists(shared / "run-nolock"));
  EXPECT_TRUE(fs::exists(live / "swf-abcdef"));
  EXPECT_TRUE(fs::exists(shared / "keep-me"));
  EXPECT_NE(mine, live);
  EXPECT_EQ(fs::status(mine).permissions() & fs::perms::all, fs::perms::owner_all);

  // The running process ends and removes its own folder; this one stays.
  ASSERT_EQ(write(release, "x", 1), 1);
  close(release);
  int status = 0;
  waitpid(livePid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(fs::exists(live));
  EXPECT_TRUE(fs::exists(mine));
  RemoveTemporarySubfolder();
  EXPECT_FALSE(fs::exists(mine));
  EXPECT_TRUE(TemporarySubfolderName.empty());
  (void)deadPid;
}

TEST(PathLayerFolders, UntrustworthyTemporaryFolderIsRefused) {
  const std::string name = "brivane-" + std::to_string(geteuid());
  enum Kind { Symlink, OtherOwner, GroupReadable, PlainFile };
  for (Kind kind : {Symlink, OtherOwner, GroupReadable, PlainFile}) {
    ScratchDir dir;
    const std::string place = dir.str() + "/" + name;
    fs::create_directories(dir / "elsewhere");
    switch (kind) {
      case Symlink: fs::create_symlink(dir / "elsewhere", place); break;
      case OtherOwner:
        ASSERT_EQ(mkdir(place.c_str(), 0700), 0);
        if (geteuid() != 0) GTEST_SKIP() << "changing a folder's owner needs root";
        ASSERT_EQ(chown(place.c_str(), 12345, 12345), 0);
        break;
      case GroupReadable:
        ASSERT_EQ(mkdir(place.c_str(), 0700), 0);
        ASSERT_EQ(chmod(place.c_str(), 0750), 0);
        break;
      case PlainFile: testsupport::WriteFile(place, "x"); break;
    }
    ScopedEnv tmp("TMPDIR", dir.str());
    EXPECT_EQ(GetTemporaryFolder(), PathString()) << kind;
    PathString out = L"junk";
    EXPECT_FALSE(GetTemporaryPath(out, L"t.swf", true)) << kind;
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(CreateTemporarySubfolder(L"_brivane")) << kind;
    EXPECT_TRUE(TemporarySubfolderName.empty());
    EXPECT_FALSE(fs::exists(dir / "elsewhere/_brivane")) << kind;
  }
}

TEST(PathLayerFiles, OpenFilePathRefusesEmptyPath) {
  EXPECT_EQ(OpenFilePath(L"", "rb"), nullptr);
  std::fstream s;
  EXPECT_FALSE(OpenStreamPath(L"", s, std::ios::in));
  EXPECT_EQ(OpenFilePath(L"/nonexistent-dir/x", L"rb"), nullptr);
}

TEST(PathLayerFiles, SiblingPath) {
  PathString out;
  EXPECT_TRUE(GetApplicationSiblingPath(out, L"Other App"));
  PathString parent;
  GetParentFolder(parent, GetApplicationBundlePath(), true);
  EXPECT_EQ(out, parent + L"Other App");
}

}  // namespace
