#pragma once
// File dialogs of the toolbox's model: save ("put file"), open ("get file"), choose a file
// and choose a folder. The model owns each running dialog (its texts, the format pop-up and
// its choice, the edited save name, the caller's object filter and pop-up callback, and its
// answer) and runs it in an application-modal loop. A display back end shows it (GTK: a
// file chooser) and answers it through the calls at the end of this file, as does the test
// driver. Paths cross this interface in UTF-8; a folder's path ends with '/'.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "toolbox/Events.h"
#include "toolbox/Types.h"

namespace toolbox {

enum NavDialogKind : std::int32_t {
  kNavPutFileDialog = 0,
  kNavGetFileDialog = 1,
  kNavChooseFileDialog = 2,
  kNavChooseFolderDialog = 3,
};

inline constexpr std::uint32_t kNavAllowMultipleFiles = 0x80;

struct NavDialogCreationOptions {
  std::uint32_t optionFlags = 0;
  // Empty texts are not shown (the dialog's own wording stands).
  std::wstring windowTitle;
  std::wstring message;
  std::wstring actionButtonLabel;
  std::wstring cancelButtonLabel;
  std::wstring saveFileName;
  // A save dialog's file-name extension (without the dot; empty: none): an accepted name
  // that does not end with it gets it, so that the file is known by its name again.
  std::wstring saveExtension;
  // The folder the dialog starts in (UTF-8, ending with '/'); empty: the current folder.
  std::string startFolder;
  // The format pop-up's items (filter descriptions) in order; empty: no pop-up.
  std::vector<std::wstring> popupExtension;
  WindowRef parentWindow;
};

// One item as the object filter sees it.
struct NavFileItem {
  std::string path;  // UTF-8
  bool isFolder = false;
  bool hasFileInfo = true;
  OSType fileType = 0;  // from the item's sidecar; 0 when it has none
};

using NavObjectFilter = std::function<bool(const NavFileItem& item)>;
// A pop-up selection report: the chosen item's index in popupExtension.
using NavPopupCallback = std::function<void(NavDialogRef dialog, std::int32_t index)>;

enum NavUserAction : std::int32_t {
  kNavUserActionNone = 0,
  kNavUserActionCancel = 1,
  kNavUserActionOpen = 2,
  kNavUserActionSaveAs = 3,
  kNavUserActionChoose = 4,
};

struct NavReplyRecord {
  bool validRecord = false;
  // The chosen items; a save reply holds the chosen folder with the typed name appended.
  std::vector<std::string> selection;
};

OSStatus NavGetDefaultDialogCreationOptions(NavDialogCreationOptions* options);
OSStatus NavCreateDialog(NavDialogKind kind, const NavDialogCreationOptions& options,
                         NavPopupCallback popupCallback, NavObjectFilter filter,
                         NavDialogRef* outDialog);
// Runs the dialog until it is answered (or input ends, which cancels it).
OSStatus NavDialogRun(NavDialogRef dialog);
NavUserAction NavDialogGetUserAction(NavDialogRef dialog);
OSStatus NavDialogGetReply(NavDialogRef dialog, NavReplyRecord* reply);
OSStatus NavDisposeReply(NavReplyRecord* reply);
// The reply's item (from 1) as a path; kParamErr beyond the items.
OSStatus NavReplyItemURL(const NavReplyRecord& reply, long index, std::string* utf8Path);
// The item (from 1) of an open-documents event's list as a path; kParamErr beyond the items.
OSStatus AEListItemURL(const AppleEvent& event, long index, std::string* utf8Path);
OSStatus NavDialogDispose(NavDialogRef dialog);
std::wstring NavDialogGetSaveFileName(NavDialogRef dialog);
OSStatus NavDialogSetSaveFileName(NavDialogRef dialog, const std::wstring& name);
OSStatus NavDialogSetSaveExtension(NavDialogRef dialog, const std::wstring& extension);
// The name a save dialog saves under for the typed name: with the dialog's extension added
// when the name does not already end with it (ignoring case).
std::string NavSaveName(NavDialogRef dialog, const std::string& utf8Name);

// --- what a back end or the test driver does with a running dialog ---
struct NavDialogView {
  NavDialogRef ref;
  NavDialogKind kind = kNavGetFileDialog;
  NavDialogCreationOptions options;
  std::int32_t popupIndex = 0;  // the pop-up item shown
  std::wstring saveFileName;    // as edited
};
// The innermost running dialog; null when none runs.
NavDialogRef FrontNavDialog();
NavDialogView ViewOfNavDialog(NavDialogRef dialog);
// The user picks a pop-up item: the dialog's callback hears of it.
OSStatus NavDialogSelectPopup(NavDialogRef dialog, std::int32_t index);
// Whether the dialog lists the item at the path: folders always; files as the object
// filter says, with the file type read from the item's sidecar.
bool NavDialogShowsItem(NavDialogRef dialog, const std::string& utf8Path);
// The user accepts these items (a save dialog: one path, folder and name; the name takes
// the dialog's extension as NavSaveName gives it). A save dialog first asks before it
// accepts the name of an existing file, the same question whether or not the name was typed
// with its extension (a back end never asks one of its own); kUserCanceledErr when the user
// keeps the file, and the dialog stays up.
OSStatus NavDialogAccept(NavDialogRef dialog, const std::vector<std::string>& utf8Paths);
OSStatus NavDialogCancel(NavDialogRef dialog);

// The question a save dialog asks before it replaces an existing file.
std::wstring NavReplaceQuestion(const std::string& utf8Name);

}  // namespace toolbox
