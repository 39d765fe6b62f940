#pragma once
// What the model keeps of each control beyond the plain control record of Windows.h: the
// menu of a pop-up or bevel button, the text selection, key filter and keyboard focus of
// edit fields, the rows, columns and selection of list views, the tracking of scroll bars,
// tab titles, help tags, control fonts, button content, the theme cursor and the colour
// picker. Every call checks its handle: a null or disposed control fails with
// kInvalidControlErr (or gives 0, false or nothing) and is never dereferenced.
//
// User actions (typing, choosing a menu item, selecting a row, dragging a thumb) are
// functions here too, so the test driver and the display back ends feed them the same way.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "toolbox/Events.h"
#include "toolbox/Types.h"
#include "toolbox/Windows.h"

namespace toolbox {

inline constexpr OSType kControlKindRadioButton = FourCC("rdio");
inline constexpr OSType kControlKindPopupButton = FourCC("popb");
inline constexpr OSType kControlKindBevelButton = FourCC("bevl");
inline constexpr OSType kControlKindSlider = FourCC("sldr");
inline constexpr OSType kControlKindScrollBar = FourCC("sbar");
inline constexpr OSType kControlKindProgressBar = FourCC("prgb");
inline constexpr OSType kControlKindTabs = FourCC("tabs");
inline constexpr OSType kControlKindDataBrowser = FourCC("datb");

using ControlPartCode = std::int16_t;
inline constexpr ControlPartCode kControlNoPart = 0;
inline constexpr ControlPartCode kControlMenuPart = 2;
inline constexpr ControlPartCode kControlButtonPart = 10;
inline constexpr ControlPartCode kControlUpButtonPart = 20;
inline constexpr ControlPartCode kControlDownButtonPart = 21;
inline constexpr ControlPartCode kControlPageUpPart = 22;
inline constexpr ControlPartCode kControlPageDownPart = 23;
inline constexpr ControlPartCode kControlIndicatorPart = 129;

inline constexpr OSType kEventParamControlPart = FourCC("cprt");
inline constexpr OSType kTypeControlPartCode = FourCC("cprt");
inline constexpr OSStatus kDataBrowserPropertyNotSupported = -4979;
inline constexpr OSStatus kDataBrowserItemNotFound = -4971;
inline constexpr OSStatus kControlHandleNotFoundErr = -30599;

// A control hit with a part code (HitControl sends part 0). The command of the control goes
// to the user focus when every handler declines, except for the menu part of a bevel
// button, whose choice is told by the hit alone.
OSStatus HitControlPart(ControlRef control, ControlPartCode part, std::uint32_t modifiers = 0);

// A control that toggles its own value when clicked (check boxes: 0 <-> 1, radio buttons:
// 1), before the hit is sent. Off by default.
OSStatus SetControlAutoToggle(ControlRef control, bool on);

// --- menus of pop-up and bevel buttons ---
// An owned menu is disposed of with the control; a menu replaced by another goes back to
// the caller undisposed.
OSStatus SetControlMenu(ControlRef control, MenuRef menu, bool owned);
MenuRef GetControlMenu(ControlRef control);
// The menu in which the last choice was made (its id) and the item chosen.
OSStatus GetControlLastMenu(ControlRef control, std::int16_t* menuId, std::uint16_t* item);
// The user chooses an item of the control's menu or of one of its submenus: a pop-up takes
// the item as its value; a bevel button records the menu and item. Then one control hit
// with the menu part.
OSStatus ChooseControlMenuItem(ControlRef control, MenuRef menu, std::uint16_t item);
// Submenus of menu items (font menus and bevel-button menus).
OSStatus SetMenuItemHierarchicalMenu(MenuRef menu, std::uint16_t item, MenuRef submenu);
MenuRef GetMenuItemHierarchicalMenu(MenuRef menu, std::uint16_t item);

// --- edit fields ---
// The field's text is its title. Selections are character offsets [start, end).
OSStatus SetEditTextSelection(ControlRef control, int start, int end);
OSStatus GetEditTextSelection(ControlRef control, int* start, int* end);
// The selection as the user made it: from its anchor, where it began, to the caret. The
// start given to SetEditTextSelection is the anchor and its end the caret.
OSStatus GetEditTextCaret(ControlRef control, int* anchor, int* caret);
// The user moves the caret of a field, as the arrows (by characters), Ctrl and an arrow (by
// words) and Home and End (to an end) do, `count` steps; towards the start when negative.
// Without `extend`, a selection gives way to its own end on that side; with it, the
// selection reaches from its anchor to the caret moved.
enum class CaretStep { kCharacters, kWords, kEnds };
OSStatus MoveEditTextCaret(ControlRef control, CaretStep step, int count, bool extend);
// Sees each typed character first; false blocks it.
using KeyFilterFunction = std::function<bool(ControlRef, char32_t)>;
OSStatus SetKeyFilter(ControlRef control, KeyFilterFunction filter);
KeyFilterFunction GetKeyFilter(ControlRef control);
// The user types one character into the field: the filter decides, then the text changes
// (backspace 8 and delete 127 remove, arrows 28 and 29 move the insertion point, Return,
// line feed and Enter change nothing). *passed tells whether the filter let it through.
OSStatus TypeCharacter(ControlRef control, char32_t c, bool* passed = nullptr);
OSStatus TypeText(ControlRef control, const std::wstring& text);
// Keyboard focus of a window (null when none).
OSStatus SetKeyboardFocus(WindowRef window, ControlRef control);
ControlRef GetKeyboardFocus(WindowRef window);
OSStatus ClearKeyboardFocus(WindowRef window);
inline constexpr std::uint32_t kTabKeyCode = 48;
// The user presses a key with its virtual key code in the window: a raw key-down event goes
// to the focused control (passing on to the window), and Tab then moves the focus to the
// next edit field.
OSStatus PressKey(WindowRef window, std::uint32_t keyCode);
// Whether the user could use the control now: it and every control it is embedded in are
// visible and active. False for no control.
bool IsControlUsable(ControlRef control);

// --- list views ---
using DataBrowserItemID = std::uint32_t;
using DataBrowserPropertyID = std::uint32_t;
inline constexpr std::uint32_t kDataBrowserItemSelected = 5;

struct DataBrowserCallbacks {
  // Reads (set false) a cell's text; kNoErr with the text, or a status. set true asks to
  // change it.
  std::function<OSStatus(ControlRef, DataBrowserItemID, DataBrowserPropertyID, bool set,
                         std::wstring* text)>
      itemData;
  std::function<void(ControlRef, DataBrowserItemID, std::uint32_t message)> notification;
  // a before b when sorting by the property.
  std::function<bool(ControlRef, DataBrowserItemID a, DataBrowserItemID b, DataBrowserPropertyID)>
      compare;
};

struct DataBrowserColumn {
  DataBrowserPropertyID property = 0;
  std::uint32_t flags = 0;
  std::uint16_t minimumWidth = 0;
  std::uint16_t maximumWidth = 100;
  bool hasTitle = false;
  std::wstring title;
  bool rightJustified = false;
};

OSStatus SetDataBrowserCallbacks(ControlRef control, DataBrowserCallbacks callbacks);
// Appends the column; kParamErr when a column with that property exists.
OSStatus AddDataBrowserListViewColumn(ControlRef control, const DataBrowserColumn& column);
// kDataBrowserItemNotFound when the view has no such column.
OSStatus RemoveDataBrowserTableViewColumn(ControlRef control, DataBrowserPropertyID property);
std::vector<DataBrowserColumn> GetDataBrowserColumns(ControlRef control);
OSStatus AddDataBrowserItems(ControlRef control, const std::vector<DataBrowserItemID>& items);
OSStatus RemoveAllDataBrowserItems(ControlRef control);
std::uint32_t GetDataBrowserItemCount(ControlRef control);
// The items in the order shown (after sorting).
std::vector<DataBrowserItemID> GetDataBrowserItemsInOrder(ControlRef control);
// Items that become selected are told to the notification callback.
OSStatus SetDataBrowserSelectedItems(ControlRef control, const std::vector<DataBrowserItemID>& items);
std::vector<DataBrowserItemID> GetDataBrowserSelectedItems(ControlRef control);
OSStatus SetDataBrowserSelectionFlags(ControlRef control, std::uint32_t flags);
OSStatus SetDataBrowserHeaderHeight(ControlRef control, std::uint16_t height);
// Redraw requests (counted, for tests).
OSStatus UpdateDataBrowserItems(ControlRef control, DataBrowserItemID item);
std::uint32_t DataBrowserRedrawCount(ControlRef control);
// The cell's text as the view would draw it, asked of the item-data callback.
std::wstring GetDataBrowserCellText(ControlRef control, DataBrowserItemID item,
                                    DataBrowserPropertyID property);
// The user selects an item: the selection becomes that item and the notification callback
// hears kDataBrowserItemSelected.
OSStatus SelectDataBrowserItemByUser(ControlRef control, DataBrowserItemID item);
// The user sorts by a column: the items are ordered with the compare callback, increasing
// at the first click on a column and the other way at each further click on the same one.
OSStatus SortDataBrowser(ControlRef control, DataBrowserPropertyID property);
// The column the items were last sorted by (0 when never) and whether that was decreasing.
DataBrowserPropertyID GetDataBrowserSortProperty(ControlRef control, bool* decreasing = nullptr);

// --- tracking (scroll bars) ---
using ControlActionFunction = std::function<void(ControlRef, ControlPartCode)>;
// The mouse position, in the coordinates of the window it is over.
void SetMouseLocation(Point where);
Point GetMouseLocation();
// The points the mouse passes through while the button stays down during the next tracking.
void SetTrackingPath(std::vector<Point> path);
// The control of the window under the point and its part (kControlNoPart when none).
ControlPartCode FindControlUnderMouse(WindowRef window, Point where, ControlRef* outControl);
// The part of the control under the point.
ControlPartCode FindControlPart(ControlRef control, Point where);
// Tracks a press begun at `start`: the action runs once for the press and once for every
// point of the tracking path, with the mouse at that point; then the button is released.
// Returns the part pressed.
ControlPartCode TrackControl(ControlRef control, Point start, const ControlActionFunction& action);
// A press on a part of the control as the mouse makes it (what a screen's own scroll bar
// reports): the mouse goes to a point of the part, a mouse-down goes to the owner window,
// whose handling tracks it along `drag`, and a mouse-up follows. kParamErr when the control
// shows no such part.
OSStatus PressControlPart(ControlRef control, ControlPartCode part, std::vector<Point> drag = {});
// A point of the part; false when the control shows none.
bool PointOfControlPart(ControlRef control, ControlPartCode part, Point* where);
// The proportional thumb's view size of scroll bars.
OSStatus SetControlViewSize(ControlRef control, std::int32_t size);
std::int32_t GetControlViewSize(ControlRef control);

// --- tabs ---
OSStatus SetTabTitles(ControlRef control, const std::vector<std::wstring>& titles);
std::vector<std::wstring> GetTabTitles(ControlRef control);
// The user clicks tab `index` (from 1): the value becomes the index, then a control hit.
OSStatus ClickTab(ControlRef control, std::int32_t index);

// --- help tags, fonts, content ---
OSStatus SetControlHelpText(ControlRef control, const std::wstring& text);
std::wstring GetControlHelpText(ControlRef control);

struct ControlFontStyle {
  std::uint16_t flags = 0;
  std::int16_t font = 0;
  std::int16_t size = 0;
  std::uint16_t style = 0;
  std::int16_t just = 0;
};
inline constexpr std::int16_t kControlFontSmallSystemFont = -2;
OSStatus SetControlFontStyle(ControlRef control, const ControlFontStyle& style);
OSStatus GetControlFontStyle(ControlRef control, ControlFontStyle* style);
// The font a control's text shows in, as its style gives it: the size in pixels (0: the
// window's own font) and whether it is bold.
struct ControlTextFont {
  std::int16_t pixels = 0;
  bool bold = false;
};
ControlTextFont GetControlTextFont(ControlRef control);

enum class ButtonContentKind { kText, kIcon, kPicture };
struct ButtonContent {
  ButtonContentKind kind = ButtonContentKind::kText;
  OSType icon = 0;             // the registered icon's creator
  std::uint32_t picture = 0;   // a picture: the 0x00BBGGRR colour it shows
};
OSStatus SetBevelButtonContent(ControlRef control, const ButtonContent& content);
OSStatus GetBevelButtonContent(ControlRef control, ButtonContent* content);

// Default and cancel buttons of a window. A Return or Enter key (Escape) pressed in the
// window that nothing handles presses the default (cancel) button when it is visible and
// active.
OSStatus SetWindowDefaultButton(WindowRef window, ControlRef button);
OSStatus SetWindowCancelButton(WindowRef window, ControlRef button);
ControlRef GetWindowDefaultButton(WindowRef window);
ControlRef GetWindowCancelButton(WindowRef window);

// Tick marks of a slider (0: none).
OSStatus SetControlTickMarks(ControlRef control, std::int32_t count);
std::int32_t GetControlTickMarks(ControlRef control);

// --- cursors, colour picker ---
inline constexpr std::int32_t kThemeArrowCursor = 0;
inline constexpr std::int32_t kThemeWatchCursor = 7;
OSStatus SetThemeCursor(std::int32_t cursor);  // kParamErr for an unknown cursor
std::int32_t GetThemeCursor();

struct RGBColor {
  std::uint16_t red = 0;
  std::uint16_t green = 0;
  std::uint16_t blue = 0;
  friend bool operator==(const RGBColor&, const RGBColor&) = default;
};
// Asks the user for a colour; true with the colour when accepted. Without a responder the
// display back end asks (a screen's colour chooser); without either the picker is cancelled.
using ColorPickerResponder =
    std::function<bool(const std::wstring& prompt, const RGBColor& in, RGBColor* out)>;
void SetColorPickerResponder(ColorPickerResponder responder);
bool PickColor(const std::wstring& prompt, const RGBColor& in, RGBColor* out);

// Forgets what the model keeps of a disposed control; the window model calls it.
void ForgetControlExtras(ControlRef control);
void ResetControlExtras();

}  // namespace toolbox
