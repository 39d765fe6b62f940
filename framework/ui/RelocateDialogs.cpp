#include "framework/ui/RelocateDialogs.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "framework/platform/PathLayer.h"
#include "framework/platform/WideText.h"
#include "framework/ui/FileDialogs.h"
#include "toolbox/Alerts.h"
#include "toolbox/Controls.h"
#include "toolbox/Folders.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

namespace {

constexpr OSType kMessageSignature = FourCC("sMsg");
constexpr OSType kDontSignature = FourCC("bDnt");
constexpr OSType kCancelSignature = FourCC("bCan");
constexpr OSType kReplaceSignature = FourCC("bRep");
constexpr OSType kStopSignature = FourCC("bStp");
constexpr OSType kApplyAllSignature = FourCC("cAll");
constexpr OSType kOKSignature = FourCC("ok  ");

Rect LTRB(short left, short top, short right, short bottom) { return Rect{top, left, bottom, right}; }

std::uint32_t KeyOf(EventRef* event) {
  std::uint32_t key = 0;
  if (event && *event) (*event)->GetParameter(kEventParamKeyCode, kTypeUInt32, &key);
  return key;
}

bool IsReturn(std::uint32_t key) { return key == kReturnKeyCode || key == kEnterKeyCode; }

std::vector<std::unique_ptr<PathString>>& RelocatedFolders() {
  static std::vector<std::unique_ptr<PathString>> folders;
  return folders;
}

void SmallFont(ControlBase& control) {
  ControlFontStyle style;
  style.flags = 1;  // only the font is set
  style.font = kControlFontSmallSystemFont;
  SetControlFontStyle(control.GetControl(), style);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Relocate

RelocateDialog::RelocateDialog(const PathString* missingPath, const RelocateTexts* t)
    : missing(missingPath), texts(t) {}

// The message's place holds about four lines; a long path (which the message names whole)
// makes the dialog taller, as far as the screen allows, as an alert grows to fit its text.
constexpr short kRelocateMessageHeight = 75;

std::int32_t RelocateDialog::Run(WindowRef parent) {
  if (!CreateWindow(100, 100, 440, 140, kWindowFlagMovableModal, parent)) return -1;
  LinkProperty();
  return RunModal();
}

bool RelocateDialog::OnInitDialog() {
  if (texts) SetTitle(texts->title);
  message.Create(this, kMessageSignature, LTRB(20, 20, 420, 20 + kRelocateMessageHeight), texts ? texts->message : L"");
  const int grow = std::clamp(NeededTextHeight(message.GetControl()) - kRelocateMessageHeight, 0,
                              TallestDialogContent() - 140);
  const short below = static_cast<short>(20 + kRelocateMessageHeight + grow);
  SetControlBounds(message.GetControl(), LTRB(20, 20, 420, below));
  SizeWindow(GetWindow(), 440, static_cast<short>(140 + grow));
  KeepWindowOnScreen(GetWindow());
  const short top = static_cast<short>(below + 7), bottom = static_cast<short>(below + 24);
  dontRelocate.Create(this, kDontSignature, LTRB(21, top, 125, bottom), L"Don't Relocate");
  cancel.Create(this, kCancelSignature, LTRB(135, top, 205, bottom), L"Cancel");
  replace.Create(this, kReplaceSignature, LTRB(269, top, 339, bottom), L"Replace");
  relocate.Create(this, kOKSignature, LTRB(349, top, 419, bottom), L"Relocate");
  SetWindowDefaultButton(GetWindow(), relocate.GetControl());
  SetWindowCancelButton(GetWindow(), cancel.GetControl());
  return true;
}

bool RelocateDialog::OnCommand(std::uint32_t command, EventRef*) {
  std::int32_t result;
  switch (command) {
    case kOKSignature: result = kDialogResultOK; break;
    case kCancelSignature: result = kDialogResultCancel; break;
    case kDontSignature: result = kRelocateDontRelocate; break;
    case kReplaceSignature: result = kRelocateReplace; break;
    default: return false;
  }
  EndDialog(result);
  return true;
}

bool RelocateDialog::OnKeyDown(EventRef* event) {
  const std::uint32_t key = KeyOf(event);
  if (IsReturn(key)) return OnCommand(kOKSignature, event);
  if (key == kEscapeKeyCode) return OnCommand(kCancelSignature, event);
  return false;
}

// ---------------------------------------------------------------------------------------
// Replace

ReplaceDialog::ReplaceDialog(const PathString* p, int several) : path(p), severalItems(several) {}

std::int32_t ReplaceDialog::Run(WindowRef parent) {
  const bool sheet = IsValidWindowRef(parent);
  if (!CreateWindow(100, 100, 390, 131, sheet ? kWindowFlagSheet : kWindowFlagMovableModal, parent))
    return -1;
  LinkProperty();
  if (sheet) {
    Rect outer, own;
    GetWindowBounds(parent, &outer);
    GetBounds(&own);
    Move(outer.left + (outer.Width() - own.Width()) / 2, outer.top);
  }
  // Run in a modal loop, the sheet blocks every other window too, not only its parent.
  const WindowRef before = ExclusiveInputWindow();
  SetExclusiveInputWindow(GetWindow());
  const std::int32_t result = RunModal();
  SetExclusiveInputWindow(before);
  return result;
}

bool ReplaceDialog::OnInitDialog() {
  PathString name, folder;
  if (path) {
    GetPathFileName(name, *path, false);
    GetParentFolder(folder, *path, true);
  }
  // No fixed length: a deep folder must not cut off the question.
  WideText text;
  if (!text.Format(L"The item \"%ls\" in %ls already exists. Replace it?", name.c_str(), folder.c_str()))
    text.Assign(L"The item already exists. Replace it?");
  const bool series = severalItems == 1;
  message.Create(this, kMessageSignature, LTRB(20, 20, 370, 59), text.CStr());
  SmallFont(message);
  if (series) {
    applyToAll.Create(this, kApplyAllSignature, LTRB(20, 95, 104, 109), L"Apply To All");
    SmallFont(applyToAll);
  }
  dontReplace.Create(this, kDontSignature, series ? LTRB(123, 94, 222, 111) : LTRB(194, 94, 293, 111),
                     L"Don't Replace");
  SmallFont(dontReplace);
  if (series) {
    stop.Create(this, kStopSignature, LTRB(245, 94, 293, 111), L"Stop");
    SmallFont(stop);
  }
  replace.Create(this, kOKSignature, LTRB(307, 94, 370, 111), L"Replace");
  SmallFont(replace);
  SetWindowDefaultButton(GetWindow(), replace.GetControl());
  SetWindowCancelButton(GetWindow(), dontReplace.GetControl());
  return true;
}

bool ReplaceDialog::OnCommand(std::uint32_t command, EventRef*) {
  const bool all = severalItems == 1 && applyToAll.GetValue();
  std::int32_t result;
  switch (command) {
    case kOKSignature: result = all ? kReplaceReplaceAll : kReplaceReplace; break;
    case kDontSignature: result = all ? kReplaceDontReplaceAny : kReplaceDontReplace; break;
    case kStopSignature: result = kReplaceStop; break;
    default: return false;
  }
  EndDialog(result);
  return true;
}

bool ReplaceDialog::OnKeyDown(EventRef* event) {
  const std::uint32_t key = KeyOf(event);
  if (IsReturn(key)) return OnCommand(kOKSignature, event);
  if (key == kEscapeKeyCode) return OnCommand(kDontSignature, event);
  return false;
}

std::int32_t ConfirmReplace(const PathString& path, WindowRef parentWindow, int mode) {
  if (!PathExists(path)) return -1;
  ReplaceDialog dialog(&path, mode);
  return dialog.Run(parentWindow);
}

// ---------------------------------------------------------------------------------------
// Relocation

PathString RelocationStartFolder(const PathString& missing, const PathString& fallback) {
  PathString folder;
  GetParentFolder(folder, MakeAbsolutePath(missing), true);
  while (folder.size() > 1) {  // the root alone is no place to look
    if (IsFolder(folder)) return folder;
    PathString up;
    GetParentFolder(up, folder, true);
    if (up.size() >= folder.size()) break;
    folder = up;
  }
  folder = fallback.empty() || !IsFolder(fallback) ? PathString(Utf8ToWide(HomeFolder())) : fallback;
  return EnsureTrailingSlash(folder);
}

bool ChooseRelocatedFile(RelocationRequest* request, const PathString& missing, PathString* out,
                         WindowRef parent) {
  if (!request || !out) return false;
  request->missing = missing;
  PathString name;
  GetPathFileName(name, missing, false);
  NavDialogCreationOptions options;
  NavGetDefaultDialogCreationOptions(&options);
  options.windowTitle = L"Please Relocate: " + name;
  // The one filter lists the files of that name; a chooser shows it by this name, as the
  // file dialog's filters are shown by their descriptions.
  options.popupExtension = {name};
  options.parentWindow = parent;
  options.startFolder = WideToUtf8(RelocationStartFolder(missing, request->fallbackFolder));
  const std::wstring wanted = name;
  auto filter = [wanted](const NavFileItem& item) {
    if (item.isFolder || !item.hasFileInfo) return true;
    PathString itemName;
    GetPathFileName(itemName, PathString(Utf8ToWide(item.path)), false);
    return CompareNoCase(itemName.c_str(), wanted.c_str()) == 0;
  };
  if (NavCreateDialog(kNavChooseFileDialog, options, nullptr, filter, &request->dialog) != kNoErr)
    return false;
  NavDialogRun(request->dialog);
  bool chosen = false;
  const NavUserAction action = NavDialogGetUserAction(request->dialog);
  if (action != kNavUserActionCancel && action != kNavUserActionNone) {
    NavReplyRecord reply;
    NavDialogGetReply(request->dialog, &reply);
    std::string utf8;
    PathString path;
    if (NavReplyItemURL(reply, 1, &utf8) == kNoErr && PathFromUtf8(utf8, &path)) {
      *out = path;
      chosen = true;
    }
    NavDisposeReply(&reply);
  }
  NavDialogDispose(request->dialog);
  request->dialog = NavDialogRef{};
  return chosen;
}

bool FindInRelocatedFolders(const PathString& missing, PathString* out) {
  PathString name;
  GetPathFileName(name, missing, false);
  if (name.empty()) return false;
  for (const auto& folder : RelocatedFolders()) {
    PathString candidate = MakeAbsolutePath(*folder);
    EnsureTrailingSlash(candidate);
    candidate += name;
    if (PathExists(candidate)) {
      if (out) *out = candidate;
      return true;
    }
  }
  return false;
}

void RememberRelocatedFolder(const PathString& chosen) {
  auto folder = std::make_unique<PathString>();
  GetParentFolder(*folder, chosen, true);
  RelocatedFolders().push_back(std::move(folder));
}

void ClearRelocatedFolders() { RelocatedFolders().clear(); }
