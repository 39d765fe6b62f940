#pragma once
// The main window: it owns the project document (the job list, its undo steps and its
// path) and runs the project's menu commands: new, open, open recent, save, save as, undo,
// redo and batch mode. Its title names the project and marks unsaved changes, and it asks
// whether to save them before they would be lost.
#include <cstdint>
#include <functional>

#include "framework/app/RecentItems.h"
#include "framework/ui/WindowBase.h"
#include "project/ProjectDocument.h"
#include "toolbox/Events.h"
#include "toolbox/Types.h"

// Menu commands of the project.
inline constexpr toolbox::OSType kCommandNewProject = toolbox::FourCC("new ");
inline constexpr toolbox::OSType kCommandOpenProject = toolbox::FourCC("open");
inline constexpr toolbox::OSType kCommandSaveProject = toolbox::FourCC("save");
inline constexpr toolbox::OSType kCommandSaveProjectAs = toolbox::FourCC("svas");
inline constexpr toolbox::OSType kCommandUndo = toolbox::FourCC("undV");
inline constexpr toolbox::OSType kCommandRedo = toolbox::FourCC("redV");
inline constexpr toolbox::OSType kCommandBatchMode = toolbox::FourCC("btch");
// Opens the help book.
inline constexpr toolbox::OSType kCommandHelp = toolbox::FourCC("help");

// The recent projects' submenu and its first command.
inline constexpr std::int16_t kRecentProjectsMenuId = 3000;
inline constexpr std::uint32_t kRecentProjectsFirstCommand = 5000;

// The question before unsaved changes would be lost.
inline constexpr int kSaveChangesText = 115;
inline constexpr int kSaveChangesTitleText = 116;
inline constexpr int kUntitledText = 117;
// The empty recent projects' submenu, and a file opened or dropped that is not a project.
inline constexpr int kNoRecentProjectsText = 118;
inline constexpr int kNotAProjectFileText = 119;
// The help page that nothing could show, with its path.
inline constexpr int kHelpNotShownText = 121;

class MainWindow : public WindowBase {
 public:
  MainWindow() = default;

  // Takes the recent projects from the application's preferences, attaches them to the
  // File menu, takes dropped files and sets the title and the menu from the (new, empty)
  // project.
  void Initialize();
  // When the run ends: gives the recent projects back to the application's preferences.
  void Finish();

  bool OnCommand(std::uint32_t command, toolbox::EventRef* event) override;
  // A project file (named with the project extension, or of the project file type) opens,
  // after the question about unsaved changes; any other file is refused with a message that
  // names it.
  bool OnOpenDocument(const PathString& path) override;
  // A file dropped on the window is opened as the open-documents event opens it.
  void OnDropFile(const PathString& path, toolbox::Point* where) override;

  // One recorded edit of the current job (or of every job in batch mode); the undo menu
  // and the title follow.
  bool Edit(const std::function<void(Job&)>& setter);
  bool OnUndo();
  bool OnRedo();
  // After every push, undo, redo and clear: the undo and redo commands, the batch-mode
  // check mark and the title follow the document.
  void UpdateUndoMenu();

  // False when the user cancelled, or chose to save and the save did not happen.
  bool AskToSaveChanges();
  bool OpenProject(const PathString& file);
  bool SaveProject(bool askForName);
  // Opens the help; when nothing can show it, says so with the page's path.
  void ShowHelp();

  // The folder the open and save dialogs start in: the project's own, or the user's home
  // folder for an untitled project.
  PathString DialogFolder() const;
  // After the run: the project holds changes that no answer of the user let go (the run
  // ended without a Quit that passed the question about them).
  bool ChangesLeftUnsaved() const { return document.IsModified() && !quitAgreed_; }

  // The title for the document: the project's file name (or the application's name for
  // an untitled project), with a leading "*" while it holds unsaved changes.
  std::wstring DocumentTitle() const;
  // The project's file name, or "Untitled" before its first save.
  std::wstring ProjectDisplayName() const;

  ProjectDocument document;
  RecentItems recentProjects;

 private:
  // The quit command whose question was answered with a go-ahead.
  toolbox::EventRef quitAnswered_ = nullptr;
  // A Quit passed the question about unsaved changes (or there were none).
  bool quitAgreed_ = false;
};
