#pragma once
// The journal of a recursive copy, and the recovery of copies whose process died.
//
// A copy is made beside its target under a temporary name and put in place when whole, so
// that no crash leaves a part of it, or no item at all, under the target's name. Each copy
// keeps a journal in the destination folder, ".copying-XXXXXX", locked while the copy runs;
// beside it the copy's items have names of their own:
//   ".copying-XXXXXX.item"  the new item while it is made (after a swap, the old one);
//   ".DeleteMe-XXXXXX"      the old item once the new one is in place, until it is removed.
// The journal holds a header line; the journal's own inode number, the inode numbers of the
// new item (written as soon as it exists), of its sidecar, of the old item and of the old
// item's sidecar (written just before the swap), and where the swap stands; a seal; then the
// target's name. A later copy into the folder finishes or undoes what a copy that died left
// (RecoverAbandonedCopies), acting only on items whose inodes are still the ones its journal
// names, on the journal's file system. That the journal is still the file of the inode it
// names shows that its numbers are this file system's: a disk mounted again after a power
// cut often comes back under another device number, with the same inodes.
//
// Only a journal that this user's own copy wrote is ever acted on. Files can be copied in,
// so neither a journal's owner nor its bytes show who wrote it: the journal is sealed with a
// key that only its user can read (kept in the user's private state folder), over its bytes,
// its name and its folder's real path. A journal without a valid seal (an earlier build's,
// or one written where the user has no private state folder) is trusted only in a folder no
// other user may write, and only when it is the user's own file with one name that no one
// else may write.
//
// On a file system whose inode numbers change from mount to mount (FUSE without its own
// inode numbers), a sealed journal no longer names its own inode once the file system is
// mounted again. In a folder no other user may write, its items are then known by their
// names, which only its copy used.
//
// A copy's journal takes, where it is free, one of a few names derived from its user and its
// target's name, so that in a folder that cannot be listed (one its user may write but not
// read) the next copy to the same target finds what a copy that died left.
//
// Every item is reached through a descriptor of the destination folder, and removed only
// while it is the object the journal names (device and inode), so that names another user
// renames or swaps in the folder never turn the recovery onto anything else.
#include <sys/stat.h>
#include <sys/types.h>

#include <string>

#include "toolbox/Files.h"

using OSErr = toolbox::OSErr;

namespace copyjournal {

// Where the swap of the new item with the target stands.
enum Placement : unsigned long long { kNotPlaced = 0, kPlaced = 1, kPlacing = 2 };

struct Journal {
  int folder = -1;          // the destination folder (not owned)
  std::string folderPath;   // its real path, which the seal names
  std::string suffix;       // the journal's random part
  std::string target;       // the target's name
  unsigned long long self = 0, newItem = 0, newSidecar = 0, oldItem = 0, oldSidecar = 0, placed = kNotPlaced;
  dev_t device = 0;         // where its items are: the journal's own file system
  unsigned long long journalInode = 0;  // the journal file's inode, as opened
  uid_t owner = 0;          // the owner the file system shows for this user's files
  bool byName = false;      // an earlier format whose items are those under its names
  bool renumbered = false;  // its items are known by their names (see the header comment)

  std::string Name() const;      // ".copying-XXXXXX"
  std::string Item() const;      // ".copying-XXXXXX.item"
  std::string Old() const;       // ".DeleteMe-XXXXXX"
  // Whether the entry `name` of the folder is the item of that inode on the journal's device.
  bool Holds(const std::string& name, unsigned long long inode) const;
};

// The name of the sidecar of the item `name`; empty where the name is too long to take one.
std::string SidecarName(const std::string& name);

// The inode of the folder's entry `name`, without following a link; 0 when there is none.
unsigned long long InodeAt(int folder, const std::string& name);

// Makes and locks this copy's journal in `j.folder` (under a name derived from the target
// where one is free, else under a random one): its descriptor, with `j`'s suffix, journal
// inode and device set; -1 with `err` set when none can be made. A file system that takes no
// lock refuses the copy here, before anything is made: a copy that no lock marks as running
// would be taken for one that died.
int CreateJournal(Journal& j, OSErr& err);

// Writes the journal (sealed where the user has a key) over its previous text.
bool WriteJournal(int fd, const Journal& j);

// Removes one of a copy's own items, when it is one the journal names (or, named by no
// inode yet, an empty item its copy had only just made), with its sidecar where that is one
// the journal names (or, with no new sidecar named, a file this user's copy could have made).
OSErr RemoveOwnItem(const Journal& j, const std::string& name);

// Gives the item now under the target's name its own sidecar: the new item's is exchanged
// with the old one's (which then stands beside the old item, and goes with it), or the old
// one's goes when the new item has none. Nothing else under the sidecar's name is replaced.
// Safe to repeat.
OSErr SettleSidecars(const Journal& j);

// Removes what a journal's copy leaves beside the target: the temporary item and the old
// item. The journal goes last, once nothing of it is left.
OSErr RemoveCopyItems(const Journal& j);

// Recovers every copy into the folder whose process died: the journals of this user whose
// lock can be taken, each while it is held, and while the folder's lock is. In a folder that
// cannot be listed, the journals found are those of copies to `target` by their names.
void RecoverAbandonedCopies(int folder, const std::string& folderPath, const std::string& target);

// Whether some user other than this one (and root) may write the folder: its owner, its
// group or others by the mode, or a user or group of its ACL (whose permissions the mode's
// group bits then mask).
bool OthersMayWrite(const struct stat& folder);

}  // namespace copyjournal
