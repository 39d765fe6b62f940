#pragma once
// The logging passthrough FUSE file system (tests/framework/platform/fuse_passthrough.cpp),
// mounted for the tests of code that must work through FUSE.
#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <string>

// How the passthrough is mounted.
struct FuseMountOptions {
  // Whether items show the backing inode numbers (libfuse's use_ino), which the copy's
  // journals record. Without it they show libfuse's own node numbers. Either way libfuse
  // gives each name a node of its own, so that two hard links of one file are two files to
  // the kernel, with locks and attributes of their own.
  bool useIno = true;
  // Whether a name goes at once when it is removed while its file is open (libfuse's
  // hard_remove); without, libfuse renames it to ".fuse_hidden..." until the file is closed.
  bool hardRemove = false;
  // How many seconds the kernel keeps attributes and names before it asks again
  // (attr_timeout and entry_timeout); below zero, libfuse's own (one second).
  double cacheSeconds = -1;
  // Whether the server takes renames with flags (RENAME_NOREPLACE); without, it refuses them
  // with EINVAL, as many FUSE servers do.
  bool renameFlags = true;
  // More -o options, e.g. "uid=65534,umask=044" to show every item under another owner.
  std::string extra = "";
};

// The passthrough mounted over `backing` at `root`, for every user, while it lives. It logs
// the flushes it is asked for to `log`. `mounted` says whether it is; where not, `why`.
struct FusePassthrough {
  FusePassthrough(const std::filesystem::path& backing, const std::filesystem::path& root,
                  const std::filesystem::path& log, FuseMountOptions options = {});
  ~FusePassthrough();
  FusePassthrough(const FusePassthrough&) = delete;
  FusePassthrough& operator=(const FusePassthrough&) = delete;
  // Mounts it again with the same options, so that the kernel forgets what it cached.
  bool Remount();
  void Unmount();
  // The flushes of files ("fsync") or folders ("fsyncdir") whose path holds `part`, as the
  // server heard them.
  size_t FlushesOf(const std::string& kind, const std::string& part) const;

  std::filesystem::path backing, root, log;
  FuseMountOptions options;
  pid_t server = -1;
  bool mounted = false;
  std::string why;

 private:
  bool Mount();
};
