#pragma once
// Button-like controls: push buttons, check boxes, radio buttons, pop-up menus managed by
// item text, bevel buttons whose menu choices are announced as commands, and colour swatches
// that open the colour picker.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/platform/Signal.h"
#include "framework/ui/ControlBase.h"
#include "toolbox/Menus.h"

class PushButton : public ControlBase {
 public:
  bool Create(WindowBase* window, toolbox::OSType command, const toolbox::Rect& bounds,
              const std::wstring& title) override;
  bool CreateByStringNumber(WindowBase* window, toolbox::OSType command,
                            const toolbox::Rect& bounds, int textNumber) override;
  bool SetTitle(const std::wstring& title, bool redraw);
  int GetLayoutMetric1() override { return 17; }
};

class CheckBox : public ControlBase {
 public:
  bool Create(WindowBase* window, toolbox::OSType command, const toolbox::Rect& bounds,
              const std::wstring& title) override;
  bool CreateByStringNumber(WindowBase* window, toolbox::OSType command,
                            const toolbox::Rect& bounds, int textNumber) override;
  void SetValue(bool on, bool redraw);
  // The value is not 0 (also for other on/off controls bound from nibs).
  bool GetValue();
};

class RadioButton : public ControlBase {
 public:
  ~RadioButton() override;
  bool Create(WindowBase* window, toolbox::OSType command, const toolbox::Rect& bounds,
              const std::wstring& title) override;
  void SetValue(bool on, bool redraw);
  bool GetValue();
  // Registers the icon family `resourceId` under `iconCode` and shows it as the content.
  bool SetIcon(int resourceId, toolbox::OSType iconCode);
  toolbox::OSType GetIconType() const { return iconType; }

 private:
  bool icon = false;
  toolbox::OSType iconType = 0;
};

// Items count from 0 for callers; the control's value counts from 1 (0: none).
class PopupButton : public ControlBase {
 public:
  ~PopupButton() override;
  bool Create(WindowBase* window, toolbox::OSType command, const toolbox::Rect& bounds,
              const std::wstring& title) override;
  int Count();
  int AddItem(const std::wstring& text);
  int AddItemByStringNumber(int number);
  int AddSeparator();
  int DeleteItem(int index);
  bool RemoveAll();
  bool SetSelectedIndex(int index);
  // The selected index, -1 for none. With a buffer of `capacity` characters and wantText,
  // also copies at most capacity - 1 characters of the item's text, terminated.
  int GetSelection(wchar_t* text, std::size_t capacity, bool wantText);
  int FindItemByText(const std::wstring& text);
  bool InstallHandlers() override;
  bool Destroy() override;

 private:
  toolbox::MenuRef CurrentMenu();
  toolbox::MenuRef menu;
  toolbox::EventHandlerRef handler;
};

class BevelMenuButton : public ControlBase {
 public:
  ~BevelMenuButton() override;
  bool Create(WindowBase* window, toolbox::OSType command, const toolbox::Rect& bounds,
              const std::wstring& title) override;
  // The button's menu from now on; returns the menu it had before (null when none).
  toolbox::MenuRef SetMenu(toolbox::MenuRef newMenu, bool flag);
  bool SetTitle(const std::wstring& title, bool redraw);
  bool InstallHandlers() override;
  bool Destroy() override;

  Signal<toolbox::OSType> menuSignal;

 private:
  toolbox::OSStatus HandleEvent(toolbox::EventRef event);
  toolbox::OSType FindCommand(toolbox::MenuRef in, std::int16_t menuId, std::uint16_t item, int depth);
  toolbox::MenuRef menu;
  toolbox::EventHandlerRef menuHandler;
  toolbox::EventHandlerRef controlHandler;
  bool menuFlag = false;
};

class ColorSwatchButton : public ControlBase {
 public:
  ~ColorSwatchButton() override;
  bool Create(WindowBase* window, toolbox::OSType command, const toolbox::Rect& bounds,
              const std::wstring& title) override;
  void SetColor(std::uint32_t color, bool redraw);  // 0x00BBGGRR
  std::uint32_t GetColor() const { return color; }
  void SetClickEnabled(bool on) { clickEnabled = on; }
  bool InstallHandlers() override;

 private:
  void Paint();
  void DropPicture();
  toolbox::OSStatus OnClick();
  std::uint32_t color = 0;
  bool clickEnabled = true;
  bool picture = false;
  toolbox::EventHandlerRef handler;
};
