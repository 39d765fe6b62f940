#pragma once
// What windows use to arrange their controls: tab controls showing one user pane per tab,
// the toolbar of icon buttons bound from a nib, anchors that move and stretch controls when
// a window is resized, help tags from numbered texts, and the arrow and watch cursors.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/platform/Signal.h"
#include "framework/ui/Buttons.h"
#include "framework/ui/ControlBase.h"

class TabControl : public ControlBase {
 public:
  ~TabControl() override;
  bool InstallHandlers() override;
  int AddPane(WindowBase* pane, std::int32_t paneId);
  // -1, adding nothing, when the numbered text does not exist.
  int AddPaneWithTitle(WindowBase* pane, std::int32_t paneId, int textNumber);
  toolbox::ControlRef GetPaneControl(int index);
  bool SelectTab(int index, bool redraw);
  int PaneCount() const { return static_cast<int>(panes.size()); }

  Signal<TabControl*> tabSignal;

 private:
  toolbox::EventHandlerRef handler;
  std::vector<toolbox::ControlID> panes;
};

struct ToolbarItem {
  std::int32_t iconIndex = -1;
  toolbox::OSType command = 0;
  bool flag1 = false;
  bool flag2 = false;
  std::uint32_t word = 0;
  RadioButton button;
};

struct ToolbarIcon {
  std::int32_t resourceId = 0;
  toolbox::OSType iconType = 0;
};

// The toolbar has no control of its own; its buttons are the window's nib controls
// {command, 0}.
class Toolbar : public ControlBase {
 public:
  using ControlBase::Attach;
  bool Attach(toolbox::WindowRef window);
  bool Begin() { return true; }
  bool AddSeparator() { return true; }
  bool AddIcon(std::int32_t resourceId, toolbox::OSType iconType);
  bool AddButton(const std::wstring& title, toolbox::OSType command, std::int32_t iconIndex,
                 bool flag1, bool flag2);
  ToolbarItem* FindButton(toolbox::OSType command);
  int SetHelpTag(toolbox::OSType command, int textNumber);
  int ButtonCount() const { return static_cast<int>(buttons.size()); }

 private:
  std::vector<std::unique_ptr<ToolbarItem>> buttons;
  std::vector<std::unique_ptr<ToolbarIcon>> icons;
};

class ControlAnchorList {
 public:
  bool Add(ControlBase* control, bool moveX, bool moveY, bool growWidth, bool growHeight);
  // dx and dy: the change of the window's width and height since the entries were added.
  void Apply(int dx, int dy);
  void Clear() { entries.clear(); }

 private:
  struct ControlAnchor {
    ControlBase* control;
    int left, top, width, height;
    bool moveX, moveY, growWidth, growHeight;
  };
  std::vector<ControlAnchor> entries;
};

class HelpTag {
 public:
  bool Initialize() { return true; }
  // The numbered text as the control's help tag; false (help unchanged) without the text.
  bool SetForControl(toolbox::ControlRef control, int textNumber);

 private:
  std::uint32_t word = 0;
};

toolbox::OSStatus SetArrowCursor();
toolbox::OSStatus SetWatchCursor();
bool SetArrowCursorChecked();
bool SetWatchCursorChecked();
