#pragma once
// What a screen shows of the model, as plain values. A display back end takes a fresh view
// whenever the program waits for input, compares it with the view it last showed, and
// changes only what differs; it never keeps state of its own beyond that.
#include <cstdint>
#include <string>
#include <vector>

#include "toolbox/DragDrop.h"
#include "toolbox/Types.h"
#include "toolbox/Windows.h"

namespace toolbox {

struct ControlView {
  ControlRef ref;
  OSType kind = 0;
  std::string title;  // UTF-8
  Rect bounds;        // window coordinates
  bool visible = true;  // the control and every control it is embedded in are visible
  bool enabled = true;  // the control and every control it is embedded in are active
  std::int32_t value = 0;
  std::int32_t minimum = 0;
  std::int32_t maximum = 0;
  std::int32_t viewSize = 0;
  std::vector<std::string> items;  // a pop-up's or bevel button's menu items, or tab titles
  std::vector<bool> itemSeparators;  // which of a menu's items are separators
  std::vector<std::string> columns;                // list view column titles
  std::vector<std::uint32_t> columnIds;            // their properties
  std::vector<std::uint16_t> columnMaxWidths;      // their widest, in pixels
  std::uint32_t sortColumn = 0;                    // the property sorted by, 0 for none
  bool sortDecreasing = false;
  std::vector<std::uint32_t> rowIds;               // list view items in display order
  std::vector<std::vector<std::string>> rows;      // their cells
  std::vector<std::uint32_t> selected;             // selected list items
  std::string help;                                // help tag
  bool swatch = false;                             // shows a colour swatch
  std::uint32_t swatchColor = 0;                   // 0x00BBGGRR
  std::int16_t fontSize = 0;                       // in pixels; 0: the window's own font
  bool bold = false;
  std::string iconFamily;                          // the icon shown as content ("icns" data)
  bool defaultButton = false;                      // the window's default button
  std::int32_t tickMarks = 0;                      // a slider's tick marks
  std::int32_t anchor = 0, caret = 0;              // an edit field's selection (GetEditTextCaret)
  friend bool operator==(const ControlView&, const ControlView&) = default;
};

struct WindowView {
  WindowRef ref;
  WindowClass windowClass = kDocumentWindowClass;
  std::string title;  // UTF-8
  Rect bounds;        // content, global coordinates
  bool visible = false;
  bool closeBox = false;
  bool resizable = false;
  bool hasMenuBar = false;  // document windows show the menu bar above their content
  std::vector<ControlView> controls;  // creation order: containers before what they hold
  bool busy = false;                  // the watch cursor is shown
  std::int16_t alertIcon = -1;        // an alert's AlertType (stop, note, caution); -1: none
  friend bool operator==(const WindowView&, const WindowView&) = default;
};

struct MenuItemView {
  std::uint16_t index = 0;  // from 1, as the model counts items
  std::string label;        // UTF-8
  bool separator = false;
  bool enabled = true;
  bool checked = false;
  // The key combination that chooses the item; key 0 for none.
  char32_t key = 0;
  bool ctrl = false;
  bool shift = false;
  bool alt = false;
  MenuRef submenu;                         // null for an item without one
  std::vector<MenuItemView> submenuItems;  // the submenu's items
  friend bool operator==(const MenuItemView&, const MenuItemView&) = default;
};

struct MenuView {
  MenuRef ref;
  std::string title;  // UTF-8
  std::vector<MenuItemView> items;
  friend bool operator==(const MenuView&, const MenuView&) = default;
};

// The view of a window; a window that does not exist gives a view with a null ref.
WindowView ViewOfWindow(WindowRef window);
// The view of one control of a window.
ControlView ViewOfControl(ControlRef control);
// The menu bar's menus in order.
std::vector<MenuView> ViewOfMenuBar();
// The items of one menu, with their submenus (a submenu that holds a menu it is already
// part of is shown without its items, so a loop in the model stays finite).
std::vector<MenuItemView> ViewOfMenuItems(MenuRef menu);

// The URIs of a "text/uri-list" text: one per line (CR LF or LF), comment lines starting
// with '#' and empty lines skipped.
std::vector<std::string> ParseUriList(const std::string& text);
// A drag of files, one item with the "text/uri-list" flavour per URI.
Drag MakeFileDrag(const std::vector<std::string>& uris, Point where);

}  // namespace toolbox
