#include "framework/ui/EditText.h"

#include <algorithm>
#include <cwchar>

#include "framework/platform/WideText.h"
#include "framework/ui/WindowBase.h"

using namespace toolbox;

namespace {

// The C locale's classification: ASCII letters and the digits 0 to 9.
bool IsLetter(char32_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }

}  // namespace

EditText::~EditText() {
  if (previousSaved && HasControl()) SetKeyFilter(control, previousFilter);
  if (keyHandler) RemoveEventHandler(keyHandler);
}

bool EditText::Create(WindowBase* w, OSType code, const Rect& r, const std::wstring& initialText) {
  if (!ControlBase::Create(w, code, r, initialText)) return false;
  if (!MakeControl(w, kControlKindEditText, r, initialText)) return false;
  ControlFontStyle font;
  font.flags = 0x4;  // size only
  font.size = 10;
  SetControlFontStyle(control, font);
  InstallHandlers();
  return FinishCreate(w, code);
}

bool EditText::InstallHandlers() {
  if (!HasControl()) return false;
  SetControlReference(control, this);
  if (!previousSaved) {
    previousFilter = GetKeyFilter(control);
    previousSaved = true;
  }
  SetKeyFilter(control, [this](ControlRef, char32_t c) { return FilterKey(c); });
  return true;
}

void EditText::InstallKeyHandler() {
  if (keyHandler || !HasControl()) return;
  const EventTypeSpec types[] = {{kEventClassKeyboard, kEventRawKeyDown}};
  // Tab commits to whatever callback is set now, and still moves the focus.
  InstallEventHandler(
      GetControlEventTarget(control),
      [this](EventHandlerCallRef, EventRef e) {
        std::uint32_t key = 0;
        e->GetParameter(kEventParamKeyCode, kTypeUInt32, &key);
        if (key == kTabKeyCode && commitCallback) commitCallback(this, commitContext);
        return kEventNotHandledErr;
      },
      types, &keyHandler);
}

void EditText::SetCommitCallback(CommitCallback callback, void* context) {
  commitCallback = callback;
  commitContext = context;
  InstallKeyHandler();
}

void EditText::NotifyOwnerOnCommit(WindowBase* owner) {
  ownerWindow = owner;
  commitCallback = DefaultCommit;
  commitContext = this;
  InstallKeyHandler();
}

void EditText::DefaultCommit(EditText* field, void*) {
  if (field && field->ownerWindow) field->ownerWindow->OnControlChanged(ControlRef{}, field->control);
}

bool EditText::DotAllowed() {
  const std::wstring text = GetControlTitle(control);
  int start = 0, end = 0;
  const bool haveSelection = GetEditTextSelection(control, &start, &end) == kNoErr;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'.') continue;
    const int at = static_cast<int>(i);
    // A "." inside a selection is replaced by the typed one.
    if (haveSelection && end - start >= 1 && at >= start && at < end) continue;
    return false;
  }
  return true;
}

bool EditText::FilterKey(char32_t c) {
  if (c == 13 || c == 10 || c == 3) {
    if (commitCallback) commitCallback(this, commitContext);
    if (!acceptReturn) return false;
  }
  if (c == 28 || c == 29 || c == 8 || c == 127) return true;
  switch (inputMode) {
    case kLetters: return IsLetter(c);
    case kDigitsMinus: return IsDigit(c) || c == '-';
    case kDigits: return IsDigit(c);
    case kSignedDecimal: return IsDigit(c) || c == '-' || (c == '.' && DotAllowed());
    case kUnsignedDecimal: return IsDigit(c) || (c == '.' && DotAllowed());
    case kIdentifier: {
      if (IsLetter(c) || c == '_') return true;
      if (!IsDigit(c)) return false;
      int start = 0, end = 0;
      return GetEditTextSelection(control, &start, &end) == kNoErr && start != 0;
    }
    default: return true;
  }
}

int EditText::GetText(wchar_t* buffer, int n) {
  if (!buffer || n <= 0) return 0;
  const std::wstring text = GetControlTitle(control);
  const std::size_t count = std::min(static_cast<std::size_t>(n - 1), text.size());
  std::copy_n(text.data(), count, buffer);
  buffer[count] = 0;
  return static_cast<int>(count);
}

std::wstring EditText::GetText() { return GetControlTitle(control); }

bool EditText::SetText(const std::wstring& text, bool redraw) {
  if (SetControlTitle(control, text) != kNoErr) return false;
  const int end = static_cast<int>(text.size());
  SetEditTextSelection(control, end, end);  // typing goes on at the end
  if (redraw) Draw();
  return true;
}

bool EditText::SetTextF(bool redraw, const wchar_t* format, ...) {
  WideText text;
  va_list args;
  va_start(args, format);
  const bool ok = text.FormatList(format, args);
  va_end(args);
  return ok && SetText(text.CStr(), redraw);
}

bool EditText::SetTextRaw(const unsigned char* pascal, bool redraw) {
  if (!pascal) return false;
  std::wstring text;
  for (int i = 1; i <= pascal[0]; ++i) text.push_back(static_cast<wchar_t>(pascal[i]));
  return SetText(text, redraw);
}

std::int32_t EditText::GetInt() {
  const std::wstring text = GetText();
  return text.empty() ? 0 : ParseLong(text.c_str(), nullptr);
}

bool EditText::SetInt(std::int32_t value, bool redraw) {
  return SetText(std::to_wstring(value), redraw);
}

double EditText::GetDouble() {
  const std::wstring text = GetText();
  return text.empty() ? 0.0 : ParseDouble(text.c_str(), nullptr);
}

bool EditText::SetDouble(double value, int width, int precision, bool redraw) {
  wchar_t format[32];
  if (width && precision) swprintf(format, 32, L"%%%d.%df", width, precision);
  else if (width) swprintf(format, 32, L"%%%d.f", width);
  else if (precision) swprintf(format, 32, L"%%.%df", precision);
  else swprintf(format, 32, L"%%f");
  return SetTextF(redraw, format, value);
}
