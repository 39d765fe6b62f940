#pragma once
// The application's preferences: what the application keeps from one run to the next in its
// own preferences domain. They are read once at start, with defaults for whatever the store
// lacks, and written back at exit; the main window takes its recent projects from here when
// it opens and gives them back when its run ends.
#include <string>

#include "framework/app/RecentItems.h"

struct AppPrefs {
  RecentItems recentProjects;

  // Back to the defaults: no recent projects, five shown.
  void Reset();
  // Reads the current user's store; a missing store leaves the defaults. True also then:
  // only a store that exists and cannot be opened fails.
  bool Load();
  // Writes the values into the current user's store; false when the store cannot be
  // written (the previous store is then left as it was).
  bool Save() const;
};

// The process-wide preferences object.
AppPrefs& ApplicationPreferences();

// The key of the recent projects in the store.
inline constexpr const wchar_t* kRecentProjectsKey = L"recent_projects";

// Makes the start and exit steps load and save the application's preferences (the
// executable does this; tests that run the application choose their own steps).
void InstallApplicationPreferences();
