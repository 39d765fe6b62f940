#include "toolbox/Controls.h"

#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <map>

#include "toolbox/Alerts.h"
#include "toolbox/Display.h"
#include "toolbox/Menus.h"

namespace toolbox {
namespace {

struct ListData {
  DataBrowserCallbacks callbacks;
  std::vector<DataBrowserColumn> columns;
  std::vector<DataBrowserItemID> items;  // display order
  std::vector<DataBrowserItemID> selected;
  std::uint32_t selectionFlags = 0;
  std::uint16_t headerHeight = 17;
  std::uint32_t redraws = 0;
  DataBrowserPropertyID sortProperty = 0;
  bool sortDecreasing = false;
};

struct Extras {
  MenuRef menu;
  bool ownsMenu = false;
  std::int16_t lastMenuId = 0;
  std::uint16_t lastItem = 0;
  int selStart = 0;
  int selEnd = 0;
  bool caretAtStart = false;  // a selection made towards the start of the text
  KeyFilterFunction keyFilter;
  ListData list;
  std::int32_t viewSize = 0;
  std::vector<std::wstring> tabs;
  std::wstring help;
  ControlFontStyle font;
  ButtonContent content;
  bool autoToggle = false;
  std::int32_t tickMarks = 0;
};

struct ExtrasModel {
  std::map<std::uint64_t, Extras> controls;
  std::map<std::pair<std::uint64_t, std::uint16_t>, MenuRef> submenus;
  std::map<std::uint64_t, ControlRef> focus;  // by window
  std::map<std::uint64_t, std::pair<ControlRef, ControlRef>> buttons;  // default, cancel
  Point mouse;
  std::vector<Point> path;
  std::int32_t cursor = kThemeArrowCursor;
  ColorPickerResponder picker;
};

ExtrasModel& Model() {
  static ExtrasModel model;
  return model;
}

// The record of a valid control; null for a null or disposed handle.
Extras* Get(ControlRef c) {
  if (!IsValidControlRef(c)) return nullptr;
  return &Model().controls[c.id];
}

bool IsEdit(ControlRef c) { return GetControlKind(c) == kControlKindEditText; }

std::wstring Text(ControlRef c) { return GetControlTitle(c); }

void ClampSelection(Extras& e, std::size_t length) {
  const int n = static_cast<int>(length);
  e.selStart = std::clamp(e.selStart, 0, n);
  e.selEnd = std::clamp(e.selEnd, e.selStart, n);
}

}  // namespace

OSStatus SetControlAutoToggle(ControlRef control, bool on) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  e->autoToggle = on;
  return kNoErr;
}

OSStatus HitControlPart(ControlRef control, ControlPartCode part, std::uint32_t modifiers) {
  EventTargetRef target = GetControlEventTarget(control);
  if (!target) return kInvalidControlErr;
  if (Extras* e = Get(control); e && e->autoToggle) {
    const OSType kind = GetControlKind(control);
    if (kind == kControlKindCheckBox) SetControlValue(control, GetControlValue(control) == 0 ? 1 : 0);
    else SetControlValue(control, 1);
  }
  Event hit(kEventClassControl, kEventControlHit);
  hit.SetParameter(kEventParamDirectObject, kTypeControlRef, control);
  hit.SetParameter(kEventParamKeyModifiers, kTypeUInt32, modifiers);
  hit.SetParameter(kEventParamControlPart, kTypeControlPartCode,
                   static_cast<std::uint16_t>(part));
  OSStatus status = SendEventToEventTarget(&hit, target);
  if (status != kEventNotHandledErr) return status;
  if (part == kControlMenuPart && GetControlKind(control) == kControlKindBevelButton) return status;
  OSType command = 0;
  if (GetControlCommandID(control, &command) != kNoErr || command == 0) return status;
  Event process(kEventClassCommand, kEventCommandProcess);
  HICommand hc;
  hc.attributes = kHICommandFromControl;
  hc.commandID = command;
  process.SetParameter(kEventParamDirectObject, kTypeHICommand, hc);
  return SendEventToEventTarget(&process, GetUserFocusEventTarget());
}

// --- menus ---

OSStatus SetControlMenu(ControlRef control, MenuRef menu, bool owned) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  if (menu && !IsValidMenu(menu)) return kInvalidMenuErr;
  e->menu = menu;
  e->ownsMenu = owned && menu;
  return kNoErr;
}

MenuRef GetControlMenu(ControlRef control) {
  Extras* e = Get(control);
  if (!e || !IsValidMenu(e->menu)) return MenuRef{};
  return e->menu;
}

OSStatus GetControlLastMenu(ControlRef control, std::int16_t* menuId, std::uint16_t* item) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  if (menuId) *menuId = e->lastMenuId;
  if (item) *item = e->lastItem;
  return kNoErr;
}

OSStatus ChooseControlMenuItem(ControlRef control, MenuRef menu, std::uint16_t item) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  if (!IsValidMenu(menu) || item == 0 || item > CountMenuItems(menu)) return kParamErr;
  MenuItemInfo info;
  GetMenuItem(menu, item, &info);
  if (!info.enabled || (info.attributes & kMenuItemAttrSeparator)) return kParamErr;
  e->lastMenuId = GetMenuID(menu);
  e->lastItem = item;
  if (GetControlKind(control) == kControlKindPopupButton && menu != e->menu) return kParamErr;
  SetControlValue(control, item);
  return HitControlPart(control, kControlMenuPart);
}

OSStatus SetMenuItemHierarchicalMenu(MenuRef menu, std::uint16_t item, MenuRef submenu) {
  if (!IsValidMenu(menu)) return kInvalidMenuErr;
  if (item == 0 || item > CountMenuItems(menu)) return kParamErr;
  if (submenu) Model().submenus[{menu.id, item}] = submenu;
  else Model().submenus.erase({menu.id, item});
  return kNoErr;
}

MenuRef GetMenuItemHierarchicalMenu(MenuRef menu, std::uint16_t item) {
  if (!IsValidMenu(menu) || item == 0 || item > CountMenuItems(menu)) return MenuRef{};
  auto it = Model().submenus.find({menu.id, item});
  if (it == Model().submenus.end() || !IsValidMenu(it->second)) return MenuRef{};
  return it->second;
}

// --- edit fields ---

OSStatus SetEditTextSelection(ControlRef control, int start, int end) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  e->selStart = std::min(start, end);
  e->selEnd = std::max(start, end);
  e->caretAtStart = end < start;
  ClampSelection(*e, Text(control).size());
  return kNoErr;
}

OSStatus GetEditTextCaret(ControlRef control, int* anchor, int* caret) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  ClampSelection(*e, Text(control).size());
  if (anchor) *anchor = e->caretAtStart ? e->selEnd : e->selStart;
  if (caret) *caret = e->caretAtStart ? e->selStart : e->selEnd;
  return kNoErr;
}

namespace {

bool InWord(wchar_t c) { return std::iswalnum(static_cast<wint_t>(c)) != 0; }

// The end of the word at or after `at`, and the start of the word before it.
int NextWordEnd(const std::wstring& text, int at) {
  const int n = static_cast<int>(text.size());
  while (at < n && !InWord(text[static_cast<std::size_t>(at)])) ++at;
  while (at < n && InWord(text[static_cast<std::size_t>(at)])) ++at;
  return at;
}
int PreviousWordStart(const std::wstring& text, int at) {
  while (at > 0 && !InWord(text[static_cast<std::size_t>(at - 1)])) --at;
  while (at > 0 && InWord(text[static_cast<std::size_t>(at - 1)])) --at;
  return at;
}

}  // namespace

OSStatus MoveEditTextCaret(ControlRef control, CaretStep step, int count, bool extend) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  if (!IsEdit(control)) return kParamErr;
  const std::wstring text = Text(control);
  const int length = static_cast<int>(text.size());
  int anchor = 0, caret = 0;
  GetEditTextCaret(control, &anchor, &caret);
  if (step == CaretStep::kEnds) {
    caret = count < 0 ? 0 : length;
  } else if (anchor != caret && !extend) {
    caret = count <= 0 ? e->selStart : e->selEnd;
  } else if (step == CaretStep::kCharacters) {
    caret = static_cast<int>(std::clamp<long long>(static_cast<long long>(caret) + count, 0, length));
  } else {
    for (; count > 0 && caret < length; --count) caret = NextWordEnd(text, caret);
    for (; count < 0 && caret > 0; ++count) caret = PreviousWordStart(text, caret);
  }
  return SetEditTextSelection(control, extend ? anchor : caret, caret);
}

OSStatus GetEditTextSelection(ControlRef control, int* start, int* end) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  ClampSelection(*e, Text(control).size());
  if (start) *start = e->selStart;
  if (end) *end = e->selEnd;
  return kNoErr;
}

OSStatus SetKeyFilter(ControlRef control, KeyFilterFunction filter) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  e->keyFilter = std::move(filter);
  return kNoErr;
}

KeyFilterFunction GetKeyFilter(ControlRef control) {
  Extras* e = Get(control);
  return e ? e->keyFilter : KeyFilterFunction{};
}

OSStatus TypeCharacter(ControlRef control, char32_t c, bool* passed) {
  if (passed) *passed = false;
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  if (!IsEdit(control)) return kParamErr;
  if (KeyFilterFunction filter = e->keyFilter) {
    if (!filter(control, c)) return kNoErr;
    e = Get(control);  // the filter may have disposed of the field
    if (!e) return kInvalidControlErr;
  }
  if (passed) *passed = true;
  std::wstring text = Text(control);
  ClampSelection(*e, text.size());
  std::size_t start = static_cast<std::size_t>(e->selStart);
  std::size_t end = static_cast<std::size_t>(e->selEnd);
  switch (c) {
    case 13: case 10: case 3: return kNoErr;
    case 28: return MoveEditTextCaret(control, CaretStep::kCharacters, -1, false);
    case 29: return MoveEditTextCaret(control, CaretStep::kCharacters, 1, false);
    case 8:
      if (start == end && start > 0) --start;
      break;
    case 127:
      if (start == end && end < text.size()) ++end;
      break;
    default:
      if (c < 32) return kNoErr;
      break;
  }
  text.erase(start, end - start);
  if (c != 8 && c != 127) {
    text.insert(start, 1, static_cast<wchar_t>(c));
    ++start;
  }
  SetControlTitle(control, text);
  e->selStart = e->selEnd = static_cast<int>(start);
  e->caretAtStart = false;
  return kNoErr;
}

OSStatus TypeText(ControlRef control, const std::wstring& text) {
  for (wchar_t c : text)
    if (OSStatus s = TypeCharacter(control, static_cast<char32_t>(c))) return s;
  return kNoErr;
}

OSStatus SetKeyboardFocus(WindowRef window, ControlRef control) {
  if (!IsValidWindowRef(window)) return kInvalidWindowErr;
  if (!control) return ClearKeyboardFocus(window);
  if (!IsValidControlRef(control) || GetControlOwner(control) != window) return kInvalidControlErr;
  Model().focus[window.id] = control;
  if (Extras* e = Get(control)) {  // focusing a field selects its whole text
    e->selStart = 0;
    e->selEnd = static_cast<int>(Text(control).size());
    e->caretAtStart = false;
  }
  return kNoErr;
}

ControlRef GetKeyboardFocus(WindowRef window) {
  auto it = Model().focus.find(window.id);
  if (it == Model().focus.end() || !IsValidControlRef(it->second) ||
      GetControlOwner(it->second) != window)
    return ControlRef{};
  return it->second;
}

OSStatus ClearKeyboardFocus(WindowRef window) {
  if (!IsValidWindowRef(window)) return kInvalidWindowErr;
  Model().focus.erase(window.id);
  return kNoErr;
}

bool IsControlUsable(ControlRef control) {
  if (!control) return false;
  for (ControlRef up = control; up; up = GetSuperControl(up))
    if (!IsControlVisible(up) || !IsControlActive(up)) return false;
  return true;
}

OSStatus PressKey(WindowRef window, std::uint32_t keyCode) {
  EventTargetRef windowTarget = GetWindowEventTarget(window);
  if (!windowTarget) return kInvalidWindowErr;
  ControlRef focus = GetKeyboardFocus(window);
  EventTargetRef target = focus ? GetControlEventTarget(focus) : windowTarget;
  Event e(kEventClassKeyboard, kEventRawKeyDown);
  e.SetParameter(kEventParamKeyCode, kTypeUInt32, keyCode);
  OSStatus status = SendEventToEventTarget(&e, target);
  if (!IsValidWindowRef(window)) return status;
  if (keyCode == kReturnKeyCode || keyCode == kEnterKeyCode || keyCode == kEscapeKeyCode) {
    // A key nobody took presses the window's default or cancel button.
    if (status != kEventNotHandledErr) return status;
    ControlRef button = keyCode == kEscapeKeyCode ? GetWindowCancelButton(window) : GetWindowDefaultButton(window);
    return IsControlUsable(button) ? HitControl(button) : status;
  }
  if (keyCode != kTabKeyCode) return status;
  // Tab moves the focus to the next visible, active edit field, round the window.
  std::vector<ControlRef> fields;
  for (ControlRef c : GetWindowControls(window))
    if (IsEdit(c) && IsControlVisible(c) && IsControlActive(c)) fields.push_back(c);
  if (fields.empty()) return status;
  focus = GetKeyboardFocus(window);
  auto it = std::find(fields.begin(), fields.end(), focus);
  ControlRef next = it == fields.end() || it + 1 == fields.end() ? fields.front() : *(it + 1);
  SetKeyboardFocus(window, next);
  return status;
}

// --- list views ---

OSStatus SetDataBrowserCallbacks(ControlRef control, DataBrowserCallbacks callbacks) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  e->list.callbacks = std::move(callbacks);
  return kNoErr;
}

OSStatus AddDataBrowserListViewColumn(ControlRef control, const DataBrowserColumn& column) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  for (const DataBrowserColumn& c : e->list.columns)
    if (c.property == column.property) return kParamErr;
  e->list.columns.push_back(column);
  return kNoErr;
}

OSStatus RemoveDataBrowserTableViewColumn(ControlRef control, DataBrowserPropertyID property) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  auto& cols = e->list.columns;
  auto it = std::find_if(cols.begin(), cols.end(),
                         [&](const DataBrowserColumn& c) { return c.property == property; });
  if (it == cols.end()) return kDataBrowserItemNotFound;
  cols.erase(it);
  return kNoErr;
}

std::vector<DataBrowserColumn> GetDataBrowserColumns(ControlRef control) {
  Extras* e = Get(control);
  return e ? e->list.columns : std::vector<DataBrowserColumn>{};
}

OSStatus AddDataBrowserItems(ControlRef control, const std::vector<DataBrowserItemID>& items) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  for (DataBrowserItemID id : items) {
    if (id == 0) return kParamErr;
    if (std::find(e->list.items.begin(), e->list.items.end(), id) == e->list.items.end())
      e->list.items.push_back(id);
  }
  return kNoErr;
}

OSStatus RemoveAllDataBrowserItems(ControlRef control) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  e->list.items.clear();
  e->list.selected.clear();
  return kNoErr;
}

std::uint32_t GetDataBrowserItemCount(ControlRef control) {
  Extras* e = Get(control);
  return e ? static_cast<std::uint32_t>(e->list.items.size()) : 0;
}

std::vector<DataBrowserItemID> GetDataBrowserItemsInOrder(ControlRef control) {
  Extras* e = Get(control);
  return e ? e->list.items : std::vector<DataBrowserItemID>{};
}

OSStatus SetDataBrowserSelectedItems(ControlRef control, const std::vector<DataBrowserItemID>& items) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  std::vector<DataBrowserItemID> added;
  std::vector<DataBrowserItemID> selected;
  for (DataBrowserItemID id : items) {
    if (std::find(e->list.items.begin(), e->list.items.end(), id) == e->list.items.end()) continue;
    selected.push_back(id);
    if (std::find(e->list.selected.begin(), e->list.selected.end(), id) == e->list.selected.end())
      added.push_back(id);
  }
  e->list.selected = std::move(selected);
  // The view tells of every item that became selected, as it does for a click.
  auto notify = e->list.callbacks.notification;
  for (DataBrowserItemID id : added)
    if (notify && IsValidControlRef(control)) notify(control, id, kDataBrowserItemSelected);
  return kNoErr;
}

std::vector<DataBrowserItemID> GetDataBrowserSelectedItems(ControlRef control) {
  Extras* e = Get(control);
  if (!e) return {};
  // In display order, as the view reports them.
  std::vector<DataBrowserItemID> out;
  for (DataBrowserItemID id : e->list.items)
    if (std::find(e->list.selected.begin(), e->list.selected.end(), id) != e->list.selected.end())
      out.push_back(id);
  return out;
}

OSStatus SetDataBrowserSelectionFlags(ControlRef control, std::uint32_t flags) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  e->list.selectionFlags = flags;
  return kNoErr;
}

OSStatus SetDataBrowserHeaderHeight(ControlRef control, std::uint16_t height) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  e->list.headerHeight = height;
  return kNoErr;
}

OSStatus UpdateDataBrowserItems(ControlRef control, DataBrowserItemID) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  ++e->list.redraws;
  return kNoErr;
}

std::uint32_t DataBrowserRedrawCount(ControlRef control) {
  Extras* e = Get(control);
  return e ? e->list.redraws : 0;
}

std::wstring GetDataBrowserCellText(ControlRef control, DataBrowserItemID item,
                                    DataBrowserPropertyID property) {
  Extras* e = Get(control);
  if (!e || !e->list.callbacks.itemData) return {};
  auto callback = e->list.callbacks.itemData;
  std::wstring text;
  if (callback(control, item, property, false, &text) != kNoErr) return {};
  return text;
}

OSStatus SelectDataBrowserItemByUser(ControlRef control, DataBrowserItemID item) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  if (std::find(e->list.items.begin(), e->list.items.end(), item) == e->list.items.end())
    return kDataBrowserItemNotFound;
  e->list.selected = {item};
  if (auto notify = e->list.callbacks.notification) notify(control, item, kDataBrowserItemSelected);
  return kNoErr;
}

OSStatus SortDataBrowser(ControlRef control, DataBrowserPropertyID property) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  auto compare = e->list.callbacks.compare;
  if (!compare) return kParamErr;
  const bool decreasing = e->list.sortProperty == property && !e->list.sortDecreasing;
  std::vector<DataBrowserItemID> items = e->list.items;
  std::stable_sort(items.begin(), items.end(), [&](DataBrowserItemID a, DataBrowserItemID b) {
    return decreasing ? compare(control, b, a, property) : compare(control, a, b, property);
  });
  if ((e = Get(control))) {
    e->list.items = std::move(items);
    e->list.sortProperty = property;
    e->list.sortDecreasing = decreasing;
  }
  return kNoErr;
}

DataBrowserPropertyID GetDataBrowserSortProperty(ControlRef control, bool* decreasing) {
  Extras* e = Get(control);
  if (decreasing) *decreasing = e && e->list.sortDecreasing;
  return e ? e->list.sortProperty : 0;
}

// --- tracking ---

void SetMouseLocation(Point where) { Model().mouse = where; }
Point GetMouseLocation() { return Model().mouse; }
void SetTrackingPath(std::vector<Point> path) { Model().path = std::move(path); }

namespace {
bool Inside(const Rect& r, Point p) {
  return p.h >= r.left && p.h < r.right && p.v >= r.top && p.v < r.bottom;
}
}  // namespace

ControlPartCode FindControlPart(ControlRef control, Point where) {
  Rect r;
  if (GetControlBounds(control, &r) != kNoErr || !Inside(r, where)) return kControlNoPart;
  if (GetControlKind(control) != kControlKindScrollBar) return kControlButtonPart;
  // Arrows of 16 pixels at both ends; a thumb of 16 pixels placed by the value over the
  // rest; the page parts on either side of it.
  const bool horizontal = r.Width() > r.Height();
  const int origin = horizontal ? r.left : r.top;
  const int length = horizontal ? r.Width() : r.Height();
  const int at = (horizontal ? where.h : where.v) - origin;
  if (at < 16) return kControlUpButtonPart;
  if (at >= length - 16) return kControlDownButtonPart;
  const std::int64_t minimum = GetControlMinimum(control), maximum = GetControlMaximum(control);
  const std::int64_t range = maximum - minimum;
  const int travel = std::max(0, length - 48);
  const int thumb = 16 + (range > 0 ? static_cast<int>((GetControlValue(control) - minimum) * travel / range) : 0);
  if (at < thumb) return kControlPageUpPart;
  if (at < thumb + 16) return kControlIndicatorPart;
  return kControlPageDownPart;
}

ControlPartCode FindControlUnderMouse(WindowRef window, Point where, ControlRef* outControl) {
  if (outControl) *outControl = ControlRef{};
  std::vector<ControlRef> controls = GetWindowControls(window);
  // The last made is on top; a container gives way to what it holds.
  for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
    bool shown = true;
    for (ControlRef up = *it; up; up = GetSuperControl(up)) shown = shown && IsControlVisible(up);
    if (!shown || GetControlKind(*it) == kControlKindUserPane) continue;
    if (ControlPartCode part = FindControlPart(*it, where)) {
      if (outControl) *outControl = *it;
      return part;
    }
  }
  return kControlNoPart;
}

ControlPartCode TrackControl(ControlRef control, Point start, const ControlActionFunction& action) {
  std::vector<Point> path = std::move(Model().path);
  Model().path.clear();
  ControlPartCode part = FindControlPart(control, start);
  if (!part) return kControlNoPart;
  SetMouseLocation(start);
  if (action) action(control, part);
  for (Point p : path) {
    if (!IsValidControlRef(control)) break;
    SetMouseLocation(p);
    if (action) action(control, part);
  }
  return part;
}

bool PointOfControlPart(ControlRef control, ControlPartCode part, Point* where) {
  Rect r;
  if (GetControlBounds(control, &r) != kNoErr || r.Width() <= 0 || r.Height() <= 0) return false;
  const bool horizontal = r.Width() > r.Height();
  const int length = horizontal ? r.Width() : r.Height();
  for (int at = 0; at < length; ++at) {
    Point p = horizontal ? Point{static_cast<short>(r.top + r.Height() / 2), static_cast<short>(r.left + at)}
                         : Point{static_cast<short>(r.top + at), static_cast<short>(r.left + r.Width() / 2)};
    if (FindControlPart(control, p) != part) continue;
    // The middle of the part's run of pixels.
    int end = at;
    while (end + 1 < length) {
      Point q = p;
      (horizontal ? q.h : q.v) = static_cast<short>((horizontal ? r.left : r.top) + end + 1);
      if (FindControlPart(control, q) != part) break;
      ++end;
    }
    (horizontal ? p.h : p.v) = static_cast<short>((horizontal ? r.left : r.top) + (at + end) / 2);
    if (where) *where = p;
    return true;
  }
  return false;
}

OSStatus PressControlPart(ControlRef control, ControlPartCode part, std::vector<Point> drag) {
  Point where;
  if (!IsValidControlRef(control)) return kInvalidControlErr;
  if (!PointOfControlPart(control, part, &where)) return kParamErr;
  EventTargetRef target = GetWindowEventTarget(GetControlOwner(control));
  if (!target) return kInvalidWindowErr;
  SetTrackingPath(std::move(drag));
  for (std::uint32_t kind : {kEventMouseDown, kEventMouseUp}) {
    SetMouseLocation(where);
    Event e(kEventClassMouse, kind);
    e.SetParameter(kEventParamMouseLocation, kTypeQDPoint, where);
    e.SetParameter(kEventParamKeyModifiers, kTypeUInt32, std::uint32_t{0});
    e.SetParameter(kEventParamMouseButton, kTypeMouseButton, std::uint16_t{1});
    SendEventToEventTarget(&e, target);
    where = GetMouseLocation();  // released where the drag ended
  }
  Model().path.clear();
  return kNoErr;
}

OSStatus SetControlViewSize(ControlRef control, std::int32_t size) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  e->viewSize = size;
  return kNoErr;
}

std::int32_t GetControlViewSize(ControlRef control) {
  Extras* e = Get(control);
  return e ? e->viewSize : 0;
}

// --- tabs ---

OSStatus SetTabTitles(ControlRef control, const std::vector<std::wstring>& titles) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  e->tabs = titles;
  SetControlMinimum(control, titles.empty() ? 0 : 1);
  SetControlMaximum(control, static_cast<std::int32_t>(titles.size()));
  return kNoErr;
}

std::vector<std::wstring> GetTabTitles(ControlRef control) {
  Extras* e = Get(control);
  return e ? e->tabs : std::vector<std::wstring>{};
}

OSStatus ClickTab(ControlRef control, std::int32_t index) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  if (index < 1 || index > static_cast<std::int32_t>(e->tabs.size())) return kParamErr;
  SetControlValue(control, index);
  return HitControlPart(control, static_cast<ControlPartCode>(index));
}

// --- help tags, fonts, content ---

OSStatus SetControlHelpText(ControlRef control, const std::wstring& text) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  e->help = text;
  return kNoErr;
}

std::wstring GetControlHelpText(ControlRef control) {
  Extras* e = Get(control);
  return e ? e->help : std::wstring();
}

OSStatus SetControlFontStyle(ControlRef control, const ControlFontStyle& style) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  e->font = style;
  return kNoErr;
}

OSStatus GetControlFontStyle(ControlRef control, ControlFontStyle* style) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  if (style) *style = e->font;
  return kNoErr;
}

ControlTextFont GetControlTextFont(ControlRef control) {
  ControlTextFont text;
  ControlFontStyle font;
  if (GetControlFontStyle(control, &font) != kNoErr) return text;
  // The system fonts' sizes, in points of 72 to the inch, are pixels on screen.
  if (font.flags & 0x1) {
    switch (font.font) {
      case kControlFontSmallSystemFont: text.pixels = 11; break;
      case -3: text.pixels = 11; text.bold = true; break;  // small bold system font
      case -4: text.pixels = 12; break;                    // view font
      case -5: text.pixels = 9; break;                     // mini system font
      default: text.pixels = 13; break;                    // the system font
    }
  }
  if ((font.flags & 0x4) && font.size > 0) text.pixels = font.size;
  if (font.flags & 0x2) text.bold = font.style & 1;
  return text;
}

OSStatus SetBevelButtonContent(ControlRef control, const ButtonContent& content) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  const OSType kind = GetControlKind(control);
  if (kind != kControlKindBevelButton && kind != kControlKindRadioButton) return kParamErr;
  e->content = content;
  return kNoErr;
}

OSStatus GetBevelButtonContent(ControlRef control, ButtonContent* content) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  if (content) *content = e->content;
  return kNoErr;
}

OSStatus SetWindowDefaultButton(WindowRef window, ControlRef button) {
  if (!IsValidWindowRef(window)) return kInvalidWindowErr;
  if (button && GetControlOwner(button) != window) return kInvalidControlErr;
  Model().buttons[window.id].first = button;
  return kNoErr;
}

OSStatus SetWindowCancelButton(WindowRef window, ControlRef button) {
  if (!IsValidWindowRef(window)) return kInvalidWindowErr;
  if (button && GetControlOwner(button) != window) return kInvalidControlErr;
  Model().buttons[window.id].second = button;
  return kNoErr;
}

namespace {
ControlRef UsableButton(WindowRef window, ControlRef button) {
  if (!IsValidControlRef(button) || GetControlOwner(button) != window) return ControlRef{};
  return button;
}
}  // namespace

ControlRef GetWindowDefaultButton(WindowRef window) {
  auto it = Model().buttons.find(window.id);
  return it == Model().buttons.end() ? ControlRef{} : UsableButton(window, it->second.first);
}

ControlRef GetWindowCancelButton(WindowRef window) {
  auto it = Model().buttons.find(window.id);
  return it == Model().buttons.end() ? ControlRef{} : UsableButton(window, it->second.second);
}

OSStatus SetControlTickMarks(ControlRef control, std::int32_t count) {
  Extras* e = Get(control);
  if (!e) return kInvalidControlErr;
  e->tickMarks = std::max(0, count);
  return kNoErr;
}

std::int32_t GetControlTickMarks(ControlRef control) {
  Extras* e = Get(control);
  return e ? e->tickMarks : 0;
}

// --- cursors, colour picker ---

OSStatus SetThemeCursor(std::int32_t cursor) {
  if (cursor < 0 || cursor > 21) return kParamErr;
  Model().cursor = cursor;
  return kNoErr;
}

std::int32_t GetThemeCursor() { return Model().cursor; }

void SetColorPickerResponder(ColorPickerResponder responder) { Model().picker = std::move(responder); }

bool DisplayBackend::PickColor(const std::wstring&, const RGBColor&, RGBColor*) { return false; }

bool PickColor(const std::wstring& prompt, const RGBColor& in, RGBColor* out) {
  ColorPickerResponder picker = Model().picker;
  RGBColor chosen = in;
  // A responder set by the program (tests) answers first; else the screen asks the user.
  DisplayBackend* screen = GetDisplayBackend();
  const bool accepted = picker ? picker(prompt, in, &chosen) : screen && screen->PickColor(prompt, in, &chosen);
  if (!accepted) return false;
  if (out) *out = chosen;
  return true;
}

void ForgetControlExtras(ControlRef control) {
  auto& m = Model().controls;
  auto it = m.find(control.id);
  if (it == m.end()) return;
  if (it->second.ownsMenu && IsValidMenu(it->second.menu)) DisposeMenu(it->second.menu);
  m.erase(it);
}

void ResetControlExtras() {
  ExtrasModel& m = Model();
  m.controls.clear();
  m.submenus.clear();
  m.focus.clear();
  m.buttons.clear();
  m.path.clear();
  m.mouse = Point{};
  m.cursor = kThemeArrowCursor;
  m.picker = nullptr;
}

}  // namespace toolbox
