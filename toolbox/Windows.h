#pragma once
// Windows and controls of the toolbox's model.
//
// A window has a class, attributes, content bounds in global coordinates, a title,
// visibility, a front-to-back place, properties stored by (creator, tag), an event target
// whose parent is the application's, and its controls. A sheet is shown on a parent window.
// Windows with the standard-handler and close-box attributes dispose of themselves when a
// close event is not handled by any of their handlers; the window's dispose observer hears
// of it.
//
// A control has a kind, a ControlID (four-character signature and a number), a command id,
// a title, bounds in its window's coordinates, visibility, activity, a value with minimum
// and maximum (1-based counts, as the platform counts items), a reference value, and an
// event target whose parent is its embedding control or its window.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "toolbox/Events.h"
#include "toolbox/Types.h"

namespace toolbox {

enum WindowClass : std::uint32_t {
  kMovableModalWindowClass = 4,
  kFloatingWindowClass = 5,
  kDocumentWindowClass = 6,
  kUtilityWindowClass = 8,
  kSheetWindowClass = 11,
};

inline constexpr std::uint32_t kWindowCloseBoxAttribute = 0x1;
inline constexpr std::uint32_t kWindowResizableAttribute = 0x10;
inline constexpr std::uint32_t kWindowStandardHandlerAttribute = 0x2000000;

// --- windows ---
OSStatus CreateNewWindow(WindowClass windowClass, std::uint32_t attributes, const Rect& bounds,
                         WindowRef* outWindow);
// Disposes of the window with its controls and handlers; a sheet shown on it is hidden.
OSStatus DisposeWindow(WindowRef window);
bool IsValidWindowRef(WindowRef window);

// Called once when the window is disposed, by whoever disposes of it.
using WindowDisposeObserver = std::function<void(WindowRef)>;
OSStatus SetWindowDisposeObserver(WindowRef window, WindowDisposeObserver observer);

OSStatus GetWindowClass(WindowRef window, WindowClass* outClass);
OSStatus GetWindowAttributes(WindowRef window, std::uint32_t* outAttributes);
EventTargetRef GetWindowEventTarget(WindowRef window);  // null for an invalid window

OSStatus ShowWindow(WindowRef window);
OSStatus HideWindow(WindowRef window);
bool IsWindowVisible(WindowRef window);
OSStatus SelectWindow(WindowRef window);  // brings to front and activates
OSStatus BringToFront(WindowRef window);
OSStatus ActivateWindow(WindowRef window, bool activate);
bool IsWindowActive(WindowRef window);
// The frontmost visible window, null when none.
WindowRef FrontWindow();
std::vector<WindowRef> WindowsFrontToBack();

OSStatus GetWindowBounds(WindowRef window, Rect* outBounds);
// Sends bounds-changing (whose handlers may adjust the current bounds) and bounds-changed
// events with the previous and current bounds.
OSStatus SetWindowBounds(WindowRef window, const Rect& bounds);
OSStatus MoveWindow(WindowRef window, short left, short top);
OSStatus SizeWindow(WindowRef window, short width, short height);
// Centres the window on the main screen (and keeps it on it).
OSStatus CenterWindowOnScreen(WindowRef window);
// What the display back end says windows may take of the screen, else 1024 by 768.
Rect MainScreenBounds();
// Room a window manager's frame takes above a window's content (its title bar).
inline constexpr short kWindowFrameTop = 32;
// Moves the window up and left as far as needed for its content to lie on the main screen,
// with room for its title bar above it.
OSStatus KeepWindowOnScreen(WindowRef window);

OSStatus SetWindowTitle(WindowRef window, const std::wstring& title);
OSStatus CopyWindowTitle(WindowRef window, std::wstring* outTitle);
OSStatus SetWindowName(WindowRef window, const std::string& nibName);  // the nib's window name
std::string GetWindowName(WindowRef window);

OSStatus SetWindowProperty(WindowRef window, OSType creator, OSType tag, const void* data,
                           std::size_t size);
// kNotFoundErr without the property; kParamErr when the buffer size differs.
OSStatus GetWindowProperty(WindowRef window, OSType creator, OSType tag, void* data,
                           std::size_t size);
OSStatus RemoveWindowProperty(WindowRef window, OSType creator, OSType tag);

OSStatus ShowSheetWindow(WindowRef sheet, WindowRef parent);
OSStatus HideSheetWindow(WindowRef sheet);
WindowRef GetSheetParent(WindowRef sheet);

// Sends a close event to the window, as its close box does.
OSStatus SendWindowCloseEvent(WindowRef window);

// The push button that answers a dialog or alert as "cancel": the cancel button the window
// names, else its button whose command is Cancel, else its only push button; null when
// there is none. Only a button the user could press now counts.
ControlRef CancellingButton(WindowRef window);

// A close asked from outside the program (a window manager's close button or Alt+F4). It
// never takes a window away behind its owner's back; instead it does what the user could
// have done in the window:
// - a window with a close box gets its close event, as from the close box;
// - a dialog or alert answers as its cancel button does (Escape where it has none it
//   names), or presses its only push button where it has just one;
// - a document window without a close box lives as long as the application: its close is
//   the application's Quit, chosen as from the menu (which asks what Quit asks first).
// While a modal window or file dialog waits, a window behind it ignores the request.
OSStatus RequestWindowClose(WindowRef window);

// --- controls ---
struct ControlID {
  OSType signature = 0;
  std::int32_t id = 0;
  friend bool operator==(const ControlID&, const ControlID&) = default;
};

inline constexpr OSType kControlKindPushButton = FourCC("push");
inline constexpr OSType kControlKindUserPane = FourCC("upan");
inline constexpr OSType kControlKindCheckBox = FourCC("chek");
inline constexpr OSType kControlKindStaticText = FourCC("stxt");
inline constexpr OSType kControlKindEditText = FourCC("etxt");

OSStatus CreateControl(WindowRef window, OSType kind, const Rect& bounds,
                       const std::wstring& title, ControlRef* outControl);
OSStatus DisposeControl(ControlRef control);
bool IsValidControlRef(ControlRef control);
EventTargetRef GetControlEventTarget(ControlRef control);  // null for an invalid control
WindowRef GetControlOwner(ControlRef control);
OSType GetControlKind(ControlRef control);

OSStatus SetControlID(ControlRef control, const ControlID& id);
OSStatus GetControlID(ControlRef control, ControlID* outId);
// The first control of the window (in creation order) with that ControlID.
OSStatus GetControlByID(WindowRef window, const ControlID& id, ControlRef* outControl);
OSStatus SetControlCommandID(ControlRef control, OSType command);
OSStatus GetControlCommandID(ControlRef control, OSType* outCommand);
OSStatus SetControlReference(ControlRef control, void* reference);
void* GetControlReference(ControlRef control);
OSStatus EmbedControl(ControlRef control, ControlRef container);
ControlRef GetSuperControl(ControlRef control);
std::vector<ControlRef> GetWindowControls(WindowRef window);

OSStatus SetControlProperty(ControlRef control, OSType creator, OSType tag, const void* data,
                            std::size_t size);
OSStatus GetControlProperty(ControlRef control, OSType creator, OSType tag, void* data,
                            std::size_t size);

OSStatus SetControlTitle(ControlRef control, const std::wstring& title);
std::wstring GetControlTitle(ControlRef control);
OSStatus GetControlBounds(ControlRef control, Rect* outBounds);
OSStatus SetControlBounds(ControlRef control, const Rect& bounds);
OSStatus SetControlVisibility(ControlRef control, bool visible);
bool IsControlVisible(ControlRef control);
OSStatus ActivateControl(ControlRef control);
OSStatus DeactivateControl(ControlRef control);
bool IsControlActive(ControlRef control);
OSStatus DrawOneControl(ControlRef control);
// Values count from 1 by default (minimum 0, maximum 1, value 0 after creation).
OSStatus SetControlValue(ControlRef control, std::int32_t value);
std::int32_t GetControlValue(ControlRef control);
OSStatus SetControlMinimum(ControlRef control, std::int32_t minimum);
OSStatus SetControlMaximum(ControlRef control, std::int32_t maximum);
std::int32_t GetControlMinimum(ControlRef control);
std::int32_t GetControlMaximum(ControlRef control);

// What a click on the control does: sends a control-hit event to the control (it passes on
// to the window and the application); when every handler declines and the control has a
// command id, the standard control handling sends that command to the user focus.
OSStatus HitControl(ControlRef control, std::uint32_t modifiers = 0);

// Clears the whole window and control model (tests start from nothing).
void ResetWindowModel();

}  // namespace toolbox
