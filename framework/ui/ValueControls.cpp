#include "framework/ui/ValueControls.h"

#include <algorithm>
#include <cmath>

#include "framework/platform/WideText.h"
#include "framework/ui/WindowBase.h"

using namespace toolbox;

namespace {

constexpr std::int64_t kMin32 = INT32_MIN, kMax32 = INT32_MAX;

// The scroll bar being tracked.
ScrollBar* trackedBar = nullptr;

void SetupValue(ControlRef c, std::int32_t value, std::int32_t minimum, std::int32_t maximum) {
  SetControlMinimum(c, minimum);
  SetControlMaximum(c, maximum);
  SetControlValue(c, value);
}

}  // namespace

// --- ScrollBar ---

bool ScrollBar::Create(WindowBase* w, OSType code, const Rect& r) {
  if (!ControlBase::Create(w, code, r, L"")) return false;
  MakeControl(w, kControlKindScrollBar, r, L"", false);
  if (HasControl()) {
    SetupValue(control, 0, 0, 100);
    SetControlViewSize(control, 100);
    SetControlVisibility(control, true);
    InstallHandlers();
  }
  return FinishCreate(w, code);
}

bool ScrollBar::CreateByStringNumber(WindowBase* w, OSType code, const Rect& r, int) {
  return Create(w, code, r);
}

bool ScrollBar::InstallHandlers() {
  if (!HasControl()) return false;
  SetControlReference(control, static_cast<ControlBase*>(this));
  SetControlViewSize(control, GetWidth() + 16);
  thumbLength = 16;
  trackInset = 48;
  return true;
}

void ScrollBar::SetViewSize(bool isHorizontal) {
  if (horizontal == static_cast<int>(isHorizontal)) return;
  horizontal = isHorizontal;
  SetControlViewSize(control, (isHorizontal ? GetWidth() : GetHeight()) + 16);
  thumbLength = 16;
  trackInset = 48;
}

bool ScrollBar::SetRange(std::int32_t minimum, std::int32_t maximum, bool redraw) {
  SetControlMinimum(control, minimum);
  SetControlMaximum(control, maximum);
  if (redraw) Draw();
  return true;
}

void ScrollBar::GetRange(std::int32_t* minimum, std::int32_t* maximum) {
  if (minimum) *minimum = GetControlMinimum(control);
  if (maximum) *maximum = GetControlMaximum(control);
}

bool ScrollBar::SetValue(std::int32_t value, bool redraw) {
  if (!HasControl() || value < GetControlMinimum(control) || value > GetControlMaximum(control))
    return false;
  SetControlValue(control, value);
  if (redraw) Draw();
  return true;
}

std::int32_t ScrollBar::GetValue() { return GetControlValue(control); }

// Sets value + delta pinned to the range; returns the change made.
std::int64_t ScrollBar::StepBy(std::int64_t delta) {
  const std::int64_t before = GetControlValue(control);
  const std::int64_t wanted = before + delta;
  const std::int64_t minimum = GetControlMinimum(control), maximum = GetControlMaximum(control);
  const std::int64_t now = wanted < minimum ? minimum : wanted > maximum ? maximum : wanted;
  SetControlValue(control, static_cast<std::int32_t>(std::clamp(now, kMin32, kMax32)));
  return GetControlValue(control) - before;
}

std::int64_t ScrollBar::ValueUnder(Point where) {
  Rect r;
  if (GetControlBounds(control, &r) != kNoErr) return GetValue();
  const double range = double(GetControlMaximum(control)) - double(GetControlMinimum(control));
  const bool across = horizontal == 1 || (horizontal == -1 && r.Width() > r.Height());
  const int position = across ? where.h - (r.left + thumbLength / 2) : where.v - (r.top + thumbLength / 2);
  const int length = (across ? r.Width() : r.Height()) - trackInset;
  if (length <= 0) return GetValue();
  const float value = static_cast<float>(position) / static_cast<float>(length) * static_cast<float>(range);
  const double pinned = std::clamp(static_cast<double>(value), double(kMin32), double(kMax32));
  return static_cast<std::int64_t>(pinned) + grabOffset;
}

void ScrollBar::ArrowAction(ControlPartCode part) {
  std::int64_t delta = 0;
  const std::int64_t page = pageDivisor ? bigStep / pageDivisor : bigStep;
  switch (part) {
    case kControlUpButtonPart: delta = -std::int64_t(lineStep); break;
    case kControlDownButtonPart: delta = lineStep; break;
    case kControlPageUpPart: delta = -page; break;
    case kControlPageDownPart: delta = page; break;
    case kControlIndicatorPart: delta = std::int64_t(startValue) - GetValue(); break;
    default: return;
  }
  if (delta == 0 || !GetControlOwner(control)) return;
  if (StepBy(delta) != 0) valueSignal.Emit(GetValue());
}

void ScrollBar::ThumbAction() {
  Rect r;
  if (GetControlBounds(control, &r) != kNoErr) return;
  const Point mouse = GetMouseLocation();
  const bool near = mouse.h >= r.left - 100 && mouse.h < r.right + 100 &&
                    mouse.v >= r.top - 100 && mouse.v < r.bottom + 100;
  const std::int64_t target = near ? ValueUnder(mouse) : startValue;
  if (target == GetValue()) return;
  trackValue = static_cast<std::int32_t>(std::clamp(target, kMin32, kMax32));
  if (StepBy(target - GetValue()) != 0) valueSignal.Emit(GetValue());
  trackValue = GetValue();
}

bool ScrollBar::TrackClick() {
  const Point where = GetMouseLocation();
  ControlRef hit;
  const ControlPartCode part = FindControlUnderMouse(owner, where, &hit);
  if (!control || hit != control) {
    trackedBar = nullptr;
    return false;
  }
  trackedBar = this;
  startValue = GetValue();
  if (part >= kControlUpButtonPart && part <= kControlPageDownPart) {
    TrackControl(control, where, [this](ControlRef, ControlPartCode p) { ArrowAction(p); });
  } else if (part == kControlIndicatorPart) {
    grabOffset = 0;
    grabOffset = std::int64_t(GetValue()) - ValueUnder(where);
    trackValue = GetValue();
    TrackControl(control, where, [this](ControlRef, ControlPartCode) { ThumbAction(); });
    SetControlValue(control, trackValue);
    trackValue = 0;
  }
  return true;
}

// --- Slider ---

bool Slider::Create(WindowBase* w, OSType code, const Rect& r, const std::wstring& title) {
  if (!ControlBase::Create(w, code, r, title)) return false;
  if (!MakeControl(w, kControlKindSlider, r, L"", false)) return false;
  SetupValue(control, 0, 0, 100);
  SetControlTickMarks(control, 5);
  InstallHandlers();
  return FinishCreate(w, code);
}

bool Slider::SetValue(std::int32_t value, bool redraw) {
  SetControlValue(control, value);
  if (redraw) Draw();
  return true;
}

std::int32_t Slider::GetValue() { return GetControlValue(control); }

bool Slider::SetRange(std::int32_t minimum, std::int32_t maximum, bool redraw) {
  SetControlMinimum(control, minimum);
  SetControlMaximum(control, maximum);
  if (redraw) Draw();
  return true;
}

// --- ProgressBar ---

bool ProgressBar::Create(WindowBase* w, OSType code, const Rect& r, const std::wstring& title) {
  if (!ControlBase::Create(w, code, r, title)) return false;
  if (!MakeControl(w, kControlKindProgressBar, r, L"", false)) return false;
  SetupValue(control, 0, 0, 100);
  return FinishCreate(w, code);
}

bool ProgressBar::SetValue(std::int32_t value, bool redraw) {
  SetControlValue(control, value);
  if (redraw) Draw();
  return true;
}

std::int32_t ProgressBar::GetValue() { return GetControlValue(control); }

bool ProgressBar::SetRange(std::int32_t minimum, std::int32_t maximum, bool redraw) {
  SetControlMaximum(control, maximum);
  SetControlMinimum(control, minimum);
  if (redraw) Draw();
  return true;
}

// --- StaticText ---

bool StaticText::Create(WindowBase* w, OSType code, const Rect& r, const std::wstring& text) {
  if (!ControlBase::Create(w, code, r, text)) return false;
  if (!MakeControl(w, kControlKindStaticText, r, text)) return false;
  ControlFontStyle font;
  font.flags = 0x4;
  font.size = 10;
  SetControlFontStyle(control, font);
  return FinishCreate(w, code);
}

bool StaticText::CreateByStringNumber(WindowBase* w, OSType code, const Rect& r, int number) {
  if (!ControlBase::CreateByStringNumber(w, code, r, number)) return false;
  std::wstring text;
  LoadNumberedText(number, &text);
  return Create(w, code, r, text);
}

bool StaticText::SetText(const std::wstring& text, bool redraw) {
  if (SetControlTitle(control, text) != kNoErr) return false;
  if (redraw) Draw();
  return true;
}

bool StaticText::SetTextF(bool redraw, const wchar_t* format, ...) {
  std::wstring text;
  va_list args;
  va_start(args, format);
  const bool ok = FormatWideText(&text, format, args);
  va_end(args);
  return ok && SetText(text, redraw);
}

bool StaticText::SetTextByStringNumber(int number, bool redraw) {
  std::wstring text;
  LoadNumberedText(number, &text);
  return SetText(text, redraw);
}

bool StaticText::Clear(bool redraw) { return SetText(L"", redraw); }

std::wstring StaticText::GetText() { return GetControlTitle(control); }
