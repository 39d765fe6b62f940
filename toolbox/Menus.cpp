#include "toolbox/Menus.h"

#include <algorithm>
#include <map>
#include <memory>

#include "toolbox/Display.h"
#include "toolbox/Events.h"

namespace toolbox {
namespace {

struct MenuData {
  std::int16_t id = 0;
  std::wstring title;
  std::vector<MenuItemInfo> items;
};

struct MenuModel {
  std::map<std::uint64_t, MenuData> menus;
  std::vector<MenuRef> bar;
};

MenuModel& Model() {
  static MenuModel model;
  return model;
}

MenuData* Find(MenuRef m) {
  auto it = Model().menus.find(m.id);
  return it == Model().menus.end() ? nullptr : &it->second;
}

bool FindCommand(OSType command, MenuRef* outMenu, std::uint16_t* outIndex) {
  for (MenuRef m : Model().bar) {
    MenuData* d = Find(m);
    if (!d) continue;
    for (std::size_t i = 0; i < d->items.size(); ++i) {
      const MenuItemInfo& item = d->items[i];
      if (item.command == command && item.enabled && !(item.attributes & kMenuItemAttrSeparator)) {
        *outMenu = m;
        *outIndex = static_cast<std::uint16_t>(i + 1);
        return true;
      }
    }
  }
  return false;
}

std::unique_ptr<Event> MakeMenuCommand(OSType command, MenuRef menu, std::uint16_t index) {
  auto e = std::make_unique<Event>(kEventClassCommand, kEventCommandProcess);
  HICommand hc;
  hc.attributes = kHICommandFromMenu;
  hc.commandID = command;
  hc.menu = menu;
  hc.menuItemIndex = index;
  e->SetParameter(kEventParamDirectObject, kTypeHICommand, hc);
  return e;
}

}  // namespace

OSStatus CreateNewMenu(std::int16_t menuId, const std::wstring& title, MenuRef* outMenu) {
  MenuRef ref{NextHandleId()};
  Model().menus[ref.id] = MenuData{menuId, title, {}};
  if (outMenu) *outMenu = ref;
  return kNoErr;
}

OSStatus DisposeMenu(MenuRef menu) {
  if (!Model().menus.erase(menu.id)) return kInvalidMenuErr;
  auto& bar = Model().bar;
  std::erase(bar, menu);
  return kNoErr;
}

bool IsValidMenu(MenuRef menu) { return Find(menu) != nullptr; }

std::int16_t GetMenuID(MenuRef menu) {
  MenuData* d = Find(menu);
  return d ? d->id : 0;
}

std::wstring GetMenuTitle(MenuRef menu) {
  MenuData* d = Find(menu);
  return d ? d->title : std::wstring();
}

OSStatus AppendMenuItem(MenuRef menu, const MenuItemInfo& item, std::uint16_t* outIndex) {
  MenuData* d = Find(menu);
  if (!d) return kInvalidMenuErr;
  if (d->items.size() >= 0xFFFF) return kParamErr;
  d->items.push_back(item);
  if (outIndex) *outIndex = static_cast<std::uint16_t>(d->items.size());
  return kNoErr;
}

OSStatus DeleteMenuItem(MenuRef menu, std::uint16_t index) {
  MenuData* d = Find(menu);
  if (!d) return kInvalidMenuErr;
  if (index < 1 || index > d->items.size()) return kParamErr;
  d->items.erase(d->items.begin() + (index - 1));
  return kNoErr;
}

std::uint16_t CountMenuItems(MenuRef menu) {
  MenuData* d = Find(menu);
  return d ? static_cast<std::uint16_t>(d->items.size()) : 0;
}

OSStatus GetMenuItem(MenuRef menu, std::uint16_t index, MenuItemInfo* outItem) {
  MenuData* d = Find(menu);
  if (!d) return kInvalidMenuErr;
  if (index < 1 || index > d->items.size()) return kParamErr;
  if (outItem) *outItem = d->items[index - 1];
  return kNoErr;
}

OSStatus SetMenuItem(MenuRef menu, std::uint16_t index, const MenuItemInfo& item) {
  MenuData* d = Find(menu);
  if (!d) return kInvalidMenuErr;
  if (index < 1 || index > d->items.size()) return kParamErr;
  d->items[index - 1] = item;
  return kNoErr;
}

OSStatus GetIndMenuItemWithCommandID(MenuRef menu, OSType command, std::uint16_t n,
                                     std::uint16_t* outIndex) {
  MenuData* d = Find(menu);
  if (!d) return kInvalidMenuErr;
  std::uint16_t seen = 0;
  for (std::size_t i = 0; i < d->items.size(); ++i) {
    if (d->items[i].command == command && ++seen == n) {
      if (outIndex) *outIndex = static_cast<std::uint16_t>(i + 1);
      return kNoErr;
    }
  }
  return kNotFoundErr;
}

OSStatus EnableMenuCommand(MenuRef menu, OSType command, bool enable) {
  std::vector<MenuRef> menus;
  if (menu)
    menus.push_back(menu);
  else
    menus = Model().bar;
  bool found = false;
  for (MenuRef m : menus) {
    MenuData* d = Find(m);
    if (!d) continue;
    for (MenuItemInfo& item : d->items) {
      if (item.command != command) continue;
      item.enabled = enable;
      found = true;
    }
  }
  return found ? kNoErr : kNotFoundErr;
}

void SetMenuBar(const std::vector<MenuRef>& menus) {
  Model().bar.clear();
  for (MenuRef m : menus)
    if (Find(m)) Model().bar.push_back(m);
  if (DisplayBackend* b = GetDisplayBackend()) b->MenuBarChanged();
}

std::vector<MenuRef> GetMenuBar() { return Model().bar; }

MenuRef GetMenuHandle(std::int16_t menuId) {
  for (MenuRef m : Model().bar)
    if (MenuData* d = Find(m); d && d->id == menuId) return m;
  return MenuRef{};
}

OSStatus ChooseMenuCommand(OSType command) {
  MenuRef menu;
  std::uint16_t index = 0;
  if (!FindCommand(command, &menu, &index)) return kNotFoundErr;
  auto e = MakeMenuCommand(command, menu, index);
  return SendEventToEventTarget(e.get(), GetUserFocusEventTarget());
}

OSStatus PostMenuCommand(OSType command) {
  MenuRef menu;
  std::uint16_t index = 0;
  if (!FindCommand(command, &menu, &index)) return kNotFoundErr;
  auto e = MakeMenuCommand(command, menu, index);
  e->SetToUserFocus(true);
  PostEventToQueue(std::move(e));
  return kNoErr;
}

OSStatus PostMenuItemChoice(MenuRef menu, std::uint16_t index) {
  const auto& bar = Model().bar;
  MenuData* d = Find(menu);
  if (!d || std::find(bar.begin(), bar.end(), menu) == bar.end()) return kNotFoundErr;
  if (index < 1 || index > d->items.size()) return kNotFoundErr;
  const MenuItemInfo& item = d->items[index - 1];
  if (!item.enabled || (item.attributes & kMenuItemAttrSeparator)) return kNotFoundErr;
  auto e = MakeMenuCommand(item.command, menu, index);
  e->SetToUserFocus(true);
  PostEventToQueue(std::move(e));
  return kNoErr;
}

void ResetMenuModel() {
  Model().menus.clear();
  Model().bar.clear();
}

}  // namespace toolbox
