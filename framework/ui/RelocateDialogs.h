#pragma once
// The dialogs that find a moved file and confirm replacing one, and the memory behind them:
// the folders where missing files were found before, searched first the next time.
#include <cstdint>
#include <string>

#include "framework/ui/Buttons.h"
#include "framework/ui/ValueControls.h"
#include "framework/ui/WindowBase.h"
#include "toolbox/Navigation.h"

// Dialog results besides 'ok  ' and 'not!'.
inline constexpr std::int32_t kRelocateDontRelocate = 1001;
inline constexpr std::int32_t kRelocateReplace = 1002;
inline constexpr std::int32_t kReplaceReplace = 1000;
inline constexpr std::int32_t kReplaceReplaceAll = 1001;
inline constexpr std::int32_t kReplaceDontReplace = 1002;
inline constexpr std::int32_t kReplaceDontReplaceAny = 1003;
inline constexpr std::int32_t kReplaceStop = 1004;
inline constexpr std::int32_t kDialogResultOK = static_cast<std::int32_t>(toolbox::FourCC("ok  "));
inline constexpr std::int32_t kDialogResultCancel = static_cast<std::int32_t>(toolbox::FourCC("not!"));

struct RelocateTexts {
  std::wstring title;
  std::wstring message;
};

class RelocateDialog : public WindowBase {
 public:
  RelocateDialog(const PathString* missingPath, const RelocateTexts* texts);
  // A movable modal window over the parent, run modally; -1 when it cannot be made.
  std::int32_t Run(toolbox::WindowRef parent);
  bool OnInitDialog() override;
  bool OnCommand(std::uint32_t command, toolbox::EventRef* event) override;
  // Return presses "Relocate", Escape "Cancel".
  bool OnKeyDown(toolbox::EventRef* event) override;

 private:
  const PathString* missing;
  StaticText message;
  PushButton dontRelocate, cancel, replace, relocate;
  const RelocateTexts* texts;
};

class ReplaceDialog : public WindowBase {
 public:
  // several: 1 when the question is one of a series.
  ReplaceDialog(const PathString* path, int several);
  // A sheet of the parent (a movable modal window without one), run modally; -1 when it
  // cannot be made.
  std::int32_t Run(toolbox::WindowRef parent);
  bool OnInitDialog() override;
  bool OnCommand(std::uint32_t command, toolbox::EventRef* event) override;
  // Return presses "Replace", Escape "Don't Replace": the old file stays.
  bool OnKeyDown(toolbox::EventRef* event) override;
  std::wstring GetMessage() { return message.GetText(); }

 private:
  const PathString* path;
  StaticText message;
  PushButton replace, dontReplace, stop;
  CheckBox applyToAll;
  int severalItems;
};

// -1 when nothing is at the path; otherwise the answer of the replace sheet (1000 replace,
// 1001 replace all, 1002 do not replace, 1003 do not replace any, 1004 stop).
std::int32_t ConfirmReplace(const PathString& path, toolbox::WindowRef parentWindow, int mode);

struct RelocationRequest {
  RelocationRequest() = default;
  ~RelocationRequest() = default;
  toolbox::NavDialogRef dialog;
  PathString missing;
  // Where the chooser starts when nothing of the missing file's folders is left but the
  // root (the project's folder, say); empty: the home folder.
  PathString fallbackFolder;
};

// The folder a chooser for a missing file starts in, ending with '/': the nearest folder
// of its path that still exists (other than the root), else the fallback folder, else the
// home folder.
PathString RelocationStartFolder(const PathString& missing, const PathString& fallback);

// A choose-file dialog titled "Please Relocate: " and the name, listing folders and the
// files of that name (letter case ignored), started where RelocationStartFolder says.
// False, the out path unchanged, when nothing is chosen.
bool ChooseRelocatedFile(RelocationRequest* request, const PathString& missing, PathString* out,
                         toolbox::WindowRef parent);
bool FindInRelocatedFolders(const PathString& missing, PathString* out);
void RememberRelocatedFolder(const PathString& chosen);
// Forgets every remembered folder (the list otherwise lasts for the process).
void ClearRelocatedFolders();
