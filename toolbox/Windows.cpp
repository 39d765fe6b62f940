#include "toolbox/Windows.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "toolbox/Alerts.h"
#include "toolbox/Controls.h"
#include "toolbox/Display.h"
#include "toolbox/Menus.h"

namespace toolbox {
namespace {

struct ControlData {
  ControlRef ref;
  WindowRef owner;
  ControlRef super;
  OSType kind = 0;
  ControlID id;
  OSType command = 0;
  std::wstring title;
  Rect bounds;
  bool visible = true;
  bool active = true;
  std::int32_t value = 0;
  std::int32_t minimum = 0;
  std::int32_t maximum = 1;
  void* reference = nullptr;
  EventTargetRef target;
  std::map<std::pair<OSType, OSType>, std::vector<unsigned char>> properties;
};

struct WindowData {
  WindowRef ref;
  WindowClass windowClass = kDocumentWindowClass;
  std::uint32_t attributes = 0;
  Rect bounds;
  std::wstring title;
  std::string name;
  bool visible = false;
  bool active = false;
  bool disposing = false;
  std::map<std::pair<OSType, OSType>, std::vector<unsigned char>> properties;
  EventTargetRef target;
  std::vector<ControlRef> controls;  // creation order
  WindowRef sheetParent;
  WindowDisposeObserver observer;
};

struct WindowModel {
  std::map<std::uint64_t, std::unique_ptr<WindowData>> windows;
  std::map<std::uint64_t, std::unique_ptr<ControlData>> controls;
  std::vector<WindowRef> order;  // front first
};

WindowModel& Model() {
  static WindowModel model;
  return model;
}

WindowData* Find(WindowRef w) {
  auto& m = Model().windows;
  auto it = m.find(w.id);
  return it == m.end() || it->second->disposing ? nullptr : it->second.get();
}

ControlData* Find(ControlRef c) {
  auto& m = Model().controls;
  auto it = m.find(c.id);
  return it == m.end() ? nullptr : it->second.get();
}

void MoveToFront(WindowRef w) {
  auto& order = Model().order;
  order.erase(std::remove(order.begin(), order.end(), w), order.end());
  order.insert(order.begin(), w);
}

// A window without a close box is never closed by the standard handling: a close request
// from elsewhere (a window manager's button, a script) must not take away a window whose
// user was given no way to close it, such as a progress dialog of running work.
OSStatus WindowStandardHandler(WindowRef window, EventRef event) {
  if (event->Class() == kEventClassWindow && event->Kind() == kEventWindowClose) {
    WindowData* d = Find(window);
    if (!d || !(d->attributes & kWindowCloseBoxAttribute)) return kEventNotHandledErr;
    return DisposeWindow(window);
  }
  return kEventNotHandledErr;
}

void SendActivation(WindowRef w) {
  if (EventTargetRef t = GetWindowEventTarget(w)) {
    Event e(kEventClassWindow, kEventWindowActivated);
    e.SetParameter(kEventParamDirectObject, kTypeWindowRef, w);
    SendEventToEventTarget(&e, t);
  }
}

void DisposeControlTree(ControlRef c) {
  auto& controls = Model().controls;
  std::vector<ControlRef> children;
  for (auto& [id, data] : controls)
    if (data->super == c) children.push_back(data->ref);
  for (ControlRef child : children) DisposeControlTree(child);
  auto it = controls.find(c.id);
  if (it == controls.end()) return;
  if (it->second->target) it->second->target->Clear();
  ForgetControlExtras(c);
  if (WindowData* w = Find(it->second->owner)) {
    w->controls.erase(std::remove(w->controls.begin(), w->controls.end(), c), w->controls.end());
  } else {
    // the window is being disposed: its record is still there
    auto wit = Model().windows.find(it->second->owner.id);
    if (wit != Model().windows.end()) {
      auto& list = wit->second->controls;
      list.erase(std::remove(list.begin(), list.end(), c), list.end());
    }
  }
  controls.erase(it);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Windows

OSStatus CreateNewWindow(WindowClass windowClass, std::uint32_t attributes, const Rect& bounds,
                         WindowRef* outWindow) {
  switch (windowClass) {
    case kMovableModalWindowClass:
    case kFloatingWindowClass:
    case kDocumentWindowClass:
    case kUtilityWindowClass:
    case kSheetWindowClass:
      break;
    default:
      return kParamErr;
  }
  if (bounds.right < bounds.left || bounds.bottom < bounds.top) return kParamErr;
  auto data = std::make_unique<WindowData>();
  data->ref.id = NextHandleId();
  data->windowClass = windowClass;
  data->attributes = attributes;
  data->bounds = bounds;
  data->target = std::make_shared<EventTarget>("window");
  data->target->SetParent(GetApplicationEventTarget());
  if (attributes & kWindowStandardHandlerAttribute) {
    WindowRef ref = data->ref;
    data->target->SetStandardHandler([ref](EventRef e) { return WindowStandardHandler(ref, e); });
  }
  WindowRef ref = data->ref;
  Model().windows[ref.id] = std::move(data);
  Model().order.push_back(ref);
  if (outWindow) *outWindow = ref;
  return kNoErr;
}

OSStatus DisposeWindow(WindowRef window) {
  WindowData* d = Find(window);
  if (!d) return kInvalidWindowErr;
  d->disposing = true;
  // Sheets shown on it go with it out of sight.
  for (auto& [id, other] : Model().windows)
    if (other->sheetParent == window) {
      other->sheetParent = WindowRef{};
      other->visible = false;
    }
  WindowDisposeObserver observer = std::move(d->observer);
  d->observer = nullptr;
  std::vector<ControlRef> roots;
  for (ControlRef c : d->controls)
    if (ControlData* cd = Find(c); cd && !cd->super) roots.push_back(c);
  for (auto it = roots.rbegin(); it != roots.rend(); ++it) DisposeControlTree(*it);
  d->target->Clear();
  auto& order = Model().order;
  order.erase(std::remove(order.begin(), order.end(), window), order.end());
  Model().windows.erase(window.id);
  if (DisplayBackend* b = GetDisplayBackend()) b->WindowDisposed(window);
  if (observer) observer(window);
  return kNoErr;
}

bool IsValidWindowRef(WindowRef window) { return Find(window) != nullptr; }

OSStatus SetWindowDisposeObserver(WindowRef window, WindowDisposeObserver observer) {
  WindowData* d = Find(window);
  if (!d) return kInvalidWindowErr;
  d->observer = std::move(observer);
  return kNoErr;
}

OSStatus GetWindowClass(WindowRef window, WindowClass* outClass) {
  WindowData* d = Find(window);
  if (!d) return kInvalidWindowErr;
  if (outClass) *outClass = d->windowClass;
  return kNoErr;
}

OSStatus GetWindowAttributes(WindowRef window, std::uint32_t* outAttributes) {
  WindowData* d = Find(window);
  if (!d) return kInvalidWindowErr;
  if (outAttributes) *outAttributes = d->attributes;
  return kNoErr;
}

EventTargetRef GetWindowEventTarget(WindowRef window) {
  WindowData* d = Find(window);
  return d ? d->target : nullptr;
}

OSStatus ShowWindow(WindowRef window) {
  WindowData* d = Find(window);
  if (!d) return kInvalidWindowErr;
  MoveToFront(window);
  if (!d->visible) {
    d->visible = true;
    if (DisplayBackend* b = GetDisplayBackend()) b->WindowShown(window);
  }
  return kNoErr;
}

OSStatus HideWindow(WindowRef window) {
  WindowData* d = Find(window);
  if (!d) return kInvalidWindowErr;
  if (d->visible) {
    d->visible = false;
    d->active = false;
    if (DisplayBackend* b = GetDisplayBackend()) b->WindowHidden(window);
  }
  return kNoErr;
}

bool IsWindowVisible(WindowRef window) {
  WindowData* d = Find(window);
  return d && d->visible;
}

OSStatus BringToFront(WindowRef window) {
  if (!Find(window)) return kInvalidWindowErr;
  MoveToFront(window);
  return kNoErr;
}

OSStatus ActivateWindow(WindowRef window, bool activate) {
  WindowData* d = Find(window);
  if (!d) return kInvalidWindowErr;
  if (d->active != activate) {
    d->active = activate;
    if (activate) SendActivation(window);
  }
  return kNoErr;
}

OSStatus SelectWindow(WindowRef window) {
  if (!Find(window)) return kInvalidWindowErr;
  for (auto& [id, d] : Model().windows)
    if (d->ref != window) d->active = false;
  MoveToFront(window);
  return ActivateWindow(window, true);
}

bool IsWindowActive(WindowRef window) {
  WindowData* d = Find(window);
  return d && d->active;
}

WindowRef FrontWindow() {
  for (WindowRef w : Model().order)
    if (IsWindowVisible(w)) return w;
  return WindowRef{};
}

std::vector<WindowRef> WindowsFrontToBack() { return Model().order; }

OSStatus GetWindowBounds(WindowRef window, Rect* outBounds) {
  WindowData* d = Find(window);
  if (!d) return kInvalidWindowErr;
  if (outBounds) *outBounds = d->bounds;
  return kNoErr;
}

OSStatus SetWindowBounds(WindowRef window, const Rect& bounds) {
  WindowData* d = Find(window);
  if (!d) return kInvalidWindowErr;
  if (bounds.right < bounds.left || bounds.bottom < bounds.top) return kParamErr;
  const Rect previous = d->bounds;
  EventTargetRef target = d->target;
  Event changing(kEventClassWindow, kEventWindowBoundsChanging);
  changing.SetParameter(kEventParamPreviousBounds, kTypeQDRectangle, previous);
  changing.SetParameter(kEventParamCurrentBounds, kTypeQDRectangle, bounds);
  SendEventToEventTarget(&changing, target);
  Rect current = bounds;
  changing.GetParameter(kEventParamCurrentBounds, kTypeQDRectangle, &current);
  d = Find(window);
  if (!d) return kInvalidWindowErr;
  d->bounds = current;
  Event changed(kEventClassWindow, kEventWindowBoundsChanged);
  changed.SetParameter(kEventParamPreviousBounds, kTypeQDRectangle, previous);
  changed.SetParameter(kEventParamCurrentBounds, kTypeQDRectangle, current);
  SendEventToEventTarget(&changed, target);
  return kNoErr;
}

OSStatus MoveWindow(WindowRef window, short left, short top) {
  Rect r;
  if (OSStatus s = GetWindowBounds(window, &r)) return s;
  const int width = r.Width(), height = r.Height();
  r.left = left;
  r.top = top;
  r.right = static_cast<short>(std::clamp(left + width, -32768, 32767));
  r.bottom = static_cast<short>(std::clamp(top + height, -32768, 32767));
  return SetWindowBounds(window, r);
}

OSStatus SizeWindow(WindowRef window, short width, short height) {
  Rect r;
  if (OSStatus s = GetWindowBounds(window, &r)) return s;
  if (width < 0 || height < 0) return kParamErr;
  r.right = static_cast<short>(std::clamp(r.left + width, -32768, 32767));
  r.bottom = static_cast<short>(std::clamp(r.top + height, -32768, 32767));
  return SetWindowBounds(window, r);
}

Rect MainScreenBounds() {
  Rect area;
  if (DisplayBackend* backend = GetDisplayBackend(); backend && backend->ScreenArea(&area) &&
      area.Width() > 0 && area.Height() > 0)
    return area;
  return Rect{0, 0, 768, 1024};
}

OSStatus CenterWindowOnScreen(WindowRef window) {
  Rect r;
  if (OSStatus s = GetWindowBounds(window, &r)) return s;
  const Rect screen = MainScreenBounds();
  short left = static_cast<short>(screen.left + (screen.Width() - r.Width()) / 2);
  short top = static_cast<short>(screen.top + (screen.Height() - r.Height()) / 2);
  MoveWindow(window, left, top);
  return KeepWindowOnScreen(window);
}

OSStatus KeepWindowOnScreen(WindowRef window) {
  Rect r;
  if (OSStatus s = GetWindowBounds(window, &r)) return s;
  const Rect screen = MainScreenBounds();
  int top = std::min<int>(r.top, screen.bottom - r.Height());
  top = std::max<int>(top, screen.top + kWindowFrameTop);
  int left = std::max<int>(std::min<int>(r.left, screen.right - r.Width()), screen.left);
  if (top == r.top && left == r.left) return kNoErr;
  return MoveWindow(window, static_cast<short>(left), static_cast<short>(top));
}

OSStatus SetWindowTitle(WindowRef window, const std::wstring& title) {
  WindowData* d = Find(window);
  if (!d) return kInvalidWindowErr;
  d->title = title;
  return kNoErr;
}

OSStatus CopyWindowTitle(WindowRef window, std::wstring* outTitle) {
  WindowData* d = Find(window);
  if (!d) return kInvalidWindowErr;
  if (outTitle) *outTitle = d->title;
  return kNoErr;
}

OSStatus SetWindowName(WindowRef window, const std::string& nibName) {
  WindowData* d = Find(window);
  if (!d) return kInvalidWindowErr;
  d->name = nibName;
  return kNoErr;
}

std::string GetWindowName(WindowRef window) {
  WindowData* d = Find(window);
  return d ? d->name : std::string();
}

OSStatus SetWindowProperty(WindowRef window, OSType creator, OSType tag, const void* data,
                           std::size_t size) {
  WindowData* d = Find(window);
  if (!d) return kInvalidWindowErr;
  if (!data && size) return kParamErr;
  const auto* bytes = static_cast<const unsigned char*>(data);
  d->properties[{creator, tag}] = std::vector<unsigned char>(bytes, bytes + size);
  return kNoErr;
}

OSStatus GetWindowProperty(WindowRef window, OSType creator, OSType tag, void* data,
                           std::size_t size) {
  WindowData* d = Find(window);
  if (!d) return kInvalidWindowErr;
  auto it = d->properties.find({creator, tag});
  if (it == d->properties.end()) return kNotFoundErr;
  if (it->second.size() != size) return kParamErr;
  if (size) std::memcpy(data, it->second.data(), size);
  return kNoErr;
}

OSStatus RemoveWindowProperty(WindowRef window, OSType creator, OSType tag) {
  WindowData* d = Find(window);
  if (!d) return kInvalidWindowErr;
  return d->properties.erase({creator, tag}) ? kNoErr : kNotFoundErr;
}

OSStatus ShowSheetWindow(WindowRef sheet, WindowRef parent) {
  WindowData* s = Find(sheet);
  if (!s || !Find(parent)) return kInvalidWindowErr;
  if (s->windowClass != kSheetWindowClass) return kParamErr;
  s->sheetParent = parent;
  return ShowWindow(sheet);
}

OSStatus HideSheetWindow(WindowRef sheet) {
  WindowData* s = Find(sheet);
  if (!s) return kInvalidWindowErr;
  if (s->windowClass != kSheetWindowClass) return kParamErr;
  s->sheetParent = WindowRef{};
  return HideWindow(sheet);
}

WindowRef GetSheetParent(WindowRef sheet) {
  WindowData* s = Find(sheet);
  return s ? s->sheetParent : WindowRef{};
}

OSStatus SendWindowCloseEvent(WindowRef window) {
  EventTargetRef target = GetWindowEventTarget(window);
  if (!target) return kInvalidWindowErr;
  Event e(kEventClassWindow, kEventWindowClose);
  e.SetParameter(kEventParamDirectObject, kTypeWindowRef, window);
  return SendEventToEventTarget(&e, target);
}

namespace {

// A push button the user could press now.
bool Pressable(ControlRef button) {
  return IsValidControlRef(button) && GetControlKind(button) == kControlKindPushButton && IsControlUsable(button);
}

}  // namespace

ControlRef CancellingButton(WindowRef window) {
  if (ControlRef named = GetWindowCancelButton(window); Pressable(named)) return named;
  std::vector<ControlRef> buttons;
  for (ControlRef c : GetWindowControls(window)) {
    if (!Pressable(c)) continue;
    OSType command = 0;
    if (GetControlCommandID(c, &command) == kNoErr && command == kHICommandCancel) return c;
    buttons.push_back(c);
  }
  return buttons.size() == 1 ? buttons.front() : ControlRef{};
}

OSStatus RequestWindowClose(WindowRef window) {
  WindowData* d = Find(window);
  if (!d) return kInvalidWindowErr;
  if (!d->visible) return kNoErr;
  // A file dialog runs in a modal loop of its own: only the innermost loop's window (the
  // question the file dialog asks, say) answers.
  const WindowRef modal = ModalWindow();
  if ((modal && modal != window) || !WindowAcceptsUserInput(window)) return kNoErr;
  if (d->attributes & kWindowCloseBoxAttribute) return SendWindowCloseEvent(window);
  switch (d->windowClass) {
    case kMovableModalWindowClass:
    case kSheetWindowClass:
      if (ControlRef button = CancellingButton(window)) return HitControl(button);
      return PressKey(window, kEscapeKeyCode);
    case kDocumentWindowClass:
      return PostMenuCommand(kHICommandQuit);
    default:
      return kEventNotHandledErr;
  }
}

// ---------------------------------------------------------------------------------------
// Controls

OSStatus CreateControl(WindowRef window, OSType kind, const Rect& bounds,
                       const std::wstring& title, ControlRef* outControl) {
  WindowData* w = Find(window);
  if (!w) return kInvalidWindowErr;
  if (bounds.right < bounds.left || bounds.bottom < bounds.top) return kParamErr;
  auto data = std::make_unique<ControlData>();
  data->ref.id = NextHandleId();
  data->owner = window;
  data->kind = kind;
  data->title = title;
  data->bounds = bounds;
  data->target = std::make_shared<EventTarget>("control");
  data->target->SetParent(w->target);
  ControlRef ref = data->ref;
  Model().controls[ref.id] = std::move(data);
  w->controls.push_back(ref);
  if (outControl) *outControl = ref;
  return kNoErr;
}

OSStatus DisposeControl(ControlRef control) {
  if (!Find(control)) return kInvalidControlErr;
  DisposeControlTree(control);
  return kNoErr;
}

bool IsValidControlRef(ControlRef control) { return Find(control) != nullptr; }

EventTargetRef GetControlEventTarget(ControlRef control) {
  ControlData* c = Find(control);
  return c ? c->target : nullptr;
}

WindowRef GetControlOwner(ControlRef control) {
  ControlData* c = Find(control);
  return c ? c->owner : WindowRef{};
}

OSType GetControlKind(ControlRef control) {
  ControlData* c = Find(control);
  return c ? c->kind : 0;
}

OSStatus SetControlID(ControlRef control, const ControlID& id) {
  ControlData* c = Find(control);
  if (!c) return kInvalidControlErr;
  c->id = id;
  return kNoErr;
}

OSStatus GetControlID(ControlRef control, ControlID* outId) {
  ControlData* c = Find(control);
  if (!c) return kInvalidControlErr;
  if (outId) *outId = c->id;
  return kNoErr;
}

OSStatus GetControlByID(WindowRef window, const ControlID& id, ControlRef* outControl) {
  WindowData* w = Find(window);
  if (!w) return kInvalidWindowErr;
  for (ControlRef c : w->controls) {
    ControlData* d = Find(c);
    if (d && d->id == id) {
      if (outControl) *outControl = c;
      return kNoErr;
    }
  }
  return kInvalidControlErr;
}

OSStatus SetControlCommandID(ControlRef control, OSType command) {
  ControlData* c = Find(control);
  if (!c) return kInvalidControlErr;
  c->command = command;
  return kNoErr;
}

OSStatus GetControlCommandID(ControlRef control, OSType* outCommand) {
  ControlData* c = Find(control);
  if (!c) return kInvalidControlErr;
  if (outCommand) *outCommand = c->command;
  return kNoErr;
}

OSStatus SetControlReference(ControlRef control, void* reference) {
  ControlData* c = Find(control);
  if (!c) return kInvalidControlErr;
  c->reference = reference;
  return kNoErr;
}

void* GetControlReference(ControlRef control) {
  ControlData* c = Find(control);
  return c ? c->reference : nullptr;
}

OSStatus EmbedControl(ControlRef control, ControlRef container) {
  ControlData* c = Find(control);
  ControlData* p = Find(container);
  if (!c || !p) return kInvalidControlErr;
  if (c->owner != p->owner) return kParamErr;
  for (ControlRef up = container; up;) {  // no cycles
    if (up == control) return kParamErr;
    ControlData* u = Find(up);
    up = u ? u->super : ControlRef{};
  }
  c->super = container;
  c->target->SetParent(p->target);
  return kNoErr;
}

ControlRef GetSuperControl(ControlRef control) {
  ControlData* c = Find(control);
  return c ? c->super : ControlRef{};
}

std::vector<ControlRef> GetWindowControls(WindowRef window) {
  WindowData* w = Find(window);
  return w ? w->controls : std::vector<ControlRef>{};
}

OSStatus SetControlProperty(ControlRef control, OSType creator, OSType tag, const void* data,
                            std::size_t size) {
  ControlData* c = Find(control);
  if (!c) return kInvalidControlErr;
  if (!data && size) return kParamErr;
  const auto* bytes = static_cast<const unsigned char*>(data);
  c->properties[{creator, tag}] = std::vector<unsigned char>(bytes, bytes + size);
  return kNoErr;
}

OSStatus GetControlProperty(ControlRef control, OSType creator, OSType tag, void* data,
                            std::size_t size) {
  ControlData* c = Find(control);
  if (!c) return kInvalidControlErr;
  auto it = c->properties.find({creator, tag});
  if (it == c->properties.end()) return kNotFoundErr;
  if (it->second.size() != size) return kParamErr;
  if (size) std::memcpy(data, it->second.data(), size);
  return kNoErr;
}

OSStatus SetControlTitle(ControlRef control, const std::wstring& title) {
  ControlData* c = Find(control);
  if (!c) return kInvalidControlErr;
  c->title = title;
  return kNoErr;
}

std::wstring GetControlTitle(ControlRef control) {
  ControlData* c = Find(control);
  return c ? c->title : std::wstring();
}

OSStatus GetControlBounds(ControlRef control, Rect* outBounds) {
  ControlData* c = Find(control);
  if (!c) return kInvalidControlErr;
  if (outBounds) *outBounds = c->bounds;
  return kNoErr;
}

OSStatus SetControlBounds(ControlRef control, const Rect& bounds) {
  ControlData* c = Find(control);
  if (!c) return kInvalidControlErr;
  if (bounds.right < bounds.left || bounds.bottom < bounds.top) return kParamErr;
  c->bounds = bounds;
  return kNoErr;
}

OSStatus SetControlVisibility(ControlRef control, bool visible) {
  ControlData* c = Find(control);
  if (!c) return kInvalidControlErr;
  c->visible = visible;
  return kNoErr;
}

bool IsControlVisible(ControlRef control) {
  ControlData* c = Find(control);
  return c && c->visible;
}

OSStatus ActivateControl(ControlRef control) {
  ControlData* c = Find(control);
  if (!c) return kInvalidControlErr;
  c->active = true;
  return kNoErr;
}

OSStatus DeactivateControl(ControlRef control) {
  ControlData* c = Find(control);
  if (!c) return kInvalidControlErr;
  c->active = false;
  return kNoErr;
}

bool IsControlActive(ControlRef control) {
  ControlData* c = Find(control);
  return c && c->active;
}

OSStatus DrawOneControl(ControlRef control) {
  return Find(control) ? kNoErr : kInvalidControlErr;
}

OSStatus SetControlValue(ControlRef control, std::int32_t value) {
  ControlData* c = Find(control);
  if (!c) return kInvalidControlErr;
  c->value = std::clamp(value, c->minimum, std::max(c->minimum, c->maximum));
  return kNoErr;
}

std::int32_t GetControlValue(ControlRef control) {
  ControlData* c = Find(control);
  return c ? c->value : 0;
}

OSStatus SetControlMinimum(ControlRef control, std::int32_t minimum) {
  ControlData* c = Find(control);
  if (!c) return kInvalidControlErr;
  c->minimum = minimum;
  c->value = std::max(c->value, minimum);
  return kNoErr;
}

OSStatus SetControlMaximum(ControlRef control, std::int32_t maximum) {
  ControlData* c = Find(control);
  if (!c) return kInvalidControlErr;
  c->maximum = maximum;
  c->value = std::min(c->value, std::max(c->minimum, maximum));
  return kNoErr;
}

std::int32_t GetControlMinimum(ControlRef control) {
  ControlData* c = Find(control);
  return c ? c->minimum : 0;
}

std::int32_t GetControlMaximum(ControlRef control) {
  ControlData* c = Find(control);
  return c ? c->maximum : 0;
}

OSStatus HitControl(ControlRef control, std::uint32_t modifiers) {
  return HitControlPart(control, kControlNoPart, modifiers);
}

void ResetWindowModel() {
  WindowModel& m = Model();
  for (auto& [id, c] : m.controls)
    if (c->target) c->target->Clear();
  for (auto& [id, w] : m.windows)
    if (w->target) w->target->Clear();
  m.controls.clear();
  m.windows.clear();
  m.order.clear();
  ResetControlExtras();
}

}  // namespace toolbox
