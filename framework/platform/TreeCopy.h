#pragma once
// Copies a file or a whole folder tree into a folder (its removal is in TreeRemoval.h). Every
// item keeps its data, its sidecar (type, creator, Finder flags, resource fork), its
// permissions and its times. Symbolic links are copied as links: never followed, so nothing
// outside the tree is read. Both trees are reached through descriptors of their folders, never
// through a link, so that names another user renames or swaps meanwhile never lead the copy
// elsewhere. Names are taken as the file system gives them (bytes), so an item whose name is
// not UTF-8 is copied like any other.
//
// A copy that fails part-way leaves nothing under the target's name, also when its process
// dies: the copy is made beside the target under a temporary name and put in place when whole;
// what a copy that died left beside its target is removed (or an old item moved aside gets its
// name back) by the next copy into that folder, through a journal that the same user's copy
// wrote (see CopyJournal.h), which names those items by inode (in a folder its user may write
// but not read, which cannot be listed, only by the next copy to the same target, through a
// journal whose name derives from the target's). A copy that reported success is on the disk
// (its files and folders are flushed before it takes the target's name, and an old item it
// replaced is removed only once the swap is flushed too, also in a folder its user may write
// but not read), so a power cut then or at any moment before leaves the old item or the new
// one whole. Where one flush of the whole file system (syncfs) is known to reach the disk
// (ext4, xfs, btrfs, tmpfs), the copy is flushed so, at once; elsewhere (FUSE, whose server
// hears of syncfs only if it asked to; NFS and the like) each file and folder is flushed by
// itself. syncfs reports the errors of writing back only from Linux 5.8 on: before, a copy
// flushed so that met a write error on its way to the disk can report success. Where the
// destination's file system takes no lock, the copy is refused before anything is made, as
// nothing would keep two copies apart or tell a running copy from one that died; so is a copy
// into a folder whose lock cannot be taken.
//
// Only a regular file in the AppleDouble format is a sidecar ("._name" beside "name"); a
// folder, a link or another file under such a name is an ordinary item, copied as one. A
// sidecar under the target's sidecar name without its item belongs to no item the copy may
// replace: the copy is refused before any work, as it is when an ordinary item stands where
// its own sidecar must go. A copy whose name is too long to take the "._" of a sidecar is made
// without one, as a move leaves it none.
#include <cstddef>
#include <string>

#include "framework/platform/FileOps.h"
#include "framework/platform/PathString.h"
#include "framework/platform/TreeRemoval.h"
#include "toolbox/Files.h"

using OSErr = toolbox::OSErr;

inline constexpr OSErr kCopyIntoItselfErr = -1234;
inline constexpr OSErr kNotAFolderErr = -1407;

// Whether a copy onto a file system of this type (statfs's f_type) is flushed as a whole by
// one syncfs; false where each of its files and folders is flushed by itself.
bool CopyFlushesWholeFileSystem(long type);

// The buffer a copy moves bytes through.
inline constexpr size_t kCopyBufferSize = 262144;

// Copies the item at `source` into `destinationFolder`, named `newName` when one is given.
// dupeAction 0 fails when an item of that name exists there; 1 replaces it (the old item
// is deleted only once the new one is in place, and keeps its name when the copy fails).
// `outPath`, when given, receives the copy's path. True on success; false also when the
// copy is complete but the old item it replaced could not be wholly removed: what is left
// of that item stays beside the copy under a hidden name starting ".DeleteMe-".
bool CopyPath(const PathString& source, const PathString& destinationFolder,
              const PathString* newName, int dupeAction, PathString* outPath);

// The copy on references, with a file-system result (0 success): kParamErr for a null
// reference, kNotAFolderErr when the destination is not a folder, kCopyIntoItselfErr for a
// folder copied into itself or a folder inside it (the destination's real ancestors, not its
// path, compared with the source by device and inode), kDuplicateNameErr for a name clash
// with dupeAction 0 (or a sidecar in the way, see above), kCannotLockFolderErr when the
// destination folder cannot be locked, kItemChangedErr when a name the copy checked or made
// held another object a moment later (another user renamed or swapped it).
// When the replaced item cannot be wholly removed, the copy stays in place, `outRef` names
// it, and the removal's failure is the result.
OSErr CopyObjectRecursive(const toolbox::FileRef& source, const toolbox::FileRef& destinationFolder,
                          const std::string* newName, int dupeAction, toolbox::FileRef* outRef);

// Copies every fork of one file: its data and its sidecar.
OSErr CopyAllForks(const std::string& source, const std::string& destination);
// Copies the rest of one open file to another through the buffer.
OSErr CopyForkData(int sourceFd, int destinationFd, char* buffer, size_t size);
