#pragma once
// Controls that show or set one value or one text: the scroll bar, which tracks the mouse
// itself and announces every value change, the slider and progress bar, and static text.
#include <cstdarg>
#include <cstdint>
#include <string>

#include "framework/platform/Signal.h"
#include "framework/ui/ControlBase.h"

class ScrollBar : public ControlBase {
 public:
  using ControlBase::Create;
  bool Create(WindowBase* window, toolbox::OSType command, const toolbox::Rect& bounds);
  bool CreateByStringNumber(WindowBase* window, toolbox::OSType command,
                            const toolbox::Rect& bounds, int textNumber) override;
  static int GetDefaultWidth() { return 16; }
  bool InstallHandlers() override;
  void SetViewSize(bool horizontal);
  void SetLineStep(std::int32_t n) { lineStep = n; }
  // The page parts step by bigStep / pageDivisor.
  void SetBigStep(std::int32_t n) { bigStep = n; }
  bool SetRange(std::int32_t minimum, std::int32_t maximum, bool redraw);
  void GetRange(std::int32_t* minimum, std::int32_t* maximum);
  // False, changing nothing, for a value outside the range. Never emits.
  bool SetValue(std::int32_t value, bool redraw);
  std::int32_t GetValue();
  // Tracks a mouse-down at the toolbox's mouse location when it is on this bar.
  bool TrackClick();

  Signal<std::int32_t> valueSignal;

  // The value under a point of the owner window (thumb drags); the current value when the
  // bar leaves the thumb no room to travel.
  std::int64_t ValueUnder(toolbox::Point where);

 private:
  void ArrowAction(toolbox::ControlPartCode part);
  void ThumbAction();
  std::int64_t StepBy(std::int64_t delta);

  std::int32_t startValue = 0;
  std::int64_t grabOffset = 0;
  std::int32_t trackValue = 0;
  std::int32_t lineStep = 1;
  std::int32_t bigStep = 10;
  std::int32_t pageDivisor = 1;
  int horizontal = -1;  // unset until SetViewSize
  std::int32_t trackInset = 48;
  std::int32_t thumbLength = 16;
};

class Slider : public ControlBase {
 public:
  bool Create(WindowBase* window, toolbox::OSType command, const toolbox::Rect& bounds,
              const std::wstring& title) override;
  bool SetValue(std::int32_t value, bool redraw);
  std::int32_t GetValue();
  bool SetRange(std::int32_t minimum, std::int32_t maximum, bool redraw);
};

class ProgressBar : public ControlBase {
 public:
  bool Create(WindowBase* window, toolbox::OSType command, const toolbox::Rect& bounds,
              const std::wstring& title) override;
  bool SetValue(std::int32_t value, bool redraw);
  std::int32_t GetValue();
  // The whole 32-bit range; the maximum is set first.
  bool SetRange(std::int32_t minimum, std::int32_t maximum, bool redraw);
};

class StaticText : public ControlBase {
 public:
  bool Create(WindowBase* window, toolbox::OSType command, const toolbox::Rect& bounds,
              const std::wstring& text) override;
  bool CreateByStringNumber(WindowBase* window, toolbox::OSType command,
                            const toolbox::Rect& bounds, int textNumber) override;
  bool SetText(const std::wstring& text, bool redraw);
  // Leaves the text unchanged when the formatting fails.
  bool SetTextF(bool redraw, const wchar_t* format, ...);
  bool SetTextByStringNumber(int number, bool redraw);
  bool Clear(bool redraw);
  std::wstring GetText();
  int GetLayoutMetric1() override { return 16; }
};
