#include "framework/ui/ControlArrangement.h"

#include "framework/platform/WideText.h"
#include "framework/ui/WindowBase.h"

using namespace toolbox;

// --- TabControl ---

TabControl::~TabControl() {
  if (handler) RemoveEventHandler(handler);
}

bool TabControl::InstallHandlers() {
  if (handler) return true;
  const EventTypeSpec types[] = {{kEventClassControl, kEventControlHit}};
  return InstallEventHandler(
             GetControlEventTarget(control),
             [this](EventHandlerCallRef, EventRef e) {
               ControlRef hit;
               ControlID hitId;
               if (e->GetParameter(kEventParamDirectObject, kTypeControlRef, &hit) != kNoErr ||
                   GetControlID(hit, &hitId) != kNoErr || hitId.signature != command)
                 return kEventNotHandledErr;
               SelectTab(GetControlValue(hit) - 1, true);
               return static_cast<OSStatus>(kNoErr);
             },
             types, &handler) == kNoErr;
}

int TabControl::AddPane(WindowBase*, std::int32_t paneId) {
  panes.push_back(ControlID{0, paneId});
  return 0;
}

int TabControl::AddPaneWithTitle(WindowBase*, std::int32_t paneId, int textNumber) {
  if (!LoadNumberedText(textNumber, nullptr)) return -1;
  panes.push_back(ControlID{0, paneId});
  return 0;
}

ControlRef TabControl::GetPaneControl(int index) {
  if (index < 0 || index >= PaneCount()) return ControlRef{};
  ControlRef pane;
  if (GetControlByID(GetControlOwner(control), panes[static_cast<std::size_t>(index)], &pane) != kNoErr)
    return ControlRef{};
  return pane;
}

bool TabControl::SelectTab(int index, bool redraw) {
  ControlRef shown;
  for (int i = 0; i < PaneCount(); ++i) {
    ControlRef pane = GetPaneControl(i);
    if (i == index) shown = pane;
    else if (pane) SetControlVisibility(pane, false);
  }
  if (shown) {
    ClearKeyboardFocus(GetControlOwner(control));
    SetControlVisibility(shown, true);
  }
  SetControlValue(control, static_cast<std::int16_t>(index + 1));
  if (redraw) Draw();
  tabSignal.Emit(this);
  return true;
}

// --- Toolbar ---

bool Toolbar::Attach(WindowRef window) {
  owner = window;
  id = 0;
  return true;
}

bool Toolbar::AddIcon(std::int32_t resourceId, OSType iconType) {
  auto icon = std::make_unique<ToolbarIcon>();
  icon->resourceId = resourceId;
  icon->iconType = iconType;
  icons.push_back(std::move(icon));
  return true;
}

bool Toolbar::AddButton(const std::wstring&, OSType code, std::int32_t iconIndex, bool flag1, bool flag2) {
  auto item = std::make_unique<ToolbarItem>();
  item->iconIndex = iconIndex;
  item->command = code;
  item->flag1 = flag1;
  item->flag2 = flag2;
  WindowRef window = owner;
  if (!item->button.Attach(code, &window, 0)) return false;
  if (iconIndex >= 0 && iconIndex < static_cast<std::int32_t>(icons.size())) {
    const ToolbarIcon& icon = *icons[static_cast<std::size_t>(iconIndex)];
    item->button.SetIcon(icon.resourceId, icon.iconType);
  }
  buttons.push_back(std::move(item));
  return true;
}

ToolbarItem* Toolbar::FindButton(OSType code) {
  for (auto& item : buttons)
    if (item->command == code) return item.get();
  return nullptr;
}

int Toolbar::SetHelpTag(OSType code, int textNumber) {
  if (ToolbarItem* item = FindButton(code)) HelpTag().SetForControl(item->button.GetControl(), textNumber);
  return 0;
}

// --- ControlAnchorList ---

bool ControlAnchorList::Add(ControlBase* c, bool moveX, bool moveY, bool growWidth, bool growHeight) {
  ControlAnchor a{c, 0, 0, 0, 0, moveX, moveY, growWidth, growHeight};
  if (c) {
    c->GetPosition(&a.left, &a.top);
    c->GetSize(&a.width, &a.height);
  }
  entries.push_back(a);
  return true;
}

void ControlAnchorList::Apply(int dx, int dy) {
  for (const ControlAnchor& a : entries) {
    if (!a.control) continue;
    a.control->Move(a.moveX ? a.left + dx : a.left, a.moveY ? a.top + dy : a.top);
    if (a.growWidth || a.growHeight)
      a.control->Resize(a.growWidth ? a.width + dx : a.width, a.growHeight ? a.height + dy : a.height);
    a.control->Draw();
  }
}

// --- HelpTag and cursors ---

bool HelpTag::SetForControl(ControlRef c, int textNumber) {
  std::wstring text;
  if (!LoadNumberedText(textNumber, &text)) return false;
  return SetControlHelpText(c, text) == kNoErr;
}

OSStatus SetArrowCursor() { return SetThemeCursor(kThemeArrowCursor); }
OSStatus SetWatchCursor() { return SetThemeCursor(kThemeWatchCursor); }
bool SetArrowCursorChecked() { return SetArrowCursor() == kNoErr; }
bool SetWatchCursorChecked() { return SetWatchCursor() == kNoErr; }
