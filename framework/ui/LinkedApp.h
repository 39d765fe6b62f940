#pragma once
// Finding the companion protection tool's plug-in bundle with the user's help, when its
// recorded location (FindLinkedAppBundle) does not lead to it.
#include "framework/platform/PathString.h"
#include "toolbox/Types.h"

// Asks the user for the folder that holds the companion tool. True when the plug-in bundle
// is in the chosen folder, its absolute path then in `out`; false, `out` untouched, when the
// dialog is cancelled or the folder holds no bundle.
bool LocateLinkedApp(PathString& out, toolbox::WindowRef parentWindow);
