#include "app/AppShell.h"

#include <iostream>

#include "app/MainWindow.h"
#include "framework/app/Application.h"
#include "framework/app/Help.h"
#include "framework/platform/PathLayer.h"
#include "framework/ui/NibRef.h"
#include "generation/PlayerTemplate.h"
#include "project/JobRelocation.h"
#include "project/Preset.h"
#include "project/Undo.h"
#include "toolbox/Display.h"
#include "toolbox/Nib.h"
#include "toolbox/Utf8.h"

namespace {
bool preferencesLoaded = false;
bool unsavedChangesDiscarded = false;
// The main window while the event loop runs.
MainWindow* runningWindow = nullptr;

void SayChangesLost(const MainWindow& window) {
  std::cerr << "brivane: the unsaved changes to the project \"" << toolbox::WideToUtf8(window.ProjectDisplayName())
            << "\" were not saved and are lost" << std::endl;
}

// The display went away: the process ends without another word from anyone.
void SayDisplayLost() {
  std::cerr << "brivane: the connection to the display was lost; quitting" << std::endl;
  if (runningWindow && runningWindow->ChangesLeftUnsaved()) SayChangesLost(*runningWindow);
}
}  // namespace

AppStartSteps& StartSteps() {
  static AppStartSteps steps;
  return steps;
}

bool PreferencesLoaded() { return preferencesLoaded; }

bool UnsavedChangesDiscarded() { return unsavedChangesDiscarded; }

NibRef& GetMainNib() {
  static NibRef nib;
  static bool opened = false;
  if (!opened) {
    opened = true;
    nib.OpenMain();
  }
  return nib;
}

// An unmet requirement is reported by its check, and the hook returns false: it never ends
// the process itself, so the exit hook and the clean-up still run.
bool OnAppInit(int) {
  preferencesLoaded = false;
  // Without its own temporary folder the application still runs: temporary files then go
  // straight into the private temporary folder.
  if (!CreateTemporarySubfolder(kTemporarySubfolderName))
    std::cerr << "brivane: the temporary folder could not be made" << std::endl;
  DeleteUndoFiles();
  AppStartSteps& steps = StartSteps();
  if (steps.checkRequirements && !steps.checkRequirements()) return false;
  if (!steps.loadPreferences || steps.loadPreferences()) preferencesLoaded = true;
  // Player template library 0: the skins in the "Players" folder of the data folder. A
  // missing folder leaves it empty, and jobs then have no player.
  SwfPlayerTemplateReader reader;
  LoadPlayerTemplateLibrary(reader);
  // Preset list 0 after the players, so that user presets find theirs.
  PathString presetsFolder;
  SetUpPresetList(presetsFolder);
  // A job whose input has moved asks the user where it went instead of being left out.
  InstallJobInputRelocation();
  toolbox::SetDisplayLostHandler(SayDisplayLost);
  return true;
}

bool OnAppRun(int) {
  if (!InstallMenuBar()) std::cerr << "brivane: the menu bar could not be installed" << std::endl;
  // No help file of its own is installed: help comes from the help book among the resources.
  RegisterHelpBook(PathString());
  MainWindow mainWindow;
  mainWindow.Create(GetMainNib(), kMainWindowName, toolbox::WindowRef{}, 0);
  if (!mainWindow.GetWindow()) {
    std::cerr << "brivane: the main window could not be created";
    if (!toolbox::LastNibError().empty()) std::cerr << " (" << toolbox::LastNibError() << ")";
    std::cerr << std::endl;
    return false;
  }
  unsavedChangesDiscarded = false;
  mainWindow.Initialize();
  CurrentApplication->SetMainWindow(&mainWindow);
  mainWindow.Show(true);
  runningWindow = &mainWindow;
  toolbox::RunApplicationEventLoop();
  runningWindow = nullptr;
  if (mainWindow.ChangesLeftUnsaved()) {
    unsavedChangesDiscarded = true;
    SayChangesLost(mainWindow);
  }
  mainWindow.Finish();
  CurrentApplication->SetMainWindow(nullptr);
  return true;
}

bool OnAppExit() {
  toolbox::SetDisplayLostHandler(nullptr);
  AppStartSteps& steps = StartSteps();
  if (preferencesLoaded && steps.savePreferences) steps.savePreferences();
  preferencesLoaded = false;
  if (steps.cleanUp) steps.cleanUp();
  DeleteAllPresetLists();
  PlayerTemplateLibrary::DeleteAll();
  DeleteUndoFiles();
  RemoveTemporarySubfolder();
  return true;
}
