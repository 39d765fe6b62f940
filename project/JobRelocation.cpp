#include "project/JobRelocation.h"

#include "framework/platform/PathLayer.h"
#include "framework/platform/WideText.h"
#include "framework/ui/FileDialogs.h"
#include "framework/ui/MessageBox.h"
#include "framework/ui/RelocateDialogs.h"
#include "project/Job.h"

namespace {

constexpr int kMissingTitleText = 2705;
constexpr int kMissingMessageText = 2803;
constexpr int kNotRelocatedText = 2707;

bool ChooseReplacement(const PathString& missing, const PathString& projectFolder,
                       PathString& found) {
  FileFilterList filters;
  filters.AddAllSounds();
  FileDialogRequest request;
  request.InitOpen();
  request.filters = &filters;
  request.title = L"Choose an audio file";
  const PathString start = RelocationStartFolder(missing, projectFolder);
  request.startFolder = start.c_str();
  FileDialogResult result;
  if (!RunFileDialog(&request, &result, toolbox::WindowRef{}, nullptr)) return false;
  found = result.firstPath;
  return true;
}

}  // namespace

bool RelocateJobInput(const PathString& missing, const PathString& projectFolder,
                      PathString& found) {
  const PathString absolute = MakeAbsolutePath(missing);
  if (FindInRelocatedFolders(absolute, &found)) return true;

  RelocateTexts texts;
  WideText title, format, message;
  LoadLocalizedString(title, kMissingTitleText);
  LoadLocalizedString(format, kMissingMessageText);
  texts.title = title.CStr();
  // The path is inserted as text, never read as a format.
  texts.message = message.Format(format.CStr(), absolute.c_str()) ? message.CStr() : format.CStr();
  RelocateDialog dialog(&absolute, &texts);
  switch (dialog.Run(toolbox::WindowRef{})) {
    case kRelocateReplace:
      return ChooseReplacement(absolute, projectFolder, found);
    case kDialogResultOK: {
      RelocationRequest request;
      request.fallbackFolder = projectFolder;
      PathString chosen;
      if (!ChooseRelocatedFile(&request, absolute, &chosen, toolbox::WindowRef{})) {
        ReportError(toolbox::WindowRef{}, kMissingTitleText, kNotRelocatedText);
        return false;
      }
      RememberRelocatedFolder(chosen);
      found = chosen;
      return true;
    }
    default:  // Cancel, Don't Relocate, or no dialog
      return false;
  }
}

void InstallJobInputRelocation() { SetJobInputRelocator(RelocateJobInput); }
