#pragma once
// The small window shown while long work runs on the one thread: a status line, a progress
// bar, a second status line and Cancel. The work calls the update operations; each update
// changes its control and then hands at most one pending event on, never waiting. While the
// dialog is busy, user input meant for other windows is dropped (as a modal dialog drops
// it), so a click on another window can never re-enter the code whose work is running;
// repaints, activation, moves, timers and the dialog's own Cancel still get through.
// Cancel stops nothing itself: it sets the cancel flag of the state the work polls; the
// dialog stays busy until the work finishes or hides it.
#include <cstdint>
#include <string>

#include "framework/ui/Buttons.h"
#include "framework/ui/ValueControls.h"
#include "framework/ui/WindowBase.h"

struct ProgressDialogParams {
  std::int32_t minimum = 0;
  std::int32_t maximum = 100;
  const wchar_t* title = nullptr;  // null: the window keeps its default title
  std::uint32_t reserved = 0;
  bool utilityWindow = false;
};

class ProgressState {
 public:
  virtual ~ProgressState() = default;
  virtual void Reset();

  std::int32_t value = 0;
  std::int32_t maximum = 100;
  bool cancel = false;
  bool done = false;
  std::uint32_t reserved = 0;
};

// The command (and signature) of the Cancel button.
inline constexpr toolbox::OSType kProgressCancelCommand = toolbox::FourCC("not!");

class ProgressDialogBase : public WindowBase {
 public:
  ProgressDialogBase();
  ~ProgressDialogBase() override;

  bool OnInitDialog() override;
  bool OnClose() override;
  bool OnCommand(std::uint32_t command, toolbox::EventRef* event) override;

  virtual bool DestroyControls();
  virtual void SetStatusText(const std::wstring& text);
  virtual void SetStatusTextByStringNumber(int number);
  // Two operations that mean nothing here; a derived dialog gives them a meaning.
  virtual void DerivedOperation(std::intptr_t argument);
  virtual void DerivedOperation2();
  virtual void GetDefaultRect(toolbox::Rect* rect);
  virtual void CreateControls();
  virtual void ResetTexts();

  // The first argument plays no part. -1 when the window cannot be made, else 0. Modeless:
  // returns at once, and the caller runs its work.
  std::int32_t Show(std::intptr_t unused, ProgressDialogParams* params, ProgressState* state);
  void SetProgress(std::int32_t value);
  void AdvanceProgress(std::int32_t delta);
  void SetRange(std::int32_t minimum, std::int32_t maximum);
  void Reset();
  void Finish();

  bool IsBusy() const { return busy; }
  ProgressBar* GetProgressBar() { return &progressBar; }
  StaticText* GetStatusText() { return &statusText; }
  StaticText* GetDetailText() { return &detailText; }

 protected:
  // Takes at most one pending event without waiting and hands it on (or drops it, above).
  void PumpOneEvent();
  void SetBusy(bool on);

  ProgressBar progressBar;
  StaticText statusText;
  StaticText detailText;
  PushButton cancelButton;
  ProgressDialogParams* params = nullptr;
  ProgressState* state = nullptr;
  bool busy = false;  // set by Show, cleared by Finish
};
