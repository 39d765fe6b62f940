#include "app/MainWindow.h"

#include <filesystem>
#include <system_error>

#include "app/AppPrefs.h"

#include "framework/app/Help.h"
#include "framework/app/Menu.h"
#include "framework/platform/PathLayer.h"
#include "framework/platform/WideText.h"
#include "framework/ui/ControlBase.h"
#include "framework/ui/FileDialogs.h"
#include "framework/ui/MessageBox.h"
#include "toolbox/AppleDouble.h"
#include "toolbox/Events.h"
#include "toolbox/Folders.h"
#include "toolbox/Menus.h"
#include "toolbox/Utf8.h"
#include "toolbox/Windows.h"

namespace {

constexpr std::int16_t kFileMenuId = 1001;
constexpr std::int16_t kEditMenuId = 1002;
// "Open Recent" is the File menu's third item.
constexpr std::uint16_t kOpenRecentIndex = 2;

std::wstring Numbered(int number, const wchar_t* fallback) {
  std::wstring text;
  if (!LoadNumberedText(number, &text)) text = fallback;
  return text;
}

// The project's file name, or "Untitled" before its first save.
std::wstring ProjectName(const ProjectDocument& document) {
  if (document.path.empty()) return Numbered(kUntitledText, L"Untitled");
  PathString name;
  GetPathFileName(name, document.path, false);
  return name;
}

// A project is known by its name's extension (ignoring case), or by the file type recorded
// with it, as a project saved under another name by an earlier version has it.
bool IsProjectFile(const PathString& path) {
  const std::wstring extension = L".bva";
  if (path.size() >= extension.size() &&
      CompareNoCase(path.c_str() + path.size() - extension.size(), extension.c_str()) == 0)
    return true;
  return toolbox::ReadSidecar(toolbox::WideToUtf8(path)).finderInfo.type == kProjectFileType;
}

}  // namespace

void MainWindow::Initialize() {
  recentProjects.CopyFrom(ApplicationPreferences().recentProjects);
  recentProjects.SetEmptyText(Numbered(kNoRecentProjectsText, L"No Recent Projects"));
  if (toolbox::MenuRef file = toolbox::GetMenuHandle(kFileMenuId))
    recentProjects.AttachAsSubmenu(file, kOpenRecentIndex, kRecentProjectsMenuId,
                                   kRecentProjectsFirstCommand);
  recentProjects.RebuildMenu();
  EnableFileDrop(true);
  UpdateUndoMenu();
}

void MainWindow::Finish() { recentProjects.CopyTo(ApplicationPreferences().recentProjects); }

std::wstring MainWindow::ProjectDisplayName() const { return ProjectName(document); }

std::wstring MainWindow::DocumentTitle() const {
  std::wstring title = document.path.empty() ? std::wstring(L"Brivane") : ProjectName(document);
  if (document.IsModified()) title.insert(0, L"*");
  return title;
}

void MainWindow::UpdateUndoMenu() {
  Menu edit(toolbox::GetMenuHandle(kEditMenuId));
  if (edit.Get()) {
    edit.EnableItem(kCommandUndo, false, document.undo.CanUndo());
    edit.EnableItem(kCommandRedo, false, document.undo.CanRedo());
    edit.CheckItem(kCommandBatchMode, false, document.jobs.batch_mode);
  }
  if (GetWindow()) SetTitle(DocumentTitle());
}

bool MainWindow::Edit(const std::function<void(Job&)>& setter) {
  const bool recorded = document.Edit(setter);
  UpdateUndoMenu();
  return recorded;
}

bool MainWindow::OnUndo() {
  const bool done = document.Undo();
  UpdateUndoMenu();
  return done;
}

bool MainWindow::OnRedo() {
  const bool done = document.Redo();
  UpdateUndoMenu();
  return done;
}

bool MainWindow::AskToSaveChanges() {
  if (!document.IsModified()) return true;
  const std::wstring name = ProjectName(document);
  const MessageBoxResult answer =
      MessageBoxByStringIds(toolbox::WindowRef{}, kMessageBoxSaveCancelDontSave | kMessageBoxIconCaution,
                            kSaveChangesTitleText, kSaveChangesText, name.c_str());
  if (answer == kMessageBoxResultNo) return true;
  if (answer != kMessageBoxResultOK) return false;
  return SaveProject(false);
}

bool MainWindow::OpenProject(const PathString& file) {
  const bool opened = document.Open(file);
  if (opened) recentProjects.Add(document.path, true);
  UpdateUndoMenu();
  return opened;
}

bool MainWindow::SaveProject(bool askForName) {
  PathString file = document.path;
  if (askForName || file.empty()) {
    FileFilterList filters;
    filters.AddType(kProjectFileType, nullptr, 0);
    FileDialogRequest request;
    request.InitSave();
    request.filters = &filters;
    request.fileType = kProjectFileType;
    request.creator = kProjectFileCreator;
    std::wstring name = ProjectName(document);
    if (document.path.empty()) name += L".bva";
    request.saveFileName = name.c_str();
    const PathString folder = DialogFolder();
    request.startFolder = folder.c_str();
    FileDialogResult result;
    if (!RunFileDialog(&request, &result, toolbox::WindowRef{}, nullptr)) return false;
    file = result.firstPath;
  }
  const bool saved = document.Save(file);
  if (saved) recentProjects.Add(document.path, true);
  UpdateUndoMenu();
  return saved;
}

PathString MainWindow::DialogFolder() const {
  if (!document.path.empty()) {
    PathString folder;
    GetParentFolder(folder, document.path, true);
    if (!folder.empty()) return folder;
  }
  return PathString(toolbox::Utf8ToWide(toolbox::HomeFolder()));
}

void MainWindow::ShowHelp() {
  if (OpenHelp(nullptr, nullptr)) return;
  PathString page = HelpPagePath(nullptr);
  // The path as the user would type it into a browser, without "..": the page exists.
  std::error_code error;
  const std::filesystem::path real = std::filesystem::canonical(toolbox::WideToUtf8(page), error);
  if (!error) page = toolbox::Utf8ToWide(real.string());
  if (!page.empty()) ReportError(toolbox::WindowRef{}, kErrorTitleText, kHelpNotShownText, page.c_str());
}

bool MainWindow::OnOpenDocument(const PathString& path) {
  if (!IsProjectFile(path)) {
    // Audio files cannot be added to a project yet: say so rather than do nothing.
    ReportError(toolbox::WindowRef{}, kErrorTitleText, kNotAProjectFileText, path.c_str());
    return true;
  }
  if (!AskToSaveChanges()) return true;
  OpenProject(path);
  return true;
}

void MainWindow::OnDropFile(const PathString& path, toolbox::Point*) { OnOpenDocument(path); }

bool MainWindow::OnCommand(std::uint32_t command, toolbox::EventRef* event) {
  if (const PathString* recent = recentProjects.ItemForCommand(command)) {
    const PathString file = *recent;  // the list changes when the project opens
    if (AskToSaveChanges()) OpenProject(file);
    return true;
  }
  switch (command) {
    case kCommandNewProject:
      if (AskToSaveChanges()) {
        document.New();
        UpdateUndoMenu();
      }
      return true;
    case kCommandOpenProject: {
      if (!AskToSaveChanges()) return true;
      FileFilterList filters;
      filters.AddType(kProjectFileType, nullptr, 0);
      FileDialogRequest request;
      request.InitOpen();
      request.filters = &filters;
      const PathString folder = DialogFolder();
      request.startFolder = folder.c_str();
      FileDialogResult result;
      if (RunFileDialog(&request, &result, toolbox::WindowRef{}, nullptr)) OpenProject(result.firstPath);
      return true;
    }
    case kCommandSaveProject:
      SaveProject(false);
      return true;
    case kCommandSaveProjectAs:
      SaveProject(true);
      return true;
    case kCommandUndo:
      OnUndo();
      return true;
    case kCommandRedo:
      OnRedo();
      return true;
    case kCommandBatchMode:
      document.SetBatchMode(!document.jobs.batch_mode);
      UpdateUndoMenu();
      return true;
    case kCommandHelp:
      ShowHelp();
      return true;
    case toolbox::kHICommandQuit: {
      // The command reaches the window and then the application: the question is asked
      // once per command, and declining it here lets the standard handling quit.
      toolbox::EventRef asked = event ? *event : nullptr;
      if (asked && asked == quitAnswered_) {
        quitAnswered_ = nullptr;
        return false;
      }
      if (!AskToSaveChanges()) return true;
      quitAnswered_ = asked;
      quitAgreed_ = true;
      return false;
    }
    default:
      return WindowBase::OnCommand(command, event);
  }
}
