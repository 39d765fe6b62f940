#pragma once
// The application's start and end: the three hooks the application object calls, and the
// steps they take. The init hook makes the application's own temporary folder, checks the
// start-up requirements, loads the preferences and then player template library 0. The
// exit hook saves the preferences only when the init hook loaded them, so a start that
// fails early never writes defaults over the user's stored preferences; it then lets the
// player templates go and removes the temporary folder.
#include <functional>

struct AppStartSteps {
  // Each returns false on failure; a failed requirement has reported itself to the user.
  std::function<bool()> checkRequirements;
  std::function<bool()> loadPreferences;
  std::function<bool()> savePreferences;
  // What the exit hook does in every case after the preferences (leftovers, registries).
  std::function<void()> cleanUp;
};

// The steps in use; empty steps are skipped (and count as done).
AppStartSteps& StartSteps();

// True from a successful load of the preferences until the exit hook.
bool PreferencesLoaded();

// The last run ended (its input or display gone) while the project held changes that the
// user never agreed to lose; the run hook said so on standard error. The process then ends
// with a failure status.
bool UnsavedChangesDiscarded();

// The subfolder of the private temporary folder that holds each running copy's own folder.
inline constexpr const wchar_t* kTemporarySubfolderName = L"_brivane";

// The name of the main window in the nib "main".
inline constexpr const wchar_t* kMainWindowName = L"IDD_MAIN_DIALOG";
