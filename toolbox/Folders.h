#pragma once
// Where the special folders are on a Linux desktop, the private temporary folder, and the
// listing of a folder. Paths are UTF-8 and every folder path ends with '/'.
#include <dirent.h>

#include <string>

namespace toolbox {

enum class FolderDomain { System, Local, Network, Classic, User };
enum class FolderKind { ApplicationSupport, Preferences, State, Desktop, Temporary };

// The folder of a kind in a domain, ending with '/'; empty when there is none.
// User domain: application support is $XDG_DATA_HOME (default ~/.local/share), preferences
// $XDG_CONFIG_HOME (default ~/.config), state kept between runs $XDG_STATE_HOME (default
// ~/.local/state), the desktop ~/Desktop (or the home folder when
// there is none), the temporary folder PrivateTemporaryFolder(). With `create`, a missing
// support, preferences or state folder is made (mode 0700, parents included). The system and local
// domains have application support in /usr/share and /usr/local/share (never created);
// the network and Classic domains have none.
std::string FindFolder(FolderDomain domain, FolderKind kind, bool create);

// The user's home folder ($HOME, else the password database), ending with '/'.
std::string HomeFolder();

// The private per-user temporary folder "brivane-<uid>" inside $TMPDIR (when that is an
// absolute path) or /tmp, ending with '/'. It is created with mode 0700 when missing. An
// existing one is used only when lstat shows a real folder (not a link) owned by this user
// with no permissions for group or others; anything else there gives the empty string, since
// another user could have put it there to read or replace our files.
std::string PrivateTemporaryFolder();

// Checks a folder (or creates it with mode 0700) as above; false when it cannot be trusted.
bool EnsurePrivateFolder(const std::string& path);

// Lists a folder's direct children in the file system's order. Skips ".", "..", sidecars
// ("._name") and names that are not valid UTF-8 (no path handed out could reach them).
class FolderReader {
 public:
  FolderReader() = default;
  ~FolderReader() { Close(); }
  FolderReader(const FolderReader&) = delete;
  FolderReader& operator=(const FolderReader&) = delete;

  bool Open(const std::string& folder);
  // The next child's name and whether it is a folder (links are followed); false at the end.
  bool Next(std::string& name, bool& isFolder);
  // True when nothing was open or it closed cleanly.
  bool Close();
  bool IsOpen() const { return dir_ != nullptr; }

 private:
  DIR* dir_ = nullptr;
  std::string folder_;
};

}  // namespace toolbox
