#include "app/AppPrefs.h"

#include "app/AppShell.h"
#include "framework/platform/Preferences.h"

AppPrefs& ApplicationPreferences() {
  static AppPrefs prefs;
  return prefs;
}

void AppPrefs::Reset() { recentProjects.ClearList(); }

bool AppPrefs::Load() {
  Reset();
  Preferences store;
  // Open fails only for a store that exists and cannot be read; a damaged one opens empty.
  if (!store.Open(nullptr, kPrefsCurrentUser)) return false;
  recentProjects.Load(store, kRecentProjectsKey);
  return true;
}

bool AppPrefs::Save() const {
  Preferences store;
  if (!store.Open(nullptr, kPrefsCurrentUser)) return false;
  recentProjects.Save(store, kRecentProjectsKey);
  // Close writes only when a value changed; an unchanged store is already on disk.
  store.Close();
  return store.LastError() == 0;
}

void InstallApplicationPreferences() {
  StartSteps().loadPreferences = [] { return ApplicationPreferences().Load(); };
  StartSteps().savePreferences = [] { return ApplicationPreferences().Save(); };
}
