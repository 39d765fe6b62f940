#pragma once
// File-system operations by path and by reference: folders, typed files, delete, rename,
// unique and backup names, Finder information, forks, and the safe saving of documents.
// Every operation reports success as bool; names reach the system as UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/platform/PathLayer.h"
#include "framework/platform/PathString.h"
#include "toolbox/Files.h"

using OSType = toolbox::OSType;
using OSErr = toolbox::OSErr;
using FSIORefNum = toolbox::ForkRefNum;

// A Finder location: the icon's position in its window (vertical, horizontal).
struct FinderPoint {
  int16_t v = 0;
  int16_t h = 0;
};

// What a new file is created with. Without a record: "????"/"????", visible, unlocked.
struct FileCreateInfo {
  OSType creator = toolbox::kUnknownOSType;
  OSType type = toolbox::kUnknownOSType;
  uint8_t invisible = 0;
  uint8_t locked = 0;
};

inline constexpr uint16_t kFinderFlagInvisible = toolbox::kFinderFlagInvisible;
inline constexpr uint16_t kFinderFlagHasBundle = toolbox::kFinderFlagHasBundle;
inline constexpr uint16_t kNodeFlagLocked = toolbox::kNodeLocked;
inline constexpr uint16_t kNodeFlagFolder = toolbox::kNodeIsFolder;

// Mask bits of FinderInfoRecord.
inline constexpr uint32_t kFinderInfoType = 1;
inline constexpr uint32_t kFinderInfoCreator = 2;
inline constexpr uint32_t kFinderInfoFlags = 4;
inline constexpr uint32_t kFinderInfoLocation = 8;
inline constexpr uint32_t kFinderInfoReserved = 16;

struct FinderInfoRecord {
  uint32_t mask = 0;
  OSType type = 0;
  OSType creator = 0;
  uint16_t finderFlags = 0;
  FinderPoint location;
  uint16_t reserved = 0;
};

// Mask bits of FinderInfoRecordAlt.
inline constexpr uint32_t kFinderInfoAltTypeAndCreator = 1;
inline constexpr uint32_t kFinderInfoAltFlags = 2;
inline constexpr uint32_t kFinderInfoAltLocation = 4;

struct FinderInfoRecordAlt {
  uint32_t mask = 0;
  uint16_t finderFlags = 0;
  OSType type = 0;
  OSType creator = 0;
  FinderPoint location;
  uint16_t reserved = 0;
};

// Fork permissions, tested in this order; the first one set wins.
inline constexpr int kForkPermissionRead = 2;
inline constexpr int kForkPermissionWrite = 4;
inline constexpr int kForkPermissionReadWrite = 8;

// One fork of one file, opened by path.
class ForkFile {
 public:
  ForkFile() = default;
  // Closes a fork that is still open, so that no descriptor is left behind.
  ~ForkFile();
  ForkFile(const ForkFile&) = delete;
  ForkFile& operator=(const ForkFile&) = delete;

  bool SetPath(const PathString& path);
  bool OpenDataFork(int permission);
  bool OpenResourceFork(int permission);
  // Writes at the fork's position; returns the number of bytes written.
  size_t Write(const void* bytes, size_t count);
  bool CloseFork();
  void GetFinderInfo(FinderInfoRecord& record);
  void GetFinderInfoAlt(FinderInfoRecordAlt& record);
  bool SetFinderInfo(const FinderInfoRecord& record);
  bool SetFinderInfoAlt(const FinderInfoRecordAlt& record);
  bool SetHasBundle();

  OSErr LastError() const { return lastError_; }
  FSIORefNum Fork() const { return fork_; }

 private:
  bool OpenFork(toolbox::ForkKind kind, int permission);
  bool ReadInfo(toolbox::FinderInfo& info, toolbox::FileRef& ref);

  OSErr lastError_ = 0;
  FSIORefNum fork_ = 0;
  toolbox::FileUrl url_;
};

// ---- By path ----

bool CreateFolder(PathString& path);
bool DeletePath(const PathString& path, bool unlinkWhenBusy);
bool DeleteObjectRetryUnlock(const PathString& path, bool recursive);
// Renames in place with one rename(2): an existing sibling of that name is replaced
// atomically. Refuses "", ".", ".." and names with '/'. On success `path` names the item
// under its new name.
bool RenamePath(PathString& path, const PathString& newName);
bool RenameFile(const PathString& path, const PathString& newName);
bool RenameWithTilde(PathString& out, const PathString& path, bool replace);
bool MakeUniquePath(PathString& out, const PathString& path);
bool CreateFileWithInfo(const PathString& path, const FileCreateInfo* info, bool replace);
// The form the text-file and XML writers use: refuses a path with a folder form, and with
// `replace` deletes an existing item, going on so that creation fails if it is still there.
struct WriterForm {};
inline constexpr WriterForm kWriterForm{};
bool CreateFileWithInfo(const PathString& path, const FileCreateInfo* info, bool replace, WriterForm);
// Writes the preferred and minimum memory sizes into the 'SIZE' resource with id -1.
bool UpdateSizeResource(const toolbox::FileSpec& spec, uint32_t preferred, uint32_t minimum);

// ---- By reference ----

bool DeleteFSRef(const toolbox::FileRef& ref);
bool RenameFSRef(const toolbox::FileRef& ref, const PathString& newName);
bool SetInvisibleFlag(const toolbox::FileRef& ref, bool on);
bool SetFileLocked(const toolbox::FileRef& ref, bool on);
bool FSSpecFromFSRef(const toolbox::FileRef& ref, toolbox::FileSpec& outSpec);
bool ResolveAliasFile(toolbox::FileRef& out, const toolbox::FileRef& ref);
bool MakeFSRefForURL(toolbox::FileRef& outRef, const toolbox::FileUrl& url);
// Which fields of `catalogInfo` a new file takes.
inline constexpr uint32_t kCatInfoTextEncoding = 0x00000001;
inline constexpr uint32_t kCatInfoFinderInfo = 0x00000800;
bool CreateFileForURL(toolbox::FileRef& outRef, const toolbox::FileUrl& url, uint32_t whichInfo,
                      const toolbox::CatalogInfo& catalogInfo);
// In a length-prefixed name (name[0] is the length, 255 at most), replaces the text after the
// last '.' with the extension, or appends "." and the extension. The base name is shortened
// (never inside a UTF-8 character) so that the result fits in 255 bytes; false when even the
// extension alone cannot fit.
bool ReplacePascalExtension(unsigned char* name, const char* extension);

// A folder cannot be locked: its file system takes no lock (or none that keeps others out),
// or its lock file cannot be made or opened.
inline constexpr OSErr kCannotLockFolderErr = -5015;

// An exclusive lock on a folder, held until destruction: what changes several names in a
// folder as one step (a copy putting its item in place with its sidecar, a damaged
// preferences file moved aside and compared) holds it, so that two such steps never
// interleave. It is flock on the folder itself; where some user may write the folder but
// not read it, by its mode or its ACL (a drop box: that user cannot open it), or its file
// system takes no flock on it (NFS takes flock as an fcntl lock, which only a descriptor open
// for writing can hold), it is the lock of a file in the folder, kFolderLockName, taken
// through that name by every taker, its maker too (a file system may give each name of a file
// a node of its own, whose locks do not meet). The file is its maker's to write and every
// user's to read (a descriptor open for reading can lock it), or, where only a descriptor open
// for writing can lock it, every user's to write; it has no ACL. Where a second descriptor of
// the name could take the lock beside its holder, the file system's locks keep no one out and
// the lock is refused. Its holder removes the lock file when this take made it, and one of its
// own found there (a killed holder of its user left it) when it has no other name; any other
// file under the name, another user's or one that has other names too, is locked as it
// stands and stays: the lock never changes a file it did not make.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  // kNoErr while the lock is held; otherwise why it could not be taken.
  OSErr Error() const { return error_; }
  // Makes the folder's entries reach the disk: through the folder, or where it cannot be
  // opened, by flushing its whole file system.
  OSErr Flush() const;

 private:
  int folderFd_ = -1;
  int lockFd_ = -1;
  std::string lockPath_;
  bool made_ = false;  // whether this take made the lock file
  OSErr error_ = toolbox::kNoErr;
};
inline constexpr const char* kFolderLockName = ".brivane-folder-lock";

// ---- Safe saving ----

// Writes a document so that saving never loses the user's data:
//   SafeFileWriter w;
//   if (!w.Open(path, &info, true)) fail;   // makes a temporary file beside the target
//   w.Write(bytes, n) ...                     // every write is checked
//   if (!w.Commit()) fail;                    // flush, fsync, rename over the target
// The new file gets the given type and creator (without a record, the replaced file's
// Finder information is kept). Until Commit succeeds the target is untouched; a failed
// write, a failed Commit, Abandon or destruction without Commit removes the temporary file.
// A write past the process's file-size limit fails like one on a full disk where the
// program ignores or catches SIGXFSZ (the application does, see CatchFileSizeLimitSignal);
// the writer leaves the signal as the program set it.
class SafeFileWriter {
 public:
  SafeFileWriter() = default;
  ~SafeFileWriter() { Abandon(); }
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;

  // False when the target is a folder, exists while `replace` is false, or its folder
  // cannot take a temporary file.
  bool Open(const PathString& target, const FileCreateInfo* info, bool replace);
  // False once any write has failed; later writes are ignored.
  bool Write(const void* bytes, size_t count);
  // Overwrites `count` bytes at `offset` of what was written (a header completed once the
  // whole file is known); false, like Write, once any write has failed.
  bool WriteAt(uint64_t offset, const void* bytes, size_t count);
  bool Commit();
  void Abandon();

  bool IsOpen() const { return fd_ >= 0; }
  bool Failed() const { return failed_; }
  // The path being written (the target; a link is followed to its file).
  const PathString& TargetPath() const { return target_; }

  // Makes writes fail after `bytes` more bytes, as a full disk would (for tests).
  void FailWritesAfter(size_t bytes) { failAfter_ = bytes; }
  // A file that only this process reads back while it runs (an undo snapshot) need not
  // survive a crash: Commit still puts it in place whole, but does not wait for the disk.
  void SetDurable(bool durable) { durable_ = durable; }

 private:
  int fd_ = -1;
  bool failed_ = false;
  bool durable_ = true;
  bool haveInfo_ = false;
  FileCreateInfo info_;
  PathString target_;
  std::string targetNative_;
  std::string tempNative_;
  size_t failAfter_ = SIZE_MAX;
  // Written bytes not yet handed to the file.
  static constexpr size_t kBlockSize = 64 * 1024;
  bool FlushPending();
  std::string pending_;
};
