#include "toolbox/Alerts.h"

#include <algorithm>
#include <map>

#include "toolbox/Controls.h"
#include "toolbox/Display.h"
#include "toolbox/Utf8.h"

namespace toolbox {
namespace {

constexpr OSType kAlertCreator = FourCC("Alrt");
constexpr OSType kAlertTypeTag = FourCC("type");
constexpr OSType kAlertMessageSignature = FourCC("aMsg");
constexpr OSType kAlertTitleSignature = FourCC("aTtl");

constexpr short kAlertWidth = 420;
constexpr short kButtonWidth = 90;
constexpr short kButtonHeight = 20;
constexpr short kMargin = 20;
constexpr short kLineHeight = 16;
constexpr short kTitleGap = 8;   // between the bold title and the message
constexpr short kIconSize = 32;  // the alert's icon stands at the top left, beside the text
constexpr short kIconGap = 16;
// The average width of a character of the system font (13 pixels), and of its bold face:
// where no display lays the text out, what a line holds is estimated from it.
constexpr int kCharWidth = 7;
constexpr int kBoldCharWidth = 8;

// Lines the message takes in `width` pixels, estimated.
int EstimatedLines(const std::wstring& message, int width, int charWidth) {
  const std::size_t perLine = static_cast<std::size_t>(std::max(16, width / charWidth));
  int lines = 0;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = message.find(L'\n', start);
    const std::size_t length = (end == std::wstring::npos ? message.size() : end) - start;
    // Lines break between words: a line holds a little less than it could.
    lines += static_cast<int>(std::max<std::size_t>(1, (length + perLine - 8) / (perLine - 7)));
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return lines;
}

ControlRef Button(WindowRef window, OSType command) {
  ControlRef c;
  if (GetControlByID(window, ControlID{command, 0}, &c) != kNoErr) return ControlRef{};
  return c;
}

OSStatus MakeAlertWindow(WindowClass windowClass, AlertType type, const std::wstring& title,
                         const std::wstring& message, const AlertStdParams* given,
                         WindowRef* out) {
  if (!out) return kParamErr;
  AlertStdParams params;
  if (given) params = *given;
  WindowRef window;
  OSStatus status = CreateNewWindow(windowClass, 0, Rect{0, 0, 100, kAlertWidth}, &window);
  if (status != kNoErr) return status;
  SetWindowTitle(window, title);
  const std::int16_t kind = type;
  SetWindowProperty(window, kAlertCreator, kAlertTypeTag, &kind, sizeof kind);

  // The title stands above the message too: a window manager may show no title bar. Each
  // text is as high as it lays out at the alert's width; a message taller than the screen
  // leaves the window as tall as the screen allows, and scrolls there.
  const short textLeft = type == kAlertPlainAlert ? kMargin : kMargin + kIconSize + kIconGap;
  const short textRight = kAlertWidth - kMargin;
  short textTop = kMargin;
  if (!title.empty()) {
    ControlRef heading;
    CreateControl(window, kControlKindStaticText, Rect{kMargin, textLeft, kMargin + 1, textRight}, title,
                  &heading);
    SetControlID(heading, ControlID{kAlertTitleSignature, 0});
    ControlFontStyle bold;
    bold.flags = 0x2;  // the face is set
    bold.style = 1;
    SetControlFontStyle(heading, bold);
    const short titleHeight = NeededTextHeight(heading);
    SetControlBounds(heading, Rect{kMargin, textLeft, static_cast<short>(kMargin + titleHeight), textRight});
    textTop = static_cast<short>(kMargin + titleHeight + kTitleGap);
  }
  ControlRef text;
  CreateControl(window, kControlKindStaticText, Rect{textTop, textLeft, static_cast<short>(textTop + 1), textRight},
                message, &text);
  SetControlID(text, ControlID{kAlertMessageSignature, 0});
  const int besideIcon = type == kAlertPlainAlert ? 0 : kMargin + kIconSize - textTop;
  const int below = kMargin + kButtonHeight + kMargin;
  const int textHeight = std::max<int>(std::min<int>(std::max<int>(NeededTextHeight(text), besideIcon),
                                                     TallestDialogContent() - textTop - below),
                                       kLineHeight);
  SetControlBounds(text, Rect{textTop, textLeft, static_cast<short>(textTop + textHeight), textRight});
  const short height = static_cast<short>(textTop + textHeight + below);
  SizeWindow(window, kAlertWidth, height);

  // Right to left: default, cancel; the other button at the far left.
  const short top = static_cast<short>(height - kMargin - kButtonHeight);
  const short bottom = static_cast<short>(top + kButtonHeight);
  auto make = [&](OSType command, const std::wstring& label, short left) {
    ControlRef c;
    CreateControl(window, kControlKindPushButton,
                  Rect{top, left, bottom, static_cast<short>(left + kButtonWidth)}, label, &c);
    SetControlID(c, ControlID{command, 0});
    SetControlCommandID(c, command);
  };
  short right = static_cast<short>(kAlertWidth - kMargin);
  make(kHICommandOK, params.defaultText ? *params.defaultText : kAlertDefaultOKText,
       static_cast<short>(right - kButtonWidth));
  right = static_cast<short>(right - kButtonWidth - 12);
  if (params.cancelText) make(kHICommandCancel, *params.cancelText, static_cast<short>(right - kButtonWidth));
  if (params.otherText) make(kHICommandOther, *params.otherText, kMargin);

  // Escape answers where there is a cancel button it may press, and presses the only button
  // of an alert that has one (a message box, closed as the window manager's close closes it).
  const bool escape = params.cancelText && params.cancelButton == kAlertStdAlertCancelButton;
  const bool alone = !params.cancelText && !params.otherText;
  // The model knows them as the window's default and cancel buttons: drawn as such, the
  // keyboard focus starting on the default one, and a window manager's close pressing the
  // cancel one.
  SetWindowDefaultButton(window, Button(window, kHICommandOK));
  if (escape) SetWindowCancelButton(window, Button(window, kHICommandCancel));
  // Return and Enter press the default button, Escape the cancel button.
  static const EventTypeSpec keys[] = {{kEventClassKeyboard, kEventRawKeyDown}};
  InstallEventHandler(
      GetWindowEventTarget(window),
      [window, escape, alone](EventHandlerCallRef, EventRef event) -> OSStatus {
        std::uint32_t key = 0;
        event->GetParameter(kEventParamKeyCode, kTypeUInt32, &key);
        OSType command = 0;
        if (key == kReturnKeyCode || key == kEnterKeyCode) command = kHICommandOK;
        if (key == kEscapeKeyCode) command = escape ? kHICommandCancel : alone ? kHICommandOK : 0;
        ControlRef button = command ? Button(window, command) : ControlRef{};
        if (!button) return kEventNotHandledErr;
        HitControl(button);
        return kNoErr;
      },
      keys, nullptr);
  *out = window;
  return kNoErr;
}

}  // namespace

short NeededTextHeight(ControlRef control) {
  Rect bounds;
  GetControlBounds(control, &bounds);
  const int width = bounds.Width();
  const std::wstring title = GetControlTitle(control);
  const ControlTextFont font = GetControlTextFont(control);
  int height = -1;
  if (DisplayBackend* backend = GetDisplayBackend())
    height = backend->TextHeight(WideToUtf8(title), width, font.pixels, font.bold);
  if (height < 0) height = EstimatedLines(title, width, font.bold ? kBoldCharWidth : kCharWidth) * kLineHeight;
  return static_cast<short>(std::clamp(height, 1, 32000));
}

short TallestDialogContent() {
  return static_cast<short>(std::max(200, MainScreenBounds().Height() - kWindowFrameTop));
}

OSStatus GetStandardAlertDefaultParams(AlertStdParams* params, std::uint32_t version) {
  if (!params) return kParamErr;
  *params = AlertStdParams{};
  params->version = version;
  params->defaultText = kAlertDefaultOKText;
  return kNoErr;
}

OSStatus CreateStandardAlert(AlertType type, const std::wstring& title, const std::wstring& message,
                             const AlertStdParams* params, WindowRef* outAlert) {
  return MakeAlertWindow(kMovableModalWindowClass, type, title, message, params, outAlert);
}

OSStatus RunStandardAlert(WindowRef alert, DialogItemIndex* outItemHit) {
  if (!IsValidWindowRef(alert)) return kInvalidWindowErr;
  DialogItemIndex hit = 0;
  static const EventTypeSpec hits[] = {{kEventClassControl, kEventControlHit}};
  InstallEventHandler(
      GetWindowEventTarget(alert),
      [alert, &hit](EventHandlerCallRef, EventRef event) -> OSStatus {
        ControlRef control;
        event->GetParameter(kEventParamDirectObject, kTypeControlRef, &control);
        OSType command = 0;
        GetControlCommandID(control, &command);
        if (command == kHICommandOK) hit = kAlertStdAlertOKButton;
        else if (command == kHICommandCancel) hit = kAlertStdAlertCancelButton;
        else if (command == kHICommandOther) hit = kAlertStdAlertOtherButton;
        else return kEventNotHandledErr;
        QuitAppModalLoopForWindow(alert);
        return kNoErr;
      },
      hits, nullptr);
  CenterWindowOnScreen(alert);
  ShowWindow(alert);
  SelectWindow(alert);
  RunAppModalLoopForWindow(alert);
  if (IsValidWindowRef(alert)) DisposeWindow(alert);
  if (outItemHit) *outItemHit = hit;
  return hit ? kNoErr : kUserCanceledErr;
}

OSStatus CreateStandardSheet(AlertType type, const std::wstring& title, const std::wstring& message,
                             const AlertStdParams* params, WindowRef* outSheet) {
  return MakeAlertWindow(kSheetWindowClass, type, title, message, params, outSheet);
}

OSStatus ShowSheetOnParent(WindowRef sheet, WindowRef parent) {
  Rect outer, own;
  if (GetWindowBounds(parent, &outer) != kNoErr) return kInvalidWindowErr;
  if (GetWindowBounds(sheet, &own) != kNoErr) return kInvalidWindowErr;
  const int left = outer.left + (outer.Width() - own.Width()) / 2;
  MoveWindow(sheet, static_cast<short>(std::clamp(left, -32768, 32767)), outer.top);
  OSStatus status = ShowSheetWindow(sheet, parent);
  if (status == kNoErr) SelectWindow(sheet);
  return status;
}

bool GetAlertType(WindowRef window, AlertType* type) {
  std::int16_t kind = 0;
  if (GetWindowProperty(window, kAlertCreator, kAlertTypeTag, &kind, sizeof kind) != kNoErr)
    return false;
  if (type) *type = static_cast<AlertType>(kind);
  return true;
}

std::wstring GetAlertMessage(WindowRef window) {
  ControlRef text;
  if (GetControlByID(window, ControlID{kAlertMessageSignature, 0}, &text) != kNoErr) return {};
  return GetControlTitle(text);
}

bool HasVisibleSheet(WindowRef window) {
  if (!window) return false;
  for (WindowRef w : WindowsFrontToBack())
    if (GetSheetParent(w) == window && IsWindowVisible(w)) return true;
  return false;
}

namespace {
WindowRef& Exclusive() {
  static WindowRef window;
  return window;
}
}  // namespace

void SetExclusiveInputWindow(WindowRef window) { Exclusive() = window; }

// A window that is gone or hidden holds no input: the user could not reach it.
WindowRef ExclusiveInputWindow() {
  return IsValidWindowRef(Exclusive()) && IsWindowVisible(Exclusive()) ? Exclusive() : WindowRef{};
}

bool WindowAcceptsUserInput(WindowRef window) {
  if (HasVisibleSheet(window)) return false;
  const WindowRef exclusive = ExclusiveInputWindow();
  return !exclusive || exclusive == window;
}

WindowRef WindowOfEventTarget(const EventTargetRef& target) {
  if (!target) return WindowRef{};
  const std::vector<WindowRef> windows = WindowsFrontToBack();
  for (EventTargetRef t = target; t; t = t->Parent()) {
    if (t == GetApplicationEventTarget()) break;
    for (WindowRef w : windows)
      if (GetWindowEventTarget(w) == t) return w;
  }
  return WindowRef{};
}

bool IsUserInputEvent(const Event& event) {
  const OSType c = event.Class();
  return c == kEventClassMouse || c == kEventClassKeyboard || c == kEventClassTextInput ||
         c == kEventClassCommand || c == kEventClassControl;
}

}  // namespace toolbox
