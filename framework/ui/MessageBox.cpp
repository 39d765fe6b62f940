#include "framework/ui/MessageBox.h"

#include <cstdarg>
#include <memory>
#include <optional>
#include <string>

#include "framework/platform/WideText.h"
#include "framework/ui/ControlBase.h"

using namespace toolbox;

namespace {

// How long the sheet's loop waits for an event before it looks at its windows again.
constexpr double kSheetPollSeconds = 0.25;

MessageBoxStyle ButtonBit(MessageBoxStyle style) {
  for (MessageBoxStyle bit = 0x1; bit <= 0x40; bit <<= 1)
    if (style & bit) return bit;
  return 0;
}

AlertType IconOf(MessageBoxStyle style) {
  if (style & kMessageBoxIconStop) return kAlertStopAlert;
  if (style & kMessageBoxIconCaution) return kAlertCautionAlert;
  if (style & kMessageBoxIconNote) return kAlertNoteAlert;
  return kAlertPlainAlert;
}

// A numbered button text; a number without text gives no text.
std::optional<std::wstring> Numbered(int number) {
  std::wstring text;
  if (!LoadNumberedText(number, &text)) return std::nullopt;
  return text;
}

// The button texts of the style; sheetsOnly keeps the three sets a sheet shows.
void SetButtons(MessageBoxStyle style, bool sheet, AlertStdParams& p) {
  const MessageBoxStyle bit = ButtonBit(style);
  p.defaultText = kAlertDefaultOKText;
  p.cancelText.reset();
  p.otherText.reset();
  p.cancelButton = 0;
  switch (bit) {
    case kMessageBoxOKCancel:
      if (sheet) return;
      p.defaultText = Numbered(10026);
      p.cancelText = Numbered(10027);
      break;
    case kMessageBoxRetryCancel:
      if (sheet) return;
      p.defaultText = L"Retry";
      p.cancelText = Numbered(10027);
      break;
    case kMessageBoxYesNo:
      p.defaultText = Numbered(10024);
      p.cancelText = Numbered(10025);
      break;
    case kMessageBoxYesCancelNo:
      p.defaultText = Numbered(10024);
      p.cancelText = Numbered(10027);
      p.otherText = Numbered(10025);
      break;
    case kMessageBoxSaveCancelDontSave:
      p.defaultText = L"Save";
      p.cancelText = L"Cancel";
      p.otherText = L"Don't Save";
      break;
    case kMessageBoxRetryIgnoreAbort:
      if (sheet) return;
      p.defaultText = L"Retry";
      p.cancelText = L"Ignore";
      p.otherText = L"Abort";
      break;
    default:
      return;
  }
  if (p.cancelText) p.cancelButton = kAlertStdAlertCancelButton;
}

void SetAlertParams(AlertStdParams& p) {
  GetStandardAlertDefaultParams(&p, 1);
  p.movable = true;
  p.helpButton = false;
  p.defaultButton = kAlertStdAlertOKButton;
  p.position = 0;
  p.flags = 4;  // no animation when cancelled
}

MessageBoxResult ResultOfAlertItem(MessageBoxStyle style, DialogItemIndex item) {
  switch (ButtonBit(style)) {
    case kMessageBoxOK:
      return kMessageBoxResultOK;
    case kMessageBoxYesNo:
      if (item == 1) return kMessageBoxResultOK;
      return item == 2 ? kMessageBoxResultNo : kMessageBoxResultCancel;
    case kMessageBoxYesCancelNo:
    case kMessageBoxSaveCancelDontSave:
    case kMessageBoxRetryIgnoreAbort:
      if (item == 1) return kMessageBoxResultOK;
      return item == 3 ? kMessageBoxResultNo : kMessageBoxResultCancel;
    default:
      return item == 1 ? kMessageBoxResultOK : kMessageBoxResultCancel;
  }
}

MessageBoxResult RunAlert(MessageBoxStyle style, const std::wstring& title,
                          const std::wstring& message, bool sheetButtons, DialogItemIndex* item) {
  AlertStdParams params;
  SetAlertParams(params);
  SetButtons(style, sheetButtons, params);
  WindowRef alert;
  if (CreateStandardAlert(IconOf(style), title, message, &params, &alert) != kNoErr)
    return kMessageBoxResultCancel;
  DialogItemIndex hit = 0;
  if (RunStandardAlert(alert, &hit) != kNoErr) return kMessageBoxResultCancel;
  *item = hit;
  return 0;
}

// The expansion of the format; the format itself when it cannot be expanded.
std::wstring Expand(const wchar_t* format, va_list args) {
  if (!format) return {};
  WideText text;
  va_list copy;
  va_copy(copy, args);
  const bool ok = text.FormatList(format, copy);
  va_end(copy);
  return ok ? std::wstring(text.CStr()) : std::wstring(format);
}

MessageBoxResult ShowExpanded(WindowRef parent, MessageBoxStyle style, const std::wstring& title,
                              const std::wstring& message) {
  if (parent) return ShowMessageSheet(parent, style, title.c_str(), message.c_str());
  DialogItemIndex item = 0;
  if (MessageBoxResult failed = RunAlert(style, title, message, false, &item)) return failed;
  return ResultOfAlertItem(style, item);
}

std::wstring NumberedOr(int number, const wchar_t* fallback) {
  std::wstring text;
  if (!LoadNumberedText(number, &text)) return fallback;
  return text;
}

std::wstring NumberedText(int number) {
  WideText text;
  LoadLocalizedString(text, number);
  return text.CStr();
}

// Input to the window the sheet stands on waits: its events are dropped, as a modal
// dialog drops input to the windows it blocks.
bool BlockedBySheet(const Event& event, WindowRef parent) {
  return IsUserInputEvent(event) && WindowOfEventTarget(event.Target()) == parent;
}

}  // namespace

MessageBoxResult ShowMessageBox(WindowRef parent, MessageBoxStyle style, const wchar_t* title,
                                const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const std::wstring message = Expand(format, args);
  va_end(args);
  return ShowExpanded(parent, style, title ? title : L"", message);
}

OSStatus MessageSheetButtonHandler(EventHandlerCallRef, EventRef event, void* userData) {
  auto* recorded = static_cast<OSType*>(userData);
  ControlRef control;
  event->GetParameter(kEventParamDirectObject, kTypeControlRef, &control);
  OSType command = 0;
  GetControlCommandID(control, &command);
  if (command == kHICommandOK || command == kHICommandCancel || command == kHICommandOther)
    *recorded = command;
  else
    *recorded = 0;
  return kNoErr;
}

MessageBoxResult ShowMessageSheet(WindowRef parent, MessageBoxStyle style, const wchar_t* title,
                                  const wchar_t* message) {
  if (!parent) parent = FrontWindow();
  const std::wstring titleText = title ? title : L"";
  const std::wstring messageText = message ? message : L"";
  AlertStdParams params;
  SetAlertParams(params);
  SetButtons(style, true, params);
  WindowRef sheet;
  if (CreateStandardSheet(IconOf(style), titleText, messageText, &params, &sheet) != kNoErr)
    return kMessageBoxResultCancel;

  OSType recorded = 0;
  bool gone = false;
  EventHandlerRef handler;
  static const EventTypeSpec hits[] = {{kEventClassControl, kEventControlHit}};
  InstallEventHandler(GetWindowEventTarget(sheet), MessageSheetButtonHandler, hits, &recorded,
                      &handler);
  if (IsValidWindowRef(parent) && ShowSheetOnParent(sheet, parent) == kNoErr) {
    // Waits with a time limit, so that nothing spins, and looks after every wait whether the
    // sheet or its parent went away (a command run from this loop may close the parent).
    while (recorded == 0) {
      if (!IsValidWindowRef(sheet) || !IsValidWindowRef(parent) || InputEnded()) {
        gone = true;
        break;
      }
      std::unique_ptr<Event> event;
      if (ReceiveNextEvent(kSheetPollSeconds, &event) != kNoErr) continue;
      if (!BlockedBySheet(*event, parent)) DispatchQueuedEvent(event.get());
    }
  } else {
    DisposeWindow(sheet);
    DialogItemIndex item = 0;
    if (RunAlert(style, titleText, messageText, true, &item) == 0)
      recorded = item == 1 ? kHICommandOK : item == 2 ? kHICommandCancel : kHICommandOther;
    else
      gone = true;
  }
  if (IsValidWindowRef(sheet)) {
    HideSheetWindow(sheet);
    DisposeWindow(sheet);  // with its handler
  }
  if (gone) return kMessageBoxResultCancel;

  switch (ButtonBit(style)) {
    case kMessageBoxYesNo:
      return recorded == kHICommandOK ? kMessageBoxResultOK : kMessageBoxResultNo;
    case kMessageBoxYesCancelNo:
    case kMessageBoxSaveCancelDontSave:
      if (recorded == kHICommandOK) return kMessageBoxResultOK;
      return recorded == kMessageSheetOther ? kMessageBoxResultNo : kMessageBoxResultCancel;
    default:
      return recorded == kHICommandOK ? kMessageBoxResultOK : kMessageBoxResultCancel;
  }
}

MessageBoxResult ShowInfoMessageF(WindowRef parent, const wchar_t* title, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const std::wstring message = Expand(format, args);
  va_end(args);
  return ShowExpanded(parent, kMessageBoxInfo, title ? title : L"", message);
}

MessageBoxResult ShowErrorMessageF(WindowRef parent, const wchar_t* title, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const std::wstring message = Expand(format, args);
  va_end(args);
  return ShowExpanded(parent, kMessageBoxError, title ? title : L"", message);
}

MessageBoxResult ShowErrorCode(WindowRef parent, int code) {
  const std::wstring number = std::to_wstring(code);
  return ShowExpanded(parent, kMessageBoxError, L"Err: " + number, L"Type: " + number);
}

MessageBoxResult MessageBoxByStringIds(WindowRef parent, MessageBoxStyle style, int titleNumber,
                                       int formatNumber, ...) {
  const std::wstring title = NumberedText(titleNumber);
  const std::wstring format = NumberedText(formatNumber);
  va_list args;
  va_start(args, formatNumber);
  const std::wstring message = Expand(format.c_str(), args);
  va_end(args);
  return ShowExpanded(parent, style, title, message);
}

MessageBoxResult ReportError(WindowRef parent, int titleNumber, int formatNumber, ...) {
  const std::wstring title = NumberedOr(titleNumber, L"Error");
  std::wstring format;
  std::wstring message = L"Error";
  if (LoadNumberedText(formatNumber, &format)) {
    va_list args;
    va_start(args, formatNumber);
    message = Expand(format.c_str(), args);
    va_end(args);
  }
  return ShowExpanded(parent, kMessageBoxError, title, message);
}

MessageBoxResult ReportInfo(WindowRef parent, int titleNumber, int formatNumber, ...) {
  const std::wstring title = NumberedText(titleNumber);
  const std::wstring format = NumberedText(formatNumber);
  va_list args;
  va_start(args, formatNumber);
  const std::wstring message = Expand(format.c_str(), args);
  va_end(args);
  return ShowExpanded(parent, kMessageBoxInfo, title, message);
}
