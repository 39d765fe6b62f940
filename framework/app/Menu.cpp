#include "framework/app/Menu.h"

using namespace toolbox;

Menu::Menu(MenuRef menu) : menu_(menu), attached_(static_cast<bool>(menu)) {}

bool Menu::Create(std::int16_t menuId, const std::wstring& title) {
  title_ = title.substr(0, kMaxTitle);
  return CreateNewMenu(menuId, title_, &menu_) == kNoErr;
}

void Menu::Attach(MenuRef menu) {
  if (!menu) return;
  menu_ = menu;
  attached_ = true;
}

bool Menu::AppendItem(OSType command, const std::wstring& text, std::uint32_t modifiers,
                      char32_t key, bool virtualKey) {
  MenuItemInfo item;
  item.text = text;
  item.command = command;
  if (modifiers != 0) item.modifiers = static_cast<std::uint8_t>(modifiers & 0xFF);
  if (key != 0) {
    item.key = key;
    item.virtualKey = virtualKey;
  }
  return AppendMenuItem(menu_, item) == kNoErr;
}

bool Menu::AddSeparator() {
  MenuItemInfo item;
  item.attributes = kMenuItemAttrSeparator;
  return AppendMenuItem(menu_, item) == kNoErr;
}

namespace {

// The index (from 1) of the first item with the command; 0 when there is none.
std::uint16_t FirstWithCommand(MenuRef menu, OSType command) {
  std::uint16_t index = 0;
  return GetIndMenuItemWithCommandID(menu, command, 1, &index) == kNoErr ? index : 0;
}

bool UpdateItem(MenuRef menu, std::uint32_t index, void (*change)(MenuItemInfo&, bool), bool on) {
  if (index < 1 || index > 0xFFFF) return false;
  MenuItemInfo item;
  const auto i = static_cast<std::uint16_t>(index);
  if (GetMenuItem(menu, i, &item) != kNoErr) return false;
  change(item, on);
  return SetMenuItem(menu, i, item) == kNoErr;
}

void Mark(MenuItemInfo& item, bool on) { item.checked = on; }
void Enable(MenuItemInfo& item, bool on) { item.enabled = on; }

}  // namespace

bool Menu::DeleteItem(std::uint32_t commandOrIndex, bool byIndex) {
  const std::uint32_t index = byIndex ? commandOrIndex + 1 : FirstWithCommand(menu_, commandOrIndex);
  if (index < 1 || index > 0xFFFF) return false;
  return DeleteMenuItem(menu_, static_cast<std::uint16_t>(index)) == kNoErr;
}

bool Menu::CheckItem(std::uint32_t commandOrIndex, bool byIndex, bool mark) {
  const std::uint32_t index = byIndex ? commandOrIndex : FirstWithCommand(menu_, commandOrIndex);
  return UpdateItem(menu_, index, Mark, mark);
}

bool Menu::EnableItem(std::uint32_t commandOrIndex, bool byIndex, bool enabled) {
  if (byIndex) return UpdateItem(menu_, commandOrIndex, Enable, enabled);
  if (!menu_) return false;  // a null menu would mean every menu of the bar
  return EnableMenuCommand(menu_, commandOrIndex, enabled) == kNoErr;
}

std::uint16_t Menu::Count() const { return CountMenuItems(menu_); }

bool Menu::RemoveAll() {
  const std::uint16_t n = Count();
  for (std::uint16_t i = 0; i < n; ++i)
    if (DeleteMenuItem(menu_, 1) != kNoErr) return false;
  return true;
}

MenuRef MenuBarHolder::GetMenuByID(std::int16_t id) const { return GetMenuHandle(id); }
