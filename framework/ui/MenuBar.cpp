// The menu bar from the main nib. It sits apart from NibRef so that only programs that
// install the menu bar need the main nib, which the application windows supply.
#include "framework/ui/NibRef.h"

bool InstallMenuBar() {
  return toolbox::SetMenuBarFromNib(GetMainNib().Get(), "IDR_MENU") == toolbox::kNoErr;
}
