#pragma once
// Menus and the menu bar as a model. A menu has a 16-bit id, a title and items; an item has
// text, a command id, modifiers, a command key, an enabled state, a check mark and
// attributes. Items count from 1. Choosing an enabled item sends a process-command event to
// the user focus (the active window, then the application).
#include <cstdint>
#include <string>
#include <vector>

#include "toolbox/Types.h"

namespace toolbox {

inline constexpr std::uint32_t kMenuItemAttrSeparator = 64;

// Modifier bits of an item's command key. Without kMenuNoCommandModifier the command key
// (Ctrl on Linux) is part of the combination.
inline constexpr std::uint8_t kMenuShiftModifier = 1;
inline constexpr std::uint8_t kMenuOptionModifier = 2;
inline constexpr std::uint8_t kMenuControlModifier = 4;
inline constexpr std::uint8_t kMenuNoCommandModifier = 8;

struct MenuItemInfo {
  std::wstring text;
  OSType command = 0;
  std::uint8_t modifiers = 0;
  char32_t key = 0;
  bool virtualKey = false;
  bool enabled = true;
  bool checked = false;
  std::uint32_t attributes = 0;
};

OSStatus CreateNewMenu(std::int16_t menuId, const std::wstring& title, MenuRef* outMenu);
OSStatus DisposeMenu(MenuRef menu);
bool IsValidMenu(MenuRef menu);
std::int16_t GetMenuID(MenuRef menu);
std::wstring GetMenuTitle(MenuRef menu);

// Appends an item; its index (from 1) goes to outIndex when given.
OSStatus AppendMenuItem(MenuRef menu, const MenuItemInfo& item, std::uint16_t* outIndex = nullptr);
OSStatus DeleteMenuItem(MenuRef menu, std::uint16_t index);
std::uint16_t CountMenuItems(MenuRef menu);
OSStatus GetMenuItem(MenuRef menu, std::uint16_t index, MenuItemInfo* outItem);
OSStatus SetMenuItem(MenuRef menu, std::uint16_t index, const MenuItemInfo& item);
// The n-th (from 1) item with the command.
OSStatus GetIndMenuItemWithCommandID(MenuRef menu, OSType command, std::uint16_t n,
                                     std::uint16_t* outIndex);

// Enables or disables every item with the command: in one menu, or with a null menu in
// every menu of the menu bar (application-wide). kNotFoundErr when no item has it.
OSStatus EnableMenuCommand(MenuRef menu, OSType command, bool enable);

// The menu bar: menus in order.
void SetMenuBar(const std::vector<MenuRef>& menus);
std::vector<MenuRef> GetMenuBar();
MenuRef GetMenuHandle(std::int16_t menuId);  // a menu of the menu bar

// Chooses the first enabled item with the command in the menu bar, as a user would: the
// command goes at once to the user focus, and the status of its handling is returned.
// kNotFoundErr when the menu bar has no such enabled item.
OSStatus ChooseMenuCommand(OSType command);
// The same choice queued for the event loop (what a display back end does).
OSStatus PostMenuCommand(OSType command);
// Queues the choice of one item of a menu in the menu bar, as a user picks it on screen.
// kNotFoundErr when the menu is not in the menu bar or the item is missing, disabled or a
// separator.
OSStatus PostMenuItemChoice(MenuRef menu, std::uint16_t index);

void ResetMenuModel();

}  // namespace toolbox
