#include "framework/ui/ControlBase.h"

#include <algorithm>
#include <climits>

#include "framework/platform/WideText.h"
#include "framework/ui/WindowBase.h"

using namespace toolbox;

namespace {
short Clamp16(int v) { return static_cast<short>(std::clamp(v, SHRT_MIN, SHRT_MAX)); }
}  // namespace

bool LoadNumberedText(int number, std::wstring* out) {
  CFStringRef text;
  const bool found = GetLocalizedCFString(text, number) && text;
  if (out) *out = found ? text->Text() : std::wstring();
  return found;
}

bool WindowBase::BindControl(OSType signature, ControlBase* wrapper) {
  if (!wrapper) return false;
  return wrapper->Attach(signature, GetWindowRefPtr(), static_cast<std::int32_t>(GetDialogId()));
}

ControlBase::~ControlBase() {
  if (owned && HasControl()) DisposeControl(control);
}

bool ControlBase::Create(WindowBase*, OSType, const Rect&, const std::wstring&) { return !control; }

bool ControlBase::CreateByStringNumber(WindowBase*, OSType, const Rect&, int) { return !control; }

bool ControlBase::Attach(OSType signature, WindowRef* window, std::int32_t controlId) {
  if (!window) return false;
  ControlRef found;
  if (GetControlByID(*window, ControlID{signature, controlId}, &found) != kNoErr) return false;
  control = found;
  owner = *window;
  command = signature;
  id = controlId;
  return InstallHandlers();
}

bool ControlBase::Destroy() {
  if (owned && control) {
    DisposeControl(control);
    control = ControlRef{};
    owned = false;
  }
  return true;
}

bool ControlBase::InstallHandlers() { return true; }

bool ControlBase::GetBounds(Rect* bounds) {
  return bounds && GetControlBounds(control, bounds) == kNoErr;
}

bool ControlBase::GetPosition(int* left, int* top) {
  Rect r;
  if (!GetBounds(&r)) return false;
  if (left) *left = r.left;
  if (top) *top = r.top;
  return true;
}

bool ControlBase::Move(int left, int top) {
  Rect r;
  if (GetControlBounds(control, &r) != kNoErr) return false;
  const int width = r.Width(), height = r.Height();
  r.left = Clamp16(left);
  r.top = Clamp16(top);
  r.right = Clamp16(left + width);
  r.bottom = Clamp16(top + height);
  return SetControlBounds(control, r) == kNoErr;
}

int ControlBase::GetLeft() {
  int left = 0;
  GetPosition(&left, nullptr);
  return left;
}

bool ControlBase::SetLeft(int left) {
  int x = 0, y = 0;
  GetPosition(&x, &y);
  return Move(left, y);
}

int ControlBase::GetTop() {
  int top = 0;
  GetPosition(nullptr, &top);
  return top;
}

bool ControlBase::SetTop(int top) {
  int x = 0, y = 0;
  GetPosition(&x, &y);
  return Move(x, top);
}

bool ControlBase::GetSize(int* width, int* height) {
  Rect r;
  if (GetControlBounds(control, &r) != kNoErr) return false;
  if (width) *width = r.Width();
  if (height) *height = r.Height();
  return true;
}

bool ControlBase::Resize(int width, int height) {
  Rect r;
  if (GetControlBounds(control, &r) != kNoErr) return false;
  r.right = Clamp16(r.left + std::max(0, width));
  r.bottom = Clamp16(r.top + std::max(0, height));
  return SetControlBounds(control, r) == kNoErr;
}

int ControlBase::GetWidth() {
  int w = 0;
  GetSize(&w, nullptr);
  return w;
}

bool ControlBase::SetWidth(int width) {
  int w = 0, h = 0;
  GetSize(&w, &h);
  return Resize(width, h);
}

int ControlBase::GetHeight() {
  int h = 0;
  GetSize(nullptr, &h);
  return h;
}

bool ControlBase::SetHeight(int height) {
  int w = 0, h = 0;
  GetSize(&w, &h);
  return Resize(w, height);
}

bool ControlBase::Draw() { return DrawOneControl(control) == kNoErr; }

bool ControlBase::Enable(bool enable) {
  return (enable ? ActivateControl(control) : DeactivateControl(control)) == kNoErr;
}

bool ControlBase::Disable() { return DeactivateControl(control) == kNoErr; }

bool ControlBase::Show(bool show) { return SetControlVisibility(control, show) == kNoErr; }

bool ControlBase::Hide() { return Show(false); }

bool ControlBase::FinishCreate(WindowBase* window, OSType code) {
  if (!control || !window) return false;
  SetControlReference(control, this);
  SetControlCommandID(control, code);
  SetControlID(control, ControlID{code, static_cast<std::int32_t>(window->GetDialogId())});
  owner = window->GetWindow();
  command = code;
  if (ControlRef host = window->GetHostPane()) EmbedControl(control, host);
  ControlFontStyle font;
  font.flags = 1;  // use font
  font.font = kControlFontSmallSystemFont;
  SetControlFontStyle(control, font);
  DrawOneControl(control);
  owned = true;
  return true;
}

bool ControlBase::EmbedIn(ControlRef parent) { return EmbedControl(control, parent) == kNoErr; }

ControlBase* ControlBase::FromControl(ControlRef c) {
  return static_cast<ControlBase*>(GetControlReference(c));
}

bool ControlBase::MakeControl(WindowBase* window, OSType kind, const Rect& bounds,
                              const std::wstring& title, bool storeStatus) {
  OSStatus s = window ? CreateControl(window->GetWindow(), kind, bounds, title, &control)
                      : kInvalidWindowErr;
  if (s != kNoErr) {
    control = ControlRef{};
    if (storeStatus) status = s;
    return false;
  }
  return true;
}
