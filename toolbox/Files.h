#pragma once
// File-system stand-ins on POSIX: URLs of file paths, references to existing items, the
// catalog operations (create, delete, rename, Finder information, lock) and data and
// resource forks. Paths are UTF-8 bytes. Type, creator, Finder flags and resource forks are
// kept in the AppleDouble sidecar (AppleDouble.h), which follows its file through every
// rename and delete made here.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "toolbox/AppleDouble.h"
#include "toolbox/Types.h"

namespace toolbox {


// Result codes, with the platform's own numbers.
inline constexpr OSErr kDiskFullErr = -34;
inline constexpr OSErr kIoErr = -36;
inline constexpr OSErr kBadNameErr = -37;
inline constexpr OSErr kEofErr = -39;
inline constexpr OSErr kTooManyFilesErr = -42;
inline constexpr OSErr kFileNotFoundErr = -43;
inline constexpr OSErr kFileLockedErr = -45;
inline constexpr OSErr kFileBusyErr = -47;
inline constexpr OSErr kDuplicateNameErr = -48;
inline constexpr OSErr kBadRefNumErr = -51;
inline constexpr OSErr kPermissionErr = -54;
inline constexpr OSErr kFolderNotFoundErr = -120;
inline constexpr OSErr kResNotFoundErr = -192;
inline constexpr OSErr kNotAFileErr = -1302;
inline constexpr OSErr kCoreFoundationUnknownErr = -4960;

OSErr ErrorFromErrno(int error);

// Catalog node flags.
inline constexpr uint16_t kNodeLocked = 0x0001;
inline constexpr uint16_t kNodeIsFolder = 0x0010;

// How a path text is written: POSIX ('/' separators) or HFS ("Volume:Folder:File").
enum class PathStyle { Posix, Hfs };

// The name the start-up volume has in HFS paths; its HFS paths map to "/", any other
// volume's to "/Volumes/<name>/", as on a Mac.
inline constexpr std::string_view kStartupVolumeName = "Macintosh HD";

// A URL of a local file: its POSIX path and whether it has a folder form (ends with '/').
// An empty path is the null URL.
struct FileUrl {
  std::string path;
  bool isDirectory = false;
  bool IsNull() const { return path.empty(); }
  bool operator==(const FileUrl&) const = default;
};

// The URL of a path given in either style. A POSIX path keeps its text; isDirectory adds
// the folder form (a trailing '/'), and a path that already ends with '/' has it anyway.
// An HFS path ("Disk:Folder:File", "::" for a parent, trailing ':' for a folder) becomes
// the POSIX path it names. The empty path gives the null URL.
FileUrl MakeFileUrl(std::string_view path, PathStyle style, bool isDirectory);

// The file-system path of a URL without a trailing '/' (except for "/" itself).
std::string UrlFileSystemPath(const FileUrl& url);

// A reference to an existing item: its canonical absolute path (folders resolved, the last
// component kept as it is, so that a symbolic link is referenced itself). Empty when null.
struct FileRef {
  std::string path;
  bool IsNull() const { return path.empty(); }
  bool operator==(const FileRef&) const = default;
};

// The reference of the item a URL names; false when nothing is there (or the path is too
// long). A URL with a folder form only matches a folder.
bool GetFileRef(const FileUrl& url, FileRef& out);
bool GetFileRef(std::string_view absolutePath, FileRef& out);

// The URL of a reference; folders (also through a link) have the folder form.
FileUrl UrlFromFileRef(const FileRef& ref);

// Follows a chain of symbolic links from the item; false when the chain cannot be resolved.
bool ResolveLinks(const FileRef& ref, FileRef& out);

// The reference of the folder that contains the item (null for "/").
FileRef ParentRef(const FileRef& ref);

// The name of the item as the file system stores it.
std::string RefName(const FileRef& ref);

// A stand-in for the old file specification record: the volume, the parent folder's node
// id and the name, plus the parent folder's path through which the item is reached again.
struct FileSpec {
  uint64_t volume = 0;
  uint64_t parentId = 0;
  std::string name;
  std::string folder;  // absolute path of the parent folder, ending with '/'
  bool IsNull() const { return name.empty(); }
  std::string Path() const { return name.empty() ? std::string() : folder + name; }
  bool operator==(const FileSpec&) const = default;
};

// The file spec (folder and name) of an existing item, or of `name` inside an existing folder.
bool MakeFileSpec(const FileRef& ref, FileSpec& out);
bool MakeFileSpec(const FileRef& folder, std::string_view name, FileSpec& out);

struct CatalogInfo {
  uint16_t nodeFlags = 0;
  FinderInfo finderInfo;
  uint64_t volume = 0;
  uint64_t nodeId = 0;
  uint64_t dataLength = 0;
  uint64_t resourceLength = 0;
};

OSErr GetCatalogInfo(const FileRef& ref, CatalogInfo& out);

// A name that may become an entry in a folder: not empty, ".", "..", no '/', no NUL, and at
// most 255 bytes. Sidecar names ("._x") are refused as well, since they belong to the
// toolbox.
bool IsValidItemName(std::string_view name);

// Creates a folder (mode 0777 less the umask) or an empty file inside an existing folder.
// The file's Finder information is written to its sidecar when there is something to keep.
OSErr CreateFolder(const FileRef& parent, std::string_view name, FileRef* out);
OSErr CreateFile(const FileRef& parent, std::string_view name, const FinderInfo* info,
                 FileRef* out);

// Deletes a file or an empty folder together with its sidecar. A folder that is not empty
// gives kFileBusyErr.
OSErr DeleteObject(const FileRef& ref);

// Renames an item in its folder with one rename(2), which atomically replaces an existing
// file of the new name. The sidecar goes along; a replaced item's sidecar is removed.
OSErr RenameObject(const FileRef& ref, std::string_view newName, FileRef* out);

// Moves a file to another path with one rename(2), sidecar included (both paths absolute).
OSErr MovePath(const std::string& from, const std::string& to);

// Removes a file and its sidecar; kNoErr when nothing was there.
OSErr RemoveFile(const std::string& path);

// Temporary files that a clean-up may remove once their writer is gone. A new one is made
// from a pattern ending in "XXXXXX" and locked (flock) until it is closed; a clean-up takes
// only files whose lock it can take, and only while the name still is that file. The
// descriptor (-1 when none could be made) and the file's path.
int CreateLockedTemporary(const std::string& pattern, std::string& path);
// Opens the regular file at the path and takes its lock when no one holds it, while the name
// still is that file: the descriptor, holding the lock until it is closed, or -1.
int LockUnlockedFile(const std::string& path);
// Removes the file at the path when it is a regular file no one holds locked.
void RemoveUnlockedTemporary(const std::string& path);
// Whether the descriptor still is the file the path names.
bool IsFileAt(int fd, const std::string& path);

// Finder information (zero when there is no sidecar) and its update.
OSErr GetFinderInfo(const FileRef& ref, FinderInfo& out);
OSErr SetFinderInfo(const FileRef& ref, const FinderInfo& info);

// Locks (removes every write permission) or unlocks (gives the owner write permission).
OSErr SetLocked(const FileRef& ref, bool locked);

// Forks. A data fork is the file's own bytes; a resource fork lives in the sidecar and is
// written back when the fork is closed.
enum class ForkKind { Data, Resource };
inline constexpr int kForkRead = 1;
inline constexpr int kForkWrite = 2;
inline constexpr int kForkReadWrite = kForkRead | kForkWrite;
using ForkRefNum = int32_t;  // 0 is never a valid fork

// Opens a fork of an existing file; a folder is refused (kNotAFileErr). Writing does not
// truncate.
OSErr OpenFork(const FileRef& ref, ForkKind kind, int permission, ForkRefNum& out);
OSErr ReadFork(ForkRefNum fork, void* bytes, size_t count, size_t* done);
OSErr WriteFork(ForkRefNum fork, const void* bytes, size_t count, size_t* done);
OSErr SetForkPosition(ForkRefNum fork, uint64_t position);
OSErr GetForkPosition(ForkRefNum fork, uint64_t& position);
OSErr GetForkSize(ForkRefNum fork, uint64_t& size);
OSErr CloseFork(ForkRefNum fork);

}  // namespace toolbox
