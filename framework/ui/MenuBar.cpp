// The menu bar from the main nib. It sits apart from NibRef so that only programs that
// install the menu bar need the main nib, which the application windows supply.
#include "framework/platform/SystemServices.h"
#include "framework/ui/NibRef.h"
#include "toolbox/Menus.h"

bool InstallMenuBar() {
  if (toolbox::SetMenuBarFromNib(GetMainNib().Get(), "IDR_MENU") != toolbox::kNoErr) return false;
  if (!IsMacOSX()) return true;
  // Preferences is a command of the whole application. Quit and Preferences stay in the
  // menus the nib gives them: there is no application menu on Linux to take them.
  toolbox::EnableMenuCommand(toolbox::MenuRef{}, toolbox::FourCC("pref"), true);
  return true;
}
