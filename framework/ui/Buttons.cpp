#include "framework/ui/Buttons.h"

#include <algorithm>
#include <map>

#include "framework/ui/Drawing.h"
#include "framework/ui/WindowBase.h"

using namespace toolbox;

namespace {

const EventTypeSpec kHitEvent[] = {{kEventClassControl, kEventControlHit}};

// Icons registered for buttons, by the code they were registered under.
std::map<OSType, int>& Icons() {
  static std::map<OSType, int> icons;
  return icons;
}

RGBColor Widen(std::uint32_t color) {
  auto c = [&](int shift) { return static_cast<std::uint16_t>(std::min(65535u, ((color >> shift) & 0xFF) * 65535u / 255u)); };
  return RGBColor{c(0), c(8), c(16)};
}

}  // namespace

// --- PushButton ---

bool PushButton::Create(WindowBase* w, OSType code, const Rect& r, const std::wstring& title) {
  if (!ControlBase::Create(w, code, r, title)) return false;
  if (!MakeControl(w, kControlKindPushButton, r, title)) return false;
  return FinishCreate(w, code);
}

bool PushButton::CreateByStringNumber(WindowBase* w, OSType code, const Rect& r, int number) {
  if (!ControlBase::CreateByStringNumber(w, code, r, number)) return false;
  std::wstring title;
  LoadNumberedText(number, &title);
  return Create(w, code, r, title);
}

bool PushButton::SetTitle(const std::wstring& title, bool redraw) {
  if (SetControlTitle(control, title) != kNoErr) return false;
  if (redraw) Draw();
  return true;
}

// --- CheckBox ---

bool CheckBox::Create(WindowBase* w, OSType code, const Rect& r, const std::wstring& title) {
  if (!ControlBase::Create(w, code, r, title)) return false;
  if (!MakeControl(w, kControlKindCheckBox, r, title)) return false;
  SetControlValue(control, 0);
  SetControlAutoToggle(control, true);
  return FinishCreate(w, code);
}

bool CheckBox::CreateByStringNumber(WindowBase* w, OSType code, const Rect& r, int number) {
  if (!ControlBase::CreateByStringNumber(w, code, r, number)) return false;
  std::wstring title;
  LoadNumberedText(number, &title);
  return Create(w, code, r, title);
}

void CheckBox::SetValue(bool on, bool redraw) {
  SetControlValue(control, on ? 1 : 0);
  if (redraw) Draw();
}

bool CheckBox::GetValue() { return GetControlValue(control) != 0; }

// --- RadioButton ---

RadioButton::~RadioButton() {
  if (icon) Icons().erase(iconType);
}

bool RadioButton::Create(WindowBase* w, OSType code, const Rect& r, const std::wstring& title) {
  if (!ControlBase::Create(w, code, r, title)) return false;
  if (!MakeControl(w, kControlKindRadioButton, r, title)) return false;
  SetControlValue(control, 0);
  return FinishCreate(w, code);
}

void RadioButton::SetValue(bool on, bool redraw) {
  SetControlValue(control, on ? 1 : 0);
  if (redraw) Draw();
}

bool RadioButton::GetValue() { return GetControlValue(control) != 0; }

bool RadioButton::SetIcon(int resourceId, OSType iconCode) {
  iconType = iconCode;
  if (!HasControl() || iconCode == 0 || resourceId < -32768 || resourceId > 32767) return false;
  Icons()[iconCode] = resourceId;
  icon = true;
  ButtonContent content;
  content.kind = ButtonContentKind::kIcon;
  content.icon = iconCode;
  return SetBevelButtonContent(control, content) == kNoErr;
}

// --- PopupButton ---

PopupButton::~PopupButton() { PopupButton::Destroy(); }

bool PopupButton::Create(WindowBase* w, OSType code, const Rect& r, const std::wstring& title) {
  if (!ControlBase::Create(w, code, r, title)) return false;
  if (!MakeControl(w, kControlKindPopupButton, r, title)) return false;
  SetControlMinimum(control, 0);
  SetControlMaximum(control, 0);
  if (CreateNewMenu(9999, L"", &menu) == kNoErr) SetControlMenu(control, menu, false);
  return FinishCreate(w, code);
}

MenuRef PopupButton::CurrentMenu() { return GetControlMenu(control); }

int PopupButton::Count() {
  MenuRef m = CurrentMenu();
  return m ? CountMenuItems(m) : 0;
}

namespace {
OSStatus MenuFailure(ControlRef control) {
  return IsValidControlRef(control) ? kInvalidMenuErr : kInvalidControlErr;
}
}  // namespace

int PopupButton::AddItem(const std::wstring& text) {
  MenuRef m = CurrentMenu();
  MenuItemInfo item;
  item.text = text;
  OSStatus s = m ? AppendMenuItem(m, item) : MenuFailure(control);
  if (s != kNoErr) {
    status = s;
    return -1;
  }
  const int count = CountMenuItems(m);
  SetControlMinimum(control, 1);
  SetControlMaximum(control, count);
  return count;
}

int PopupButton::AddItemByStringNumber(int number) {
  std::wstring text;
  LoadNumberedText(number, &text);
  return AddItem(text);
}

int PopupButton::AddSeparator() {
  MenuRef m = CurrentMenu();
  MenuItemInfo item;
  item.attributes = kMenuItemAttrSeparator;
  OSStatus s = m ? AppendMenuItem(m, item) : MenuFailure(control);
  if (s != kNoErr) {
    status = s;
    return -1;
  }
  const int count = CountMenuItems(m);
  SetControlMinimum(control, 1);
  SetControlMaximum(control, count);
  return count;
}

int PopupButton::DeleteItem(int index) {
  MenuRef m = CurrentMenu();
  if (!m) {
    status = MenuFailure(control);
    return -1;
  }
  const int count = CountMenuItems(m);
  const int item = std::clamp(index + 1, 1, std::max(1, count));
  if (OSStatus s = DeleteMenuItem(m, static_cast<std::uint16_t>(item))) {
    status = s;
    return -1;
  }
  const int left = CountMenuItems(m);
  SetControlMinimum(control, left > 0 ? 1 : 0);
  SetControlMaximum(control, left);
  return left;
}

bool PopupButton::RemoveAll() {
  MenuRef m = CurrentMenu();
  if (!m) return false;
  for (int i = CountMenuItems(m); i > 0; --i)
    if (DeleteMenuItem(m, 1) != kNoErr) return false;
  SetControlMinimum(control, 0);
  SetControlMaximum(control, 0);
  return true;
}

bool PopupButton::SetSelectedIndex(int index) {
  const int count = Count();
  std::int32_t value = index < 0 ? 1 : index < count ? index + 1 : count + 1;
  SetControlValue(control, value);  // the control pins it to its range
  return true;
}

int PopupButton::GetSelection(wchar_t* text, std::size_t capacity, bool wantText) {
  const int index = GetControlValue(control) - 1;
  if (index < 0) return -1;
  if (text && capacity > 0 && wantText) {
    MenuItemInfo item;
    MenuRef m = CurrentMenu();
    if (m && GetMenuItem(m, static_cast<std::uint16_t>(index + 1), &item) == kNoErr) {
      const std::size_t n = std::min(capacity - 1, item.text.size());
      std::copy_n(item.text.data(), n, text);
      text[n] = 0;
    }
  }
  return index;
}

int PopupButton::FindItemByText(const std::wstring& text) {
  MenuRef m = CurrentMenu();
  if (!m) return -1;
  const int count = CountMenuItems(m);
  for (int i = 1; i <= count; ++i) {
    MenuItemInfo item;
    if (GetMenuItem(m, static_cast<std::uint16_t>(i), &item) == kNoErr && item.text == text)
      return i - 1;
  }
  return -1;
}

bool PopupButton::InstallHandlers() {
  if (handler) return true;
  return InstallEventHandler(GetControlEventTarget(control),
                             [](EventHandlerCallRef, EventRef) { return kEventNotHandledErr; },
                             kHitEvent, &handler) == kNoErr;
}

bool PopupButton::Destroy() {
  if (handler) {
    RemoveEventHandler(handler);
    handler = EventHandlerRef{};
  }
  if (menu) {
    if (GetControlMenu(control) == menu) SetControlMenu(control, MenuRef{}, false);
    DisposeMenu(menu);
    menu = MenuRef{};
  }
  return ControlBase::Destroy();
}

// --- BevelMenuButton ---

BevelMenuButton::~BevelMenuButton() {
  BevelMenuButton::Destroy();
  ControlBase::Destroy();
}

bool BevelMenuButton::Create(WindowBase* w, OSType code, const Rect& r, const std::wstring& title) {
  if (!ControlBase::Create(w, code, r, title)) return false;
  if (!MakeControl(w, kControlKindBevelButton, r, title)) return false;
  if (!FinishCreate(w, code)) return false;
  return InstallHandlers();
}

MenuRef BevelMenuButton::SetMenu(MenuRef newMenu, bool flag) {
  menuFlag = flag;
  MenuRef previous = GetControlMenu(control);
  if (SetControlMenu(control, newMenu, true) != kNoErr) return MenuRef{};
  if (menuHandler) {
    RemoveEventHandler(menuHandler);
    menuHandler = EventHandlerRef{};
  }
  menu = newMenu;
  return previous;
}

bool BevelMenuButton::SetTitle(const std::wstring& title, bool redraw) {
  if (SetControlTitle(control, title) != kNoErr) return false;
  if (redraw) Draw();
  return true;
}

bool BevelMenuButton::InstallHandlers() {
  if (controlHandler) return true;
  const EventTypeSpec types[] = {{kEventClassControl, kEventControlHit},
                                 {kEventClassCommand, kEventCommandProcess}};
  return InstallEventHandler(
             GetControlEventTarget(control),
             [this](EventHandlerCallRef, EventRef e) { return HandleEvent(e); }, types,
             &controlHandler) == kNoErr;
}

bool BevelMenuButton::Destroy() {
  for (EventHandlerRef* h : {&menuHandler, &controlHandler})
    if (*h) {
      RemoveEventHandler(*h);
      *h = EventHandlerRef{};
    }
  menu = MenuRef{};
  return true;
}

OSType BevelMenuButton::FindCommand(MenuRef in, std::int16_t menuId, std::uint16_t item, int depth) {
  if (!in || depth > 16) return 0;
  const std::uint16_t count = CountMenuItems(in);
  for (std::uint16_t i = 1; i <= count; ++i) {
    MenuRef sub = GetMenuItemHierarchicalMenu(in, i);
    if (!sub) continue;
    OSType found = 0;
    if (GetMenuID(sub) == menuId) {
      MenuItemInfo info;
      if (GetMenuItem(sub, item, &info) == kNoErr) found = info.command;
    } else {
      found = FindCommand(sub, menuId, item, depth + 1);
    }
    if (found) return found;
  }
  return 0;
}

OSStatus BevelMenuButton::HandleEvent(EventRef event) {
  if (event->Class() == kEventClassControl) {
    ControlRef hit;
    std::uint16_t part = 0;
    event->GetParameter(kEventParamDirectObject, kTypeControlRef, &hit);
    event->GetParameter(kEventParamControlPart, kTypeControlPartCode, &part);
    if (hit == control && part == kControlMenuPart) {
      std::int16_t menuId = 0;
      std::uint16_t item = 0;
      if (GetControlLastMenu(control, &menuId, &item) != kNoErr) return kEventNotHandledErr;
      OSType command = FindCommand(menu, menuId, item, 0);
      if (command == 0) {
        MenuItemInfo info;
        if (menu && GetMenuItem(menu, item, &info) == kNoErr) command = info.command;
      }
      menuSignal.Emit(command);
    }
    return kEventNotHandledErr;
  }
  HICommand command;
  if (event->GetParameter(kEventParamDirectObject, kTypeHICommand, &command) == kNoErr &&
      (command.attributes & kHICommandFromMenu)) {
    menuSignal.Emit(command.commandID);
    return kNoErr;
  }
  return kEventNotHandledErr;
}

// --- ColorSwatchButton ---

ColorSwatchButton::~ColorSwatchButton() {
  DropPicture();
  if (handler) RemoveEventHandler(handler);
}

bool ColorSwatchButton::Create(WindowBase* w, OSType code, const Rect& r, const std::wstring& title) {
  if (!ControlBase::Create(w, code, r, title)) return false;
  if (!MakeControl(w, kControlKindBevelButton, r, title)) return false;
  if (!InstallHandlers()) return false;
  return FinishCreate(w, code);
}

bool ColorSwatchButton::InstallHandlers() {
  if (!handler &&
      InstallEventHandler(GetControlEventTarget(control),
                          [this](EventHandlerCallRef, EventRef) { return OnClick(); }, kHitEvent,
                          &handler) != kNoErr)
    return false;
  Paint();
  return true;
}

void ColorSwatchButton::DropPicture() {
  if (!picture) return;
  SetBevelButtonContent(control, ButtonContent{});
  picture = false;
}

// The swatch is an offscreen erased with the colour; the button shows what was painted.
void ColorSwatchButton::Paint() {
  DropPicture();
  int width = 0, height = 0;
  if (!GetSize(&width, &height)) return;
  GWorldPtr offscreen = nullptr;
  if (!CreateOffscreen(&offscreen, width, height, 32)) return;
  GrafPtr previous = nullptr;
  GetGWorld(&previous);
  SetGWorld(offscreen);
  RGBBackColor(Widen(color));
  EraseRect(Rect{0, 0, static_cast<short>(height), static_cast<short>(width)});
  SetGWorld(previous);
  const std::uint32_t pixel = GetPixBaseAddr(offscreen)[0];
  DisposeOffscreen(&offscreen);
  ButtonContent content;
  content.kind = ButtonContentKind::kPicture;
  content.picture = ((pixel >> 16) & 0xFF) | (pixel & 0xFF00) | ((pixel & 0xFF) << 16);
  picture = SetBevelButtonContent(control, content) == kNoErr;
}

void ColorSwatchButton::SetColor(std::uint32_t newColor, bool redraw) {
  color = newColor;
  Paint();
  if (redraw && IsControlVisible(control) && IsWindowVisible(GetControlOwner(control))) Draw();
}

OSStatus ColorSwatchButton::OnClick() {
  if (!clickEnabled) return kEventNotHandledErr;
  RGBColor chosen;
  if (PickColor(L"Choose a color", Widen(color), &chosen)) {
    SetColor((chosen.red / 257u) | ((chosen.green / 257u) << 8) | ((chosen.blue / 257u) << 16), true);
  }
  return kEventNotHandledErr;
}
