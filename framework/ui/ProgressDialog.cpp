#include "framework/ui/ProgressDialog.h"

#include <algorithm>
#include <climits>
#include <memory>

#include "framework/platform/WideText.h"
#include "toolbox/Alerts.h"

using namespace toolbox;

namespace {

constexpr OSType kStatusSignature = FourCC("sMsg");
constexpr OSType kDetailSignature = FourCC("sMs2");
constexpr OSType kBarSignature = FourCC("pbPg");
constexpr std::int32_t kResultOK = static_cast<std::int32_t>(FourCC("ok  "));
constexpr std::int32_t kResultCancel = static_cast<std::int32_t>(FourCC("not!"));

// Cooperative threads get their turn here; there are none besides the main thread.
void YieldToAnyThread() {}

// The rectangles are given as left, top, right, bottom.
Rect LTRB(short left, short top, short right, short bottom) { return Rect{top, left, bottom, right}; }

}  // namespace

void ProgressState::Reset() {
  value = 0;
  maximum = 100;
  cancel = false;
  done = false;
  reserved = 0;
}

ProgressDialogBase::ProgressDialogBase() = default;

ProgressDialogBase::~ProgressDialogBase() {
  SetBusy(false);
  DestroyControls();
  Destroy();
}

bool ProgressDialogBase::OnInitDialog() {
  if (params && params->title) SetTitle(params->title);
  CreateControls();
  return true;
}

// Declined: the standard handling applies, and it never closes a window without a close
// box, which this one is made without.
bool ProgressDialogBase::OnClose() { return false; }

bool ProgressDialogBase::OnCommand(std::uint32_t command, EventRef*) {
  if (command != kProgressCancelCommand) return false;
  // The work goes on until it next polls the flag: input to other windows stays dropped
  // until it has returned (Finish, or the dialog hidden), so nothing runs inside it.
  if (state) state->cancel = true;
  SetModalResult(kResultCancel);
  return true;
}

bool ProgressDialogBase::DestroyControls() {
  progressBar.Destroy();
  statusText.Destroy();
  detailText.Destroy();
  cancelButton.Destroy();
  return true;
}

void ProgressDialogBase::SetStatusText(const std::wstring& text) {
  YieldToAnyThread();
  statusText.SetText(text, true);
  PumpOneEvent();
}

void ProgressDialogBase::SetStatusTextByStringNumber(int number) {
  WideText text;
  LoadLocalizedString(text, number);
  SetStatusText(text.CStr());
}

void ProgressDialogBase::DerivedOperation(std::intptr_t) {}
void ProgressDialogBase::DerivedOperation2() {}

void ProgressDialogBase::GetDefaultRect(Rect* rect) {
  if (rect) *rect = Rect{0, 0, 149, 289};
}

void ProgressDialogBase::CreateControls() {
  statusText.Create(this, kStatusSignature, LTRB(20, 20, 269, 36), L"");
  progressBar.Create(this, kBarSignature, LTRB(19, 43, 270, 62), L"");
  if (params) progressBar.SetRange(params->minimum, params->maximum, true);
  detailText.Create(this, kDetailSignature, LTRB(20, 70, 269, 86), L"");
  cancelButton.Create(this, kProgressCancelCommand, LTRB(108, 109, 178, 129), L"Cancel");
}

void ProgressDialogBase::ResetTexts() {
  statusText.SetText(L"Initializing...", true);
  detailText.SetText(L"", true);
}

std::int32_t ProgressDialogBase::Show(std::intptr_t, ProgressDialogParams* newParams,
                                     ProgressState* newState) {
  if (newState) {
    newState->cancel = false;
    newState->done = false;
  }
  state = newState;
  params = newParams;
  SetModalResult(kResultOK);
  if (!GetWindow()) {
    Rect r;
    GetDefaultRect(&r);
    const std::uint32_t flags = params && params->utilityWindow ? kWindowFlagUtility : 0;
    // Made without a close box: only Cancel ends the work.
    if (!CreateWindow(r.left, r.top, r.Width(), r.Height(), flags, WindowRef{})) return -1;
    LinkProperty();
  }
  Reset();
  if (GetWindow()) {
    Reposition(WindowRef{});
    WindowBase::Show(true);
    BringToFront();
  }
  SetBusy(true);
  return 0;
}

void ProgressDialogBase::SetProgress(std::int32_t value) {
  YieldToAnyThread();
  progressBar.SetValue(value, true);
  PumpOneEvent();
}

void ProgressDialogBase::AdvanceProgress(std::int32_t delta) {
  YieldToAnyThread();
  const std::int64_t next = static_cast<std::int64_t>(progressBar.GetValue()) + delta;
  progressBar.SetValue(static_cast<std::int32_t>(std::clamp<std::int64_t>(next, INT32_MIN, INT32_MAX)), true);
  PumpOneEvent();
}

void ProgressDialogBase::SetRange(std::int32_t minimum, std::int32_t maximum) {
  progressBar.SetRange(minimum, maximum, true);
}

void ProgressDialogBase::Reset() {
  progressBar.SetValue(0, true);
  ResetTexts();
  YieldToAnyThread();
}

void ProgressDialogBase::Finish() {
  SetModalResult(kResultOK);
  SetBusy(false);
  if (state) state->done = true;
}

// The screen lets the user act on this window alone while the work runs.
void ProgressDialogBase::SetBusy(bool on) {
  busy = on;
  if (on && GetWindow())
    SetExclusiveInputWindow(GetWindow());
  else if (!on && ExclusiveInputWindow() == GetWindow())
    SetExclusiveInputWindow(WindowRef{});
}

void ProgressDialogBase::PumpOneEvent() {
  std::unique_ptr<Event> event;
  if (ReceiveNextEvent(0, &event) != kNoErr || !event) return;
  if (busy && IsUserInputEvent(*event) && WindowOfEventTarget(event->Target()) != GetWindow())
    return;  // input to another window while the work runs: dropped
  DispatchQueuedEvent(event.get());
}
