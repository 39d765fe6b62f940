#include "toolbox/Navigation.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <memory>

#include "toolbox/Alerts.h"
#include "toolbox/AppleDouble.h"
#include "toolbox/Display.h"
#include "toolbox/Utf8.h"
#include "toolbox/Windows.h"

namespace toolbox {
namespace {

struct NavDialog {
  NavDialogRef ref;
  NavDialogKind kind = kNavGetFileDialog;
  NavDialogCreationOptions options;
  NavPopupCallback popup;
  NavObjectFilter filter;
  std::int32_t popupIndex = 0;
  std::wstring saveName;
  NavUserAction action = kNavUserActionNone;
  std::vector<std::string> chosen;
  WindowRef anchor;  // the hidden window whose modal loop the dialog runs in
  WindowRef question;  // the question it asks before a file is replaced, while that is up
};

struct NavModel {
  std::map<std::uint64_t, std::unique_ptr<NavDialog>> dialogs;
  std::vector<NavDialogRef> running;  // innermost last
};

NavModel& Model() {
  static NavModel model;
  return model;
}

NavDialog* Find(NavDialogRef ref) {
  auto it = Model().dialogs.find(ref.id);
  return it == Model().dialogs.end() ? nullptr : it->second.get();
}

bool IsFolder(const std::string& path, bool* exists) {
  struct stat st;
  *exists = ::stat(path.c_str(), &st) == 0;
  return *exists && S_ISDIR(st.st_mode);
}

std::string NameOf(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  const std::size_t slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

bool EndsWithNoCase(const std::string& text, const std::string& end) {
  if (end.size() > text.size()) return false;
  for (std::size_t i = 0; i < end.size(); ++i) {
    char a = text[text.size() - end.size() + i], b = end[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

}  // namespace

std::wstring NavReplaceQuestion(const std::string& utf8Name) {
  return L"\u201C" + Utf8ToWide(utf8Name) + L"\u201D already exists. Do you want to replace it?";
}

OSStatus NavGetDefaultDialogCreationOptions(NavDialogCreationOptions* options) {
  if (!options) return kParamErr;
  *options = NavDialogCreationOptions{};
  return kNoErr;
}

OSStatus NavCreateDialog(NavDialogKind kind, const NavDialogCreationOptions& options,
                         NavPopupCallback popupCallback, NavObjectFilter filter,
                         NavDialogRef* outDialog) {
  if (!outDialog || kind < kNavPutFileDialog || kind > kNavChooseFolderDialog) return kParamErr;
  auto d = std::make_unique<NavDialog>();
  d->ref.id = NextHandleId();
  d->kind = kind;
  d->options = options;
  d->popup = std::move(popupCallback);
  d->filter = std::move(filter);
  d->saveName = options.saveFileName;
  *outDialog = d->ref;
  Model().dialogs[d->ref.id] = std::move(d);
  return kNoErr;
}

OSStatus NavDialogRun(NavDialogRef ref) {
  NavDialog* d = Find(ref);
  if (!d) return kParamErr;
  d->action = kNavUserActionNone;
  d->chosen.clear();
  WindowRef anchor;
  OSStatus status = CreateNewWindow(kMovableModalWindowClass, 0, Rect{0, 0, 1, 1}, &anchor);
  if (status != kNoErr) return status;
  d->anchor = anchor;
  Model().running.push_back(ref);
  if (DisplayBackend* b = GetDisplayBackend()) b->FileDialogShown(ref);
  RunAppModalLoopForWindow(anchor);
  auto& running = Model().running;
  running.erase(std::remove(running.begin(), running.end(), ref), running.end());
  if (DisplayBackend* b = GetDisplayBackend()) b->FileDialogClosed(ref);
  if (IsValidWindowRef(anchor)) DisposeWindow(anchor);
  if ((d = Find(ref))) {
    d->anchor = WindowRef{};
    if (d->action == kNavUserActionNone) d->action = kNavUserActionCancel;
  }
  return kNoErr;
}

NavUserAction NavDialogGetUserAction(NavDialogRef ref) {
  NavDialog* d = Find(ref);
  return d ? d->action : kNavUserActionNone;
}

OSStatus NavDialogGetReply(NavDialogRef ref, NavReplyRecord* reply) {
  NavDialog* d = Find(ref);
  if (!d || !reply) return kParamErr;
  reply->validRecord = d->action != kNavUserActionCancel && d->action != kNavUserActionNone;
  reply->selection = reply->validRecord ? d->chosen : std::vector<std::string>{};
  return kNoErr;
}

OSStatus NavDisposeReply(NavReplyRecord* reply) {
  if (!reply) return kParamErr;
  *reply = NavReplyRecord{};
  return kNoErr;
}

OSStatus NavReplyItemURL(const NavReplyRecord& reply, long index, std::string* utf8Path) {
  if (index < 1 || static_cast<std::size_t>(index) > reply.selection.size()) return kParamErr;
  if (utf8Path) *utf8Path = reply.selection[static_cast<std::size_t>(index - 1)];
  return kNoErr;
}

OSStatus AEListItemURL(const AppleEvent& event, long index, std::string* utf8Path) {
  long count = 0;
  if (OSStatus s = AECountItems(event, &count)) return s;
  if (index < 1 || index > count) return kParamErr;
  return AEGetNthFile(event, index, utf8Path);
}

OSStatus NavDialogDispose(NavDialogRef ref) {
  NavDialog* d = Find(ref);
  if (!d) return kParamErr;
  if (IsValidWindowRef(d->anchor)) return kParamErr;  // still running
  Model().dialogs.erase(ref.id);
  return kNoErr;
}

std::wstring NavDialogGetSaveFileName(NavDialogRef ref) {
  NavDialog* d = Find(ref);
  return d ? d->saveName : std::wstring();
}

OSStatus NavDialogSetSaveFileName(NavDialogRef ref, const std::wstring& name) {
  NavDialog* d = Find(ref);
  if (!d) return kParamErr;
  d->saveName = name;
  return kNoErr;
}

OSStatus NavDialogSetSaveExtension(NavDialogRef ref, const std::wstring& extension) {
  NavDialog* d = Find(ref);
  if (!d) return kParamErr;
  d->options.saveExtension = extension;
  return kNoErr;
}

std::string NavSaveName(NavDialogRef ref, const std::string& utf8Name) {
  NavDialog* d = Find(ref);
  if (!d || d->kind != kNavPutFileDialog || d->options.saveExtension.empty() || utf8Name.empty())
    return utf8Name;
  const std::string end = "." + WideToUtf8(d->options.saveExtension);
  return EndsWithNoCase(utf8Name, end) ? utf8Name : utf8Name + end;
}

NavDialogRef FrontNavDialog() {
  const auto& running = Model().running;
  return running.empty() ? NavDialogRef{} : running.back();
}

NavDialogView ViewOfNavDialog(NavDialogRef ref) {
  NavDialogView view;
  NavDialog* d = Find(ref);
  if (!d) return view;
  view.ref = ref;
  view.kind = d->kind;
  view.options = d->options;
  view.popupIndex = d->popupIndex;
  view.saveFileName = d->saveName;
  return view;
}

OSStatus NavDialogSelectPopup(NavDialogRef ref, std::int32_t index) {
  NavDialog* d = Find(ref);
  if (!d || index < 0 || static_cast<std::size_t>(index) >= d->options.popupExtension.size())
    return kParamErr;
  d->popupIndex = index;
  NavPopupCallback popup = d->popup;
  if (popup) popup(ref, index);
  return kNoErr;
}

bool NavDialogShowsItem(NavDialogRef ref, const std::string& utf8Path) {
  NavDialog* d = Find(ref);
  if (!d) return false;
  NavFileItem item;
  item.path = utf8Path;
  bool exists = false;
  item.isFolder = IsFolder(utf8Path, &exists);
  item.hasFileInfo = exists;
  if (exists && !item.isFolder) item.fileType = ReadSidecar(utf8Path).finderInfo.type;
  if (d->kind == kNavChooseFolderDialog) return item.isFolder;
  if (!d->filter) return true;
  return d->filter(item);
}

OSStatus NavDialogAccept(NavDialogRef ref, const std::vector<std::string>& utf8Paths) {
  NavDialog* d = Find(ref);
  if (!d || !IsValidWindowRef(d->anchor) || utf8Paths.empty()) return kParamErr;
  if (d->kind != kNavGetFileDialog && d->kind != kNavChooseFileDialog) {
    if (utf8Paths.size() > 1) return kParamErr;
  } else if (utf8Paths.size() > 1 && !(d->options.optionFlags & kNavAllowMultipleFiles)) {
    return kParamErr;
  }
  std::vector<std::string> chosen = utf8Paths;
  if (d->kind == kNavPutFileDialog) {
    const std::string typed = NameOf(chosen[0]);
    const std::string name = NavSaveName(ref, typed);
    if (name != typed && chosen[0].ends_with(typed)) {
      chosen[0].resize(chosen[0].size() - typed.size());
      chosen[0] += name;
    }
    bool exists = false;
    const bool folder = IsFolder(chosen[0], &exists);
    if (folder) return kParamErr;  // a folder is never saved over
    if (exists) {
      AlertStdParams params;
      GetStandardAlertDefaultParams(&params, 1);
      params.defaultText = L"Replace";
      params.cancelText = L"Cancel";
      params.cancelButton = kAlertStdAlertCancelButton;
      WindowRef alert;
      DialogItemIndex hit = 0;
      if (CreateStandardAlert(kAlertCautionAlert, NavReplaceQuestion(NameOf(chosen[0])), L"",
                              &params, &alert) != kNoErr)
        return kUserCanceledErr;
      d->question = alert;
      const OSStatus asked = RunStandardAlert(alert, &hit);
      if (!(d = Find(ref)) || !IsValidWindowRef(d->anchor)) return kParamErr;
      d->question = WindowRef{};
      // The dialog itself may have been cancelled while it asked (its window closed): then
      // nothing is replaced, whatever the answer.
      if (asked != kNoErr || hit != kAlertStdAlertOKButton || d->action == kNavUserActionCancel)
        return kUserCanceledErr;
    }
    d->saveName = Utf8ToWide(NameOf(chosen[0]));
    d->action = kNavUserActionSaveAs;
  } else if (d->kind == kNavChooseFolderDialog) {
    for (std::string& p : chosen)
      if (p.empty() || p.back() != '/') p += '/';
    d->action = kNavUserActionChoose;
  } else {
    d->action = d->kind == kNavGetFileDialog ? kNavUserActionOpen : kNavUserActionChoose;
  }
  d->chosen = std::move(chosen);
  QuitAppModalLoopForWindow(d->anchor);
  return kNoErr;
}

OSStatus NavDialogCancel(NavDialogRef ref) {
  NavDialog* d = Find(ref);
  if (!d || !IsValidWindowRef(d->anchor)) return kParamErr;
  d->action = kNavUserActionCancel;
  d->chosen.clear();
  if (IsValidWindowRef(d->question)) QuitAppModalLoopForWindow(d->question);  // its question goes with it
  QuitAppModalLoopForWindow(d->anchor);
  return kNoErr;
}

}  // namespace toolbox
