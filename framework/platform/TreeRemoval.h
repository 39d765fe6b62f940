#pragma once
// Deletes a file, a link, or a folder with everything in it, even when items in it are locked
// (a lock here is the absence of write permission), so that nothing but the item asked for is
// ever read, changed or deleted, also while another user who may write one of the folders
// involved renames or swaps names in it. Each folder is opened relative to the descriptor of
// the folder that holds it, never following a link, and checked to be the very folder first
// examined (device and inode); its owner's permissions are given to it through that
// descriptor where it lacks them, and it is listed and emptied through it, its subfolders in
// turn opened relative to it. No path is resolved again after the first step. An item that is
// no longer the one examined (its name now holds another object) is left alone and the
// removal reports it. Names are bytes, as the file system gives them.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "toolbox/Files.h"

using OSErr = toolbox::OSErr;

// The result when a name no longer holds the object first examined under it.
inline constexpr OSErr kItemChangedErr = toolbox::kFileBusyErr;

// Removes the entry `name` of the folder open as `folderFd` (any descriptor of the folder,
// O_PATH included) when it is still the object `expected` names (st_dev and st_ino, as an
// earlier lstat or fstatat gave them): a folder with its whole contents, or any other item.
// kNoErr once it is gone; kItemChangedErr, with nothing removed under the name, when the name
// holds another object (a folder inside that changes while it is emptied stops the removal
// the same way); the errno's result for other failures. The first failure stops the removal,
// leaving what was not yet removed. Sidecars are not looked at.
OSErr RemoveItemAt(int folderFd, const std::string& name, const struct stat& expected);

// The names in the folder open (for reading) as `fd`, as bytes, without "." and "..".
OSErr ListFolderAt(int fd, std::vector<std::string>& names);

// Whether the entry `name` of the folder `folderFd` is a sidecar: a regular file (opened
// without following a link, without blocking, never a pipe or device) that holds the
// AppleDouble format. `st`, when given, receives the file's status.
bool IsSidecarAt(int folderFd, const std::string& name, struct stat* st = nullptr);

// Deletes a file, a link, or a folder with its whole contents, each with its sidecar ("._name"
// beside it, when that is a sidecar); kParamErr for a null or missing reference.
OSErr DeleteObjectUnlocked(const toolbox::FileRef& ref);
// Deletes a folder with its whole contents and its sidecar; kFolderNotFoundErr when the item
// is not a folder (a link to a folder is not one).
OSErr DeleteFolderUnlocked(const toolbox::FileRef& ref);
// Deletes everything inside a folder, depth first. A folder being emptied first gets its
// owner's permissions. The first failure stops the deletion.
OSErr DeleteFolderContents(const toolbox::FileRef& ref);
