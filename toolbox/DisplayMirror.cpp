#include "toolbox/DisplayMirror.h"

#include <algorithm>

#include "toolbox/Alerts.h"
#include "toolbox/Controls.h"
#include "toolbox/Icons.h"
#include "toolbox/Menus.h"
#include "toolbox/Utf8.h"

namespace toolbox {
namespace {

// What each kind shows beyond its title and value.
void DescribeKind(ControlRef c, ControlView* cv) {
  cv->minimum = GetControlMinimum(c);
  cv->maximum = GetControlMaximum(c);
  cv->viewSize = GetControlViewSize(c);
  cv->help = WideToUtf8(GetControlHelpText(c));
  if (MenuRef menu = GetControlMenu(c)) {
    for (std::uint16_t i = 1; i <= CountMenuItems(menu); ++i) {
      MenuItemInfo item;
      GetMenuItem(menu, i, &item);
      cv->items.push_back(WideToUtf8(item.text));
      cv->itemSeparators.push_back((item.attributes & kMenuItemAttrSeparator) != 0);
    }
  }
  for (const std::wstring& t : GetTabTitles(c)) cv->items.push_back(WideToUtf8(t));
  ButtonContent content;
  if (GetBevelButtonContent(c, &content) == kNoErr && content.kind == ButtonContentKind::kPicture) {
    cv->swatch = true;
    cv->swatchColor = content.picture;
  }
  const ControlTextFont font = GetControlTextFont(c);
  cv->fontSize = font.pixels;
  cv->bold = font.bold;
  if (GetBevelButtonContent(c, &content) == kNoErr && content.kind == ButtonContentKind::kIcon)
    GetRegisteredIconFamilyOfCreator(content.icon, &cv->iconFamily);
  cv->defaultButton = GetWindowDefaultButton(GetControlOwner(c)) == c;
  cv->tickMarks = GetControlTickMarks(c);
  if (cv->kind != kControlKindDataBrowser) return;
  const std::vector<DataBrowserColumn> columns = GetDataBrowserColumns(c);
  for (const DataBrowserColumn& col : columns) {
    cv->columns.push_back(WideToUtf8(col.title));
    cv->columnIds.push_back(col.property);
    cv->columnMaxWidths.push_back(col.maximumWidth);
  }
  cv->sortColumn = GetDataBrowserSortProperty(c, &cv->sortDecreasing);
  cv->rowIds = GetDataBrowserItemsInOrder(c);
  for (DataBrowserItemID id : cv->rowIds) {
    std::vector<std::string> cells;
    for (const DataBrowserColumn& col : columns)
      cells.push_back(WideToUtf8(GetDataBrowserCellText(c, id, col.property)));
    cv->rows.push_back(std::move(cells));
  }
  cv->selected = GetDataBrowserSelectedItems(c);
}

}  // namespace

WindowView ViewOfWindow(WindowRef window) {
  WindowView v;
  if (!IsValidWindowRef(window)) return v;
  v.ref = window;
  GetWindowClass(window, &v.windowClass);
  std::wstring title;
  CopyWindowTitle(window, &title);
  v.title = WideToUtf8(title);
  GetWindowBounds(window, &v.bounds);
  v.visible = IsWindowVisible(window);
  std::uint32_t attributes = 0;
  GetWindowAttributes(window, &attributes);
  v.closeBox = attributes & kWindowCloseBoxAttribute;
  v.resizable = attributes & kWindowResizableAttribute;
  v.hasMenuBar = v.windowClass == kDocumentWindowClass;
  v.busy = GetThemeCursor() == kThemeWatchCursor;
  AlertType alert;
  if (GetAlertType(window, &alert) && alert != kAlertPlainAlert) v.alertIcon = alert;
  for (ControlRef c : GetWindowControls(window)) v.controls.push_back(ViewOfControl(c));
  return v;
}

ControlView ViewOfControl(ControlRef c) {
  ControlView cv;
  cv.ref = c;
  cv.kind = GetControlKind(c);
  cv.title = WideToUtf8(GetControlTitle(c));
  GetControlBounds(c, &cv.bounds);
  cv.value = GetControlValue(c);
  for (ControlRef up = c; up; up = GetSuperControl(up)) {
    cv.visible = cv.visible && IsControlVisible(up);
    cv.enabled = cv.enabled && IsControlActive(up);
  }
  DescribeKind(c, &cv);
  if (cv.kind == kControlKindEditText) GetEditTextCaret(c, &cv.anchor, &cv.caret);
  return cv;
}

namespace {

std::vector<MenuItemView> ItemsOf(MenuRef m, std::vector<MenuRef>& path) {
  std::vector<MenuItemView> items;
  path.push_back(m);
  for (std::uint16_t i = 1; i <= CountMenuItems(m); ++i) {
    MenuItemInfo item;
    if (GetMenuItem(m, i, &item) != kNoErr) continue;
    MenuItemView iv;
    iv.index = i;
    iv.label = WideToUtf8(item.text);
    iv.separator = item.attributes & kMenuItemAttrSeparator;
    iv.enabled = item.enabled;
    iv.checked = item.checked;
    // A virtual key is a key code, not a character: it has no on-screen combination.
    if (item.key && !item.virtualKey && !iv.separator) {
      iv.key = item.key;
      iv.ctrl = !(item.modifiers & kMenuNoCommandModifier) || (item.modifiers & kMenuControlModifier);
      iv.shift = item.modifiers & kMenuShiftModifier;
      iv.alt = item.modifiers & kMenuOptionModifier;
    }
    if (!iv.separator) iv.submenu = GetMenuItemHierarchicalMenu(m, i);
    if (iv.submenu && std::find(path.begin(), path.end(), iv.submenu) == path.end())
      iv.submenuItems = ItemsOf(iv.submenu, path);
    items.push_back(std::move(iv));
  }
  path.pop_back();
  return items;
}

}  // namespace

std::vector<MenuItemView> ViewOfMenuItems(MenuRef menu) {
  std::vector<MenuRef> path;
  return ItemsOf(menu, path);
}

std::vector<MenuView> ViewOfMenuBar() {
  std::vector<MenuView> bar;
  for (MenuRef m : GetMenuBar()) {
    MenuView mv;
    mv.ref = m;
    mv.title = WideToUtf8(GetMenuTitle(m));
    mv.items = ViewOfMenuItems(m);
    bar.push_back(std::move(mv));
  }
  return bar;
}

std::vector<std::string> ParseUriList(const std::string& text) {
  std::vector<std::string> uris;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    uris.push_back(std::move(line));
  }
  return uris;
}

Drag MakeFileDrag(const std::vector<std::string>& uris, Point where) {
  Drag drag;
  drag.mouse = where;
  for (const std::string& uri : uris) {
    DragItem item;
    item.flavors[kFlavorUriList] = uri;
    drag.items.push_back(std::move(item));
  }
  return drag;
}

}  // namespace toolbox
