#pragma once
// The path layer: how paths are written and taken apart, how a path turns into a file
// reference or URL and back, where the special folders are, and how a folder is listed.
// Paths are POSIX style ('/'); resolution of stored relative paths also accepts '\'. Every
// path reaches the operating system as UTF-8.
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/platform/PathString.h"
#include "toolbox/Files.h"

// A vector of owned paths.
class PathList : public std::vector<std::unique_ptr<PathString>> {
 public:
  PathList() = default;
  PathList(const PathList&) = delete;
  PathList& operator=(const PathList&) = delete;
  ~PathList() { Clear(); }

  void Clear() { clear(); }
  // Appends the absolute form of the path.
  void AddAbsolute(const PathString& path);
  // Sorts by file name, ignoring case.
  void Sort();
};

// Set by CreateTemporarySubfolder ("<name>/<this process's folder>"); empty until then and
// after RemoveTemporarySubfolder.
extern PathString TemporarySubfolderName;
// The help book's file, stored and read by the help service.
extern PathString HelpFilePath;

// ---- Text rules (no file-system access unless stated) ----

// The system takes no path whose UTF-8 form reaches PATH_MAX bytes (its terminator
// included): such a text names no file, and is refused where a path is set or read.
inline constexpr size_t kPathMaxBytes = 4096;
// Whether the path's UTF-8 form is shorter than kPathMaxBytes; measured without a copy.
bool FitsPathMax(std::wstring_view path);
inline bool FitsPathMax(std::string_view utf8Path) { return utf8Path.size() < kPathMaxBytes; }

// HFS only for a non-empty path without "://" that has a ':' and no '/'.
toolbox::PathStyle PathStyleOf(const PathString& path);
// Non-empty and not starting with '/' or '\'.
bool IsRelativePath(const PathString& path);
// Removes every trailing '/' and '\', then appends one '/'.
PathString& EnsureTrailingSlash(PathString& path);
// A relative path is put under the application's folder; others are returned unchanged.
PathString MakeAbsolutePath(const PathString& path);
void AssignAbsolutePath(PathString& out, const PathString& path);
bool AppendPathName(PathString& out, const PathString& name, const PathString& folder);
bool JoinPath(PathString& out, const PathString& name, const PathString& folder);
bool PathFromFSRefJoined(PathString& out, const PathString& name, const toolbox::FileRef& folder);

// Resolves a path stored in a document against that document. A result that would not fit
// in PATH_MAX bytes is refused with the empty string (a truncated path names another file).
void NormalizePath(PathString& out, const PathString& storedPath, const PathString& baseDocument);
// The relative form of `target` seen from the document's folder: "./x", "../x" or ".".
void MakeRelativePath(PathString& out, const PathString& baseDocument, const PathString& target);
// Whether two paths name different items: when both exist, by device and inode; otherwise
// by their absolute text, exactly (Linux file names are case-sensitive).
bool PathsDiffer(const PathString& a, const PathString& b);

void GetParentFolder(PathString& out, const PathString& path, bool trailingSlash);
void GetPathFileName(PathString& out, const PathString& path, bool withoutExtension);
void GetPathExtension(PathString& out, const PathString& path, bool withDot);
void ReplacePathExtension(PathString& path, const PathString& text);
void SetLastPathComponent(PathString& path, const PathString& name);

// ---- Platform conversions and tests ----

toolbox::FileUrl PathToCFURL(const PathString& path);
// A null URL leaves `out` unchanged.
void PathFromCFURL(PathString& out, const toolbox::FileUrl& url);
bool PathExists(const PathString& path);
bool PathIsDirectoryURL(const PathString& path);
bool IsFolder(const PathString& path);
// The reference of the item, or of its parent folder when the item is missing (so that it
// can be created there); false and a null reference when neither exists.
bool PathToFSRef(const PathString& path, toolbox::FileRef& out);
bool GetParentFSRef(const PathString& path, toolbox::FileRef& out);
bool PathToFSSpec(const PathString& path, toolbox::FileSpec& out);
// The item's path with links resolved; folders end with '/'. False for a null reference.
bool PathFromFSRef(PathString& out, const toolbox::FileRef& ref);
FILE* OpenFilePath(const PathString& path, const wchar_t* mode);
FILE* OpenFilePath(const PathString& path, const char* mode);
bool OpenStreamPath(const PathString& path, std::fstream& stream, std::ios::openmode openMode);
bool OpenStreamPath(const PathString& path, std::ifstream& stream, std::ios::openmode openMode);
bool OpenStreamPath(const PathString& path, std::ofstream& stream, std::ios::openmode openMode);

// ---- Special folders (each ends with '/'; empty when unavailable) ----

inline constexpr int kSupportDomainSystem = 0;
inline constexpr int kSupportDomainLocal = 1;
inline constexpr int kSupportDomainUser = 2;
inline constexpr int kSupportDomainNetwork = 3;
inline constexpr int kSupportDomainClassic = 4;

PathString GetApplicationSupportFolder(int domain);
PathString GetDesktopFolder();
// The private per-user temporary folder; empty when it cannot be trusted.
PathString GetTemporaryFolder();
PathString GetApplicationBundlePath();
bool GetApplicationSiblingPath(PathString& out, const PathString& name);
bool GetSupportFolderPath(PathString& out, const PathString& relName, int domain);
// False (and `out` empty) when there is no usable temporary folder.
bool GetTemporaryPath(PathString& out, const PathString& name, bool inSubfolder);
// Makes the subfolder `name` of the temporary folder and, inside it, this process's own
// folder, held with a lock for the life of the process, so that two copies of the
// application never touch each other's temporary files; GetTemporaryPath with inSubfolder
// then names files in that own folder. Folders that processes now gone left behind are
// removed first. False (and the name empty) when the folders cannot be made.
bool CreateTemporarySubfolder(const PathString& name);
// Removes this process's own temporary folder with everything in it (at exit).
void RemoveTemporarySubfolder();

// ---- Folder listing (one listing at a time, process-wide) ----

bool FirstFolderEntry(const PathString& folder, PathString& outPath, bool* outIsFolder = nullptr);
bool NextFolderEntry(PathString& outPath, bool* outIsFolder = nullptr);
bool CloseFolderIterator();
