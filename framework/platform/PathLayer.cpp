#include "framework/platform/PathLayer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "framework/platform/FileOps.h"
#include "framework/platform/WideText.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Folders.h"
#include "toolbox/Utf8.h"

PathString TemporarySubfolderName;
PathString HelpFilePath;

static_assert(kPathMaxBytes == PATH_MAX);

bool FitsPathMax(std::wstring_view path) { return toolbox::Utf8Size(path) < kPathMaxBytes; }

namespace {

std::string Native(const std::wstring& path) { return toolbox::WideToUtf8(path); }
PathString FromNative(const std::string& path) { return PathString(toolbox::Utf8ToWide(path)); }

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }


// Splits at the given separators, skipping empty components.
std::vector<std::wstring> Components(const std::wstring& path, bool backslashToo) {
  std::vector<std::wstring> parts;
  std::wstring part;
  for (wchar_t c : path) {
    if (c == L'/' || (backslashToo && c == L'\\')) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

// The POSIX text of a path: an HFS path is converted, a POSIX one kept as it is.
PathString PosixText(const PathString& path) {
  if (PathStyleOf(path) != toolbox::PathStyle::Hfs) return path;
  const toolbox::FileUrl url = PathToCFURL(path);
  PathString out = FromNative(url.path);
  if (url.isDirectory && out != L"/") out += L'/';
  return out;
}

// The exact item a path names (no parent fallback).
bool ExactRef(const PathString& path, toolbox::FileRef& ref) {
  if (path.empty()) return false;
  const toolbox::PathStyle style = PathStyleOf(path);
  const PathString p = style == toolbox::PathStyle::Hfs ? path : MakeAbsolutePath(path);
  return toolbox::GetFileRef(toolbox::MakeFileUrl(Native(p), style, false), ref);
}

toolbox::FolderReader& Listing() {
  static toolbox::FolderReader reader;
  return reader;
}
std::string& ListingFolder() {
  static std::string folder;
  return folder;
}

bool ListingChild(PathString& outPath, bool* outIsFolder) {
  std::string name;
  bool isFolder = false;
  while (Listing().Next(name, isFolder)) {
    toolbox::FileRef ref;
    if (!toolbox::GetFileRef(ListingFolder() + name, ref)) continue;  // gone meanwhile
    PathString path;
    if (!PathFromFSRef(path, ref)) continue;
    outPath = path;
    if (outIsFolder) *outIsFolder = isFolder;
    return true;
  }
  return false;
}

}  // namespace

// ---- PathList ----

void PathList::AddAbsolute(const PathString& path) {
  push_back(std::make_unique<PathString>(MakeAbsolutePath(path)));
}

void PathList::Sort() {
  std::stable_sort(begin(), end(), [](const auto& a, const auto& b) {
    PathString na, nb;
    GetPathFileName(na, *a, false);
    GetPathFileName(nb, *b, false);
    return CompareNoCase(na.c_str(), nb.c_str()) < 0;
  });
}

// ---- Text rules ----

toolbox::PathStyle PathStyleOf(const PathString& path) {
  if (!path.empty() && path.find(L"://") == std::wstring::npos &&
      path.find(L':') != std::wstring::npos && path.find(L'/') == std::wstring::npos)
    return toolbox::PathStyle::Hfs;
  return toolbox::PathStyle::Posix;
}

bool IsRelativePath(const PathString& path) { return !path.empty() && !IsSeparator(path[0]); }

PathString& EnsureTrailingSlash(PathString& path) {
  while (!path.empty() && IsSeparator(path.back())) path.pop_back();
  path.push_back(L'/');
  return path;
}

PathString MakeAbsolutePath(const PathString& path) {
  if (!IsRelativePath(path)) return path;
  return GetApplicationBundlePath() + path;
}

void AssignAbsolutePath(PathString& out, const PathString& path) { out = MakeAbsolutePath(path); }

bool AppendPathName(PathString& out, const PathString& name, const PathString& folder) {
  PathString f = folder;
  out = EnsureTrailingSlash(f) + name;
  return true;
}

bool JoinPath(PathString& out, const PathString& name, const PathString& folder) {
  return AppendPathName(out, name, MakeAbsolutePath(folder));
}

bool PathFromFSRefJoined(PathString& out, const PathString& name, const toolbox::FileRef& folder) {
  PathString folderPath;
  PathFromFSRef(folderPath, folder);
  return JoinPath(out, name, folderPath);
}

void NormalizePath(PathString& out, const PathString& storedPath, const PathString& baseDocument) {
  if (!IsRelativePath(storedPath)) {
    out = MakeAbsolutePath(storedPath);
    return;
  }
  const PathString base = MakeAbsolutePath(baseDocument);
  PathString result;
  if (IsFolder(base))
    result = base;
  else
    GetParentFolder(result, base, false);
  if (!result.empty() && IsSeparator(result.back())) result.pop_back();
  for (const std::wstring& part : Components(storedPath, true)) {
    if (part == L".") continue;
    if (part == L"..") {
      const size_t slash = result.find_last_of(L"/\\");
      result.erase(slash == std::wstring::npos ? 0 : slash);
      continue;
    }
    if (result.empty() || result.back() != L'/') result.push_back(L'/');
    result += part;
  }
  if (result.empty()) {
    out = L"/";
    return;
  }
  if (!FitsPathMax(result)) {
    out.clear();
    return;
  }
  if (IsFolder(result)) result = MakeAbsolutePath(EnsureTrailingSlash(result));
  out = result;
}

void MakeRelativePath(PathString& out, const PathString& baseDocument, const PathString& target) {
  const PathString base = MakeAbsolutePath(baseDocument);
  const PathString to = MakeAbsolutePath(target);
  out.clear();
  if (to.empty()) return;
  const size_t baseSlash = base.rfind(L'/');
  const size_t toSlash = to.rfind(L'/');
  const auto baseParts =
      Components(base.substr(0, baseSlash == std::wstring::npos ? 0 : baseSlash), false);
  auto toParts = Components(to.substr(0, toSlash == std::wstring::npos ? 0 : toSlash), false);
  const std::wstring fileName = toSlash == std::wstring::npos ? to.str() : to.substr(toSlash + 1);
  size_t common = 0;
  while (common < baseParts.size() && common < toParts.size() && baseParts[common] == toParts[common])
    ++common;
  std::vector<std::wstring> parts(baseParts.size() - common, L"..");
  parts.insert(parts.end(), toParts.begin() + static_cast<std::ptrdiff_t>(common), toParts.end());
  if (!fileName.empty()) parts.push_back(fileName);
  if (parts.empty()) {
    out = L".";
    return;
  }
  if (common == baseParts.size()) out = L"./";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += L'/';
    out += parts[i];
  }
}

bool PathsDiffer(const PathString& a, const PathString& b) {
  const PathString x = MakeAbsolutePath(a), y = MakeAbsolutePath(b);
  struct stat sx, sy;
  if (!x.empty() && !y.empty() && stat(Native(x).c_str(), &sx) == 0 &&
      stat(Native(y).c_str(), &sy) == 0)
    return sx.st_dev != sy.st_dev || sx.st_ino != sy.st_ino;
  return x != y;
}

void GetParentFolder(PathString& out, const PathString& path, bool trailingSlash) {
  if (path.empty()) {
    out.clear();
    return;
  }
  PathString p = PosixText(path);
  while (p.size() > 1 && p.back() == L'/') p.pop_back();
  const size_t slash = p.rfind(L'/');
  if (slash == std::wstring::npos) {
    // A single relative name: its folder has no text of its own.
    out.clear();
    return;
  }
  PathString parent = p.substr(0, slash);
  while (!parent.empty() && parent.back() == L'/') parent.pop_back();
  if (trailingSlash) EnsureTrailingSlash(parent);
  out = parent;
}

void GetPathFileName(PathString& out, const PathString& path, bool withoutExtension) {
  if (path.empty()) {
    out.clear();
    return;
  }
  PathString p = PosixText(path);
  while (p.size() > 1 && p.back() == L'/') p.pop_back();
  const size_t slash = p.rfind(L'/');
  PathString name = slash == std::wstring::npos || p == L"/" ? p.str() : p.substr(slash + 1);
  // The stored name of the item differs from the text only for "." and "..".
  toolbox::FileRef ref;
  if ((name == L"." || name == L"..") && ExactRef(p, ref)) name = FromNative(toolbox::RefName(ref));
  // The extension is cut from the name itself: cutting it from the path first would leave
  // "/a/" for "/a/.mp3", and then the folder's name would stand for the file's.
  if (withoutExtension) {
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
  }
  out = name;
}

void GetPathExtension(PathString& out, const PathString& path, bool withDot) {
  PathString name;
  GetPathFileName(name, path, false);
  const size_t dot = name.rfind(L'.');
  if (dot == std::wstring::npos)
    out.clear();
  else
    out = name.substr(withDot ? dot : dot + 1);
}

void ReplacePathExtension(PathString& path, const PathString& text) {
  // An HFS path separates its components with ':'; a '.' in a folder's name is no extension.
  const wchar_t separator = PathStyleOf(path) == toolbox::PathStyle::Hfs ? L':' : L'/';
  size_t end = path.size();
  while (end > 1 && path[end - 1] == separator) --end;
  const size_t slash = path.rfind(separator, end == 0 ? 0 : end - 1);
  const size_t start = slash == std::wstring::npos ? 0 : slash + 1;
  const size_t dot = path.rfind(L'.', end == 0 ? 0 : end - 1);
  size_t cut = end;
  if (dot != std::wstring::npos && dot >= start && dot < end) cut = dot;
  path = path.substr(0, cut) + text + path.substr(end);
}

void SetLastPathComponent(PathString& path, const PathString& name) {
  if (path.empty()) {
    path = name;
    return;
  }
  PathString folder = path;
  if (folder.back() != L'/') {
    const size_t slash = folder.rfind(L'/');
    if (slash == std::wstring::npos) {
      // A bare name has no folder text to keep.
      path = name;
      return;
    }
    folder.erase(slash + 1);
  }
  path = EnsureTrailingSlash(folder) + name;
}

// ---- Platform conversions and tests ----

toolbox::FileUrl PathToCFURL(const PathString& path) {
  return toolbox::MakeFileUrl(Native(path), PathStyleOf(path), false);
}

void PathFromCFURL(PathString& out, const toolbox::FileUrl& url) {
  if (url.IsNull()) return;
  out = FromNative(toolbox::UrlFileSystemPath(url));
  if (url.isDirectory) EnsureTrailingSlash(out);
}

bool PathExists(const PathString& path) {
  toolbox::FileRef ref;
  return !path.empty() && toolbox::GetFileRef(PathToCFURL(path), ref);
}

bool PathIsDirectoryURL(const PathString& path) {
  return !path.empty() && PathToCFURL(path).isDirectory;
}

bool IsFolder(const PathString& path) {
  toolbox::FileRef ref;
  if (!ExactRef(path, ref)) return false;
  struct stat st;
  return stat(ref.path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathToFSRef(const PathString& path, toolbox::FileRef& out) {
  out = toolbox::FileRef();
  const toolbox::PathStyle style = PathStyleOf(path);
  // An HFS path names its volume, so it is absolute already.
  PathString p = style == toolbox::PathStyle::Hfs ? path : MakeAbsolutePath(path);
  if (p.empty()) return false;
  const bool folder = p.back() == L'/';
  if (folder && p.size() > 1) p.pop_back();
  const std::string native = Native(p);
  if (toolbox::GetFileRef(toolbox::MakeFileUrl(native, style, folder), out)) return true;
  if (toolbox::GetFileRef(toolbox::MakeFileUrl(native, style, !folder), out)) return true;
  PathString parent;
  GetParentFolder(parent, p, true);
  if (parent.empty()) return false;
  return toolbox::GetFileRef(toolbox::MakeFileUrl(Native(parent), toolbox::PathStyle::Posix, true), out);
}

bool GetParentFSRef(const PathString& path, toolbox::FileRef& out) {
  PathString parent;
  GetParentFolder(parent, path, true);
  if (parent.size() > 1) parent.pop_back();
  return PathToFSRef(parent, out);
}

bool PathToFSSpec(const PathString& path, toolbox::FileSpec& out) {
  out = toolbox::FileSpec();
  if (path.empty()) return false;
  toolbox::FileRef ref;
  if (ExactRef(path, ref)) return toolbox::MakeFileSpec(ref, out);
  toolbox::FileRef parent;
  PathString name, folder;
  GetPathFileName(name, path, false);
  GetParentFolder(folder, MakeAbsolutePath(path), true);
  if (!IsFolder(folder) || !ExactRef(folder, parent)) return false;
  return toolbox::MakeFileSpec(parent, Native(name), out);
}

bool PathFromFSRef(PathString& out, const toolbox::FileRef& ref) {
  if (ref.IsNull()) return false;
  toolbox::FileRef item = ref;
  toolbox::FileRef resolved;
  if (toolbox::ResolveLinks(ref, resolved)) item = resolved;
  PathFromCFURL(out, toolbox::UrlFromFileRef(item));
  return true;
}

FILE* OpenFilePath(const PathString& path, const char* mode) {
  const std::string native = Native(path);
  if (native.empty() || !FitsPathMax(native) || native.find('\0') != std::string::npos || !mode)
    return nullptr;
  return std::fopen(native.c_str(), mode);
}

FILE* OpenFilePath(const PathString& path, const wchar_t* mode) {
  return mode ? OpenFilePath(path, Native(mode).c_str()) : nullptr;
}

namespace {
template <typename Stream>
bool OpenStream(const PathString& path, Stream& stream, std::ios::openmode openMode) {
  const std::string native = Native(path);
  if (native.empty() || !FitsPathMax(native) || native.find('\0') != std::string::npos)
    return false;
  stream.open(native, openMode);
  return stream.is_open();
}
}  // namespace

bool OpenStreamPath(const PathString& path, std::fstream& stream, std::ios::openmode openMode) {
  return OpenStream(path, stream, openMode);
}
bool OpenStreamPath(const PathString& path, std::ifstream& stream, std::ios::openmode openMode) {
  return OpenStream(path, stream, openMode);
}
bool OpenStreamPath(const PathString& path, std::ofstream& stream, std::ios::openmode openMode) {
  return OpenStream(path, stream, openMode);
}

// ---- Special folders ----

PathString GetApplicationSupportFolder(int domain) {
  toolbox::FolderDomain d = toolbox::FolderDomain::User;
  switch (domain) {
    case kSupportDomainSystem: d = toolbox::FolderDomain::System; break;
    case kSupportDomainLocal: d = toolbox::FolderDomain::Local; break;
    case kSupportDomainNetwork: d = toolbox::FolderDomain::Network; break;
    case kSupportDomainClassic: d = toolbox::FolderDomain::Classic; break;
    default: break;
  }
  return FromNative(toolbox::FindFolder(d, toolbox::FolderKind::ApplicationSupport, true));
}

PathString GetDesktopFolder() {
  return FromNative(toolbox::FindFolder(toolbox::FolderDomain::User, toolbox::FolderKind::Desktop, false));
}

PathString GetTemporaryFolder() {
  return FromNative(toolbox::FindFolder(toolbox::FolderDomain::User, toolbox::FolderKind::Temporary, true));
}

PathString GetApplicationBundlePath() { return FromNative(toolbox::ApplicationFolder()); }

bool GetApplicationSiblingPath(PathString& out, const PathString& name) {
  static const PathString container = [] {
    PathString folder;
    GetParentFolder(folder, GetApplicationBundlePath(), true);
    return folder;
  }();
  out = container + name;
  return true;
}

bool GetSupportFolderPath(PathString& out, const PathString& relName, int domain) {
  const PathString folder = GetApplicationSupportFolder(domain);
  if (folder.empty()) {
    out.clear();
    return false;
  }
  out = folder + relName;
  return true;
}

bool GetTemporaryPath(PathString& out, const PathString& name, bool inSubfolder) {
  const PathString folder = GetTemporaryFolder();
  if (folder.empty()) {
    // Without a trusted temporary folder the name alone would be a relative path.
    out.clear();
    return false;
  }
  out = folder;
  if (inSubfolder && !TemporarySubfolderName.empty()) out += TemporarySubfolderName + L"/";
  out += name;
  return true;
}

namespace {

// This process's own folder inside the shared temporary subfolder, and the descriptor of the
// lock file that marks it as in use (-1 when there is none).
struct OwnTemporaryFolder {
  std::string path;
  int lock = -1;
};

OwnTemporaryFolder& OwnTemporary() {
  static OwnTemporaryFolder folder;
  return folder;
}

constexpr std::string_view kRunFolderPrefix = "run-";
constexpr size_t kRunFolderRandom = 6;
constexpr char kLockFileName[] = "/lock";

bool IsRealFolder(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Whether the descriptor still is the file the path names.
bool IsFileAt(int fd, const std::string& path) {
  struct stat byFd, byPath;
  return fstat(fd, &byFd) == 0 && lstat(path.c_str(), &byPath) == 0 &&
         byFd.st_dev == byPath.st_dev && byFd.st_ino == byPath.st_ino;
}

// Removes the folders of processes that are gone: their lock can be taken. A folder without
// a lock file is taken too (its lock file is made here): its process died before making one,
// or is making one now, and then finds it taken and makes another folder.
void RemoveAbandonedRunFolders(const std::string& shared) {
  std::vector<std::string> folders;
  if (DIR* dir = opendir(shared.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string_view name = entry->d_name;
      if (name.size() == kRunFolderPrefix.size() + kRunFolderRandom && name.starts_with(kRunFolderPrefix))
        folders.push_back(shared + "/" + std::string(name));
    }
    closedir(dir);
  }
  for (const std::string& folder : folders) {
    if (!IsRealFolder(folder)) continue;
    const std::string lockPath = folder + kLockFileName;
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) continue;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && IsFileAt(fd, lockPath)) {
      std::error_code ignored;
      std::filesystem::remove_all(folder, ignored);
    }
    close(fd);
  }
}

}  // namespace

bool CreateTemporarySubfolder(const PathString& name) {
  RemoveTemporarySubfolder();
  const PathString folder = GetTemporaryFolder();
  if (folder.empty() || name.empty()) return false;
  const std::string shared = Native(folder + name);
  if (mkdir(shared.c_str(), 0700) != 0 && errno != EEXIST) return false;
  if (!IsRealFolder(shared)) return false;
  RemoveAbandonedRunFolders(shared);
  // The lock file is made exclusively and then locked; a clean-up that took the folder in
  // between (it found no lock file, or took the lock first) leaves it to that clean-up.
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string own = shared + "/" + std::string(kRunFolderPrefix) + std::string(kRunFolderRandom, 'X');
    if (!mkdtemp(own.data())) return false;
    const std::string lockPath = own + kLockFileName;
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST || errno == ENOENT) continue;
      rmdir(own.c_str());
      return false;
    }
    // A file system without locks keeps the folder unlocked: no clean-up can take it there.
    const bool locked = flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
    if (locked && IsFileAt(fd, lockPath) && IsRealFolder(own)) {
      OwnTemporary() = {own, fd};
      TemporarySubfolderName = name + L"/" + FromNative(own.substr(shared.size() + 1));
      return true;
    }
    close(fd);
  }
  return false;
}

void RemoveTemporarySubfolder() {
  OwnTemporaryFolder& own = OwnTemporary();
  if (own.lock >= 0) {
    // Removed while still locked, so that no other process's clean-up works on it meanwhile.
    std::error_code ignored;
    std::filesystem::remove_all(own.path, ignored);
    close(own.lock);
  }
  own = OwnTemporaryFolder{};
  TemporarySubfolderName.clear();
}

// ---- Folder listing ----

bool FirstFolderEntry(const PathString& folder, PathString& outPath, bool* outIsFolder) {
  toolbox::FileRef ref;
  Listing().Close();
  if (!ExactRef(folder, ref)) return false;
  toolbox::FileRef resolved;
  if (toolbox::ResolveLinks(ref, resolved)) ref = resolved;
  ListingFolder() = ref.path == "/" ? ref.path : ref.path + "/";
  if (!Listing().Open(ListingFolder())) return false;
  return ListingChild(outPath, outIsFolder);
}

bool NextFolderEntry(PathString& outPath, bool* outIsFolder) {
  return Listing().IsOpen() && ListingChild(outPath, outIsFolder);
}

bool CloseFolderIterator() { return Listing().Close(); }
