#pragma once
// Standard alerts and sheets of the toolbox's model: a window with an icon kind, a message
// and up to three push buttons, each carrying a fixed command id. The default button (item
// 1) sits at the right and answers Return and Enter; the cancel button (item 2), when there
// is one, sits to its left and answers Escape; the other button (item 3) sits at the far
// left and answers no key. Escape presses the default button of an alert that has no other.
// An alert runs in an application-modal loop; a sheet is shown on a parent window and its
// answer arrives as a control hit on the sheet window, for whoever listens there.
#include <cstdint>
#include <optional>
#include <string>

#include "toolbox/Events.h"
#include "toolbox/Windows.h"

namespace toolbox {

inline constexpr std::uint32_t kReturnKeyCode = 36;
inline constexpr std::uint32_t kEnterKeyCode = 76;
inline constexpr std::uint32_t kEscapeKeyCode = 53;

enum AlertType : std::int16_t {
  kAlertStopAlert = 0,
  kAlertNoteAlert = 1,
  kAlertCautionAlert = 2,
  kAlertPlainAlert = 3,
};

using DialogItemIndex = std::int16_t;
inline constexpr DialogItemIndex kAlertStdAlertOKButton = 1;
inline constexpr DialogItemIndex kAlertStdAlertCancelButton = 2;
inline constexpr DialogItemIndex kAlertStdAlertOtherButton = 3;

// The command ids (and ControlID signatures) of the three buttons.
inline constexpr OSType kHICommandOK = FourCC("ok  ");
inline constexpr OSType kHICommandCancel = FourCC("not!");
inline constexpr OSType kHICommandOther = FourCC("othr");

inline constexpr OSStatus kUserCanceledErr = -128;

struct AlertStdParams {
  std::uint32_t version = 1;
  bool movable = true;
  bool helpButton = false;
  // A button without a text is not made; the default button always is ("OK" without one).
  std::optional<std::wstring> defaultText;
  std::optional<std::wstring> cancelText;
  std::optional<std::wstring> otherText;
  DialogItemIndex defaultButton = kAlertStdAlertOKButton;
  DialogItemIndex cancelButton = 0;  // 0: Escape answers nothing
  std::uint16_t position = 0;
  std::uint32_t flags = 0;
};

// The height in pixels that a static text control needs to show its whole text, wrapped
// at the control's width in the control's font: as the display back end lays it out, or
// where it lays out no text, estimated from the font's average character width with room
// to spare for lines that break between words. Alerts and dialogs grow to it.
short NeededTextHeight(ControlRef text);
// The tallest content a dialog may have: what the screen holds below a title bar. A text
// that needs more scrolls within what the dialog gives it.
short TallestDialogContent();

// The platform's OK.
inline constexpr const wchar_t* kAlertDefaultOKText = L"OK";

OSStatus GetStandardAlertDefaultParams(AlertStdParams* params, std::uint32_t version);

// A movable modal window, not yet shown.
OSStatus CreateStandardAlert(AlertType type, const std::wstring& title,
                             const std::wstring& message, const AlertStdParams* params,
                             WindowRef* outAlert);
// Shows the alert, runs its modal loop until a button answers, and disposes of it. A loop
// that ends without an answer (the window went away, input ended) gives kUserCanceledErr.
OSStatus RunStandardAlert(WindowRef alert, DialogItemIndex* outItemHit);

// A sheet window, not yet shown (ShowSheetWindow shows it on its parent).
OSStatus CreateStandardSheet(AlertType type, const std::wstring& title,
                             const std::wstring& message, const AlertStdParams* params,
                             WindowRef* outSheet);

// Places the sheet at the top centre of its parent and shows it there.
OSStatus ShowSheetOnParent(WindowRef sheet, WindowRef parent);

// What an alert or sheet window holds, for back ends and tests; false for other windows.
bool GetAlertType(WindowRef window, AlertType* type);
std::wstring GetAlertMessage(WindowRef window);

// True while a sheet is shown on the window: input to it waits for the sheet's answer.
bool HasVisibleSheet(WindowRef window);
// While an exclusive input window is set (a progress dialog of running work), user input
// from the screen reaches only that window. Null clears it.
void SetExclusiveInputWindow(WindowRef window);
WindowRef ExclusiveInputWindow();
// Whether the screen should let the user act on the window now: not while a sheet stands
// on it, nor while another window takes all input.
bool WindowAcceptsUserInput(WindowRef window);

// The window whose target (or whose control's target) the event is addressed to; null when
// it is addressed to the application or the user focus.
WindowRef WindowOfEventTarget(const EventTargetRef& target);
// Whether the event is the user's input (mouse, keys, text, commands, control hits, drops).
bool IsUserInputEvent(const Event& event);

}  // namespace toolbox
