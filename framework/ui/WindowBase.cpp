#include "framework/ui/WindowBase.h"

#include <algorithm>
#include <climits>

#include "framework/ui/NibRef.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

namespace {

short Clamp16(int v) { return static_cast<short>(std::clamp(v, SHRT_MIN, SHRT_MAX)); }

WindowClass ClassOfFlags(std::uint32_t flags) {
  if (flags & kWindowFlagMovableModal) return kMovableModalWindowClass;
  if (flags & kWindowFlagSheet) return kSheetWindowClass;
  if (flags & kWindowFlagFloating) return kFloatingWindowClass;
  if (flags & kWindowFlagUtility) return kUtilityWindowClass;
  return kDocumentWindowClass;
}

bool IsSheet(WindowRef window) {
  WindowClass c;
  return GetWindowClass(window, &c) == kNoErr && c == kSheetWindowClass;
}

}  // namespace

// modalResult starts at -1 (no result) and dialogId at 0, so that a window made in code gives
// its controls the ControlID {command, 0}; the creating operations overwrite both.
WindowBase::WindowBase() = default;

WindowBase::~WindowBase() {
  Destroy();
  if (paneOwner) std::erase(paneOwner->panes, this);
  for (WindowBase* pane : panes) pane->paneOwner = nullptr;
}

// ---------------------------------------------------------------------------------------
// Defaults of the virtual operations

std::int32_t WindowBase::DoModal(const NibRef& nib, const std::wstring& name, WindowRef,
                                 std::uint32_t dialog) {
  dialogId = dialog;
  modalResult = -1;
  if (CreateWindowFromNib(nib.Get(), WideToUtf8(name), &window) != kNoErr) {
    window = WindowRef{};
    return -1;
  }
  WatchWindow();
  if (!InstallHandler()) return -1;
  LinkProperty();
  OnInitDialog();
  Show(true);
  modalRunning = true;
  RunAppModalLoopForWindow(window);
  modalRunning = false;
  if (window) Hide();
  Destroy();
  return modalResult;
}

bool WindowBase::PreFilterEvent(EventRef*) { return false; }
bool WindowBase::OnInitDialog() { return false; }

bool WindowBase::OnClose() {
  Hide();
  if (modalRunning) QuitAppModalLoopForWindow(window);
  Destroy();
  return true;
}

bool WindowBase::OnPaint() { return false; }
bool WindowBase::OnCommand(std::uint32_t, EventRef*) { return false; }
bool WindowBase::OnSize(int, int) { return false; }
bool WindowBase::OnSizing(Rect*) { return false; }
bool WindowBase::OnMove(int, int) { return false; }
bool WindowBase::OnLButtonDown(int, int, std::uint32_t) { return false; }
bool WindowBase::OnLButtonUp(int, int, std::uint32_t) { return false; }
bool WindowBase::OnRButtonDown(int, int, std::uint32_t) { return false; }
bool WindowBase::OnRButtonUp(int, int, std::uint32_t) { return false; }
bool WindowBase::OnMouseMove(int, int, std::uint32_t) { return false; }
void WindowBase::OnDropFile(const PathString&, Point*) {}
bool WindowBase::OnDragEnter(DragRef) { return false; }
bool WindowBase::OnDragWithin(DragRef) { return false; }
bool WindowBase::OnKeyDown(EventRef*) { return false; }
bool WindowBase::OnKeyUp(EventRef*) { return false; }
bool WindowBase::OnOpenDocument(const PathString&) { return false; }
bool WindowBase::OnHotKey(HotKeyID*) { return false; }
bool WindowBase::OnOtherEvent(OSType, std::uint32_t, EventRef*) { return false; }
bool WindowBase::OnControlChanged(ControlRef, ControlRef) { return false; }

// ---------------------------------------------------------------------------------------
// Creation and life

bool WindowBase::CreateWindow(int x, int y, int width, int height, std::uint32_t creationFlags,
                              WindowRef parent) {
  flags = creationFlags;
  parentWindow = parent;
  Rect bounds;
  bounds.top = Clamp16(y);
  bounds.left = Clamp16(x);
  bounds.bottom = Clamp16(y + height);
  bounds.right = Clamp16(x + width);
  std::uint32_t attributes = kWindowStandardHandlerAttribute;
  if (flags & kWindowFlagCloseBox) attributes |= kWindowCloseBoxAttribute;
  if (flags & kWindowFlagResizable) attributes |= kWindowResizableAttribute;
  if (CreateNewWindow(ClassOfFlags(flags), attributes, bounds, &window) != kNoErr) {
    window = WindowRef{};
    return false;
  }
  WatchWindow();
  // A sheet would get the sheet theme background here; the model draws nothing.
  if (!InstallHandler()) return false;
  OnInitDialog();
  if (flags & kWindowFlagShow) Show(true);
  return true;
}

bool WindowBase::Create(const NibRef& nib, const std::wstring& name, WindowRef parent,
                        std::uint32_t dialog) {
  dialogId = dialog;
  parentWindow = parent;
  if (CreateWindowFromNib(nib.Get(), WideToUtf8(name), &window) != kNoErr) {
    window = WindowRef{};
    return false;
  }
  WatchWindow();
  if (!InstallHandler()) return false;
  LinkProperty();
  return OnInitDialog();
}

bool WindowBase::AttachToUserPane(const NibRef&, std::int32_t paneId, WindowRef parent,
                                  std::uint32_t dialog) {
  dialogId = dialog;
  ControlRef pane;
  if (GetControlByID(parent, ControlID{0, paneId}, &pane) != kNoErr) return false;
  hostPane = pane;
  std::vector<EventTypeSpec> types;
  GetEventTypes(types);
  if (InstallEventHandler(GetControlEventTarget(hostPane), DispatchWindowEvent, types, this,
                          &handlerRef) != kNoErr)
    return false;
  window = parent;
  LinkProperty();
  if (WindowBase* owner = FromWindowRef(parent); owner && owner != this) {
    paneOwner = owner;
    owner->panes.push_back(this);
  }
  OnInitDialog();
  embedded = true;
  return true;
}

bool WindowBase::InstallHandler() {
  std::vector<EventTypeSpec> types;
  GetEventTypes(types);
  return InstallEventHandler(GetWindowEventTarget(window), DispatchWindowEvent, types, this,
                             &handlerRef) == kNoErr;
}

void WindowBase::LinkProperty() {
  WindowBase* self = this;
  if (hostPane)
    SetControlProperty(hostPane, kWindowPropertyCreator, kWindowPropertyTag, &self, sizeof self);
  else
    SetWindowProperty(window, kWindowPropertyCreator, kWindowPropertyTag, &self, sizeof self);
}

std::int32_t WindowBase::RunModal() {
  modalResult = -1;
  modalRunning = true;
  const bool sheet = IsSheet(window);
  if (sheet) {
    ShowSheetWindow(window, parentWindow);
  } else {
    Show(true);
    BringToFront();
  }
  RunAppModalLoopForWindow(window);
  if (!sheet) Hide();
  Destroy();
  modalRunning = false;
  return modalResult;
}

bool WindowBase::EndDialog(std::int32_t result) {
  modalResult = result;
  if (IsSheet(window)) HideSheetWindow(window);
  OSStatus status = kInvalidWindowErr;
  if (window) status = QuitAppModalLoopForWindow(window);
  OnClose();
  Destroy();
  if (status == kNoErr) return true;
  modalResult = -1;
  return false;
}

bool WindowBase::Destroy() {
  if (!window) return false;
  if (!embedded) DestroyPanes();
  if (handlerRef) {
    RemoveEventHandler(handlerRef);
    handlerRef = EventHandlerRef{};
  }
  if (dragTrackingInstalled) {
    RemoveTrackingHandler(&WindowBase::OnDragTracking, window);
    dragTrackingInstalled = false;
  }
  if (dragReceiveInstalled) {
    RemoveReceiveHandler(&WindowBase::OnDragReceiveHandler, window);
    dragReceiveInstalled = false;
  }
  WindowRef w = window;
  window = WindowRef{};
  lastHitControl = ControlRef{};
  if (embedded) {
    if (paneOwner) std::erase(paneOwner->panes, this);
    paneOwner = nullptr;
    return true;
  }
  SetWindowDisposeObserver(w, nullptr);
  DisposeWindow(w);
  return true;
}

void WindowBase::DestroyPanes() {
  std::vector<WindowBase*> attached = panes;
  for (WindowBase* pane : attached) pane->Destroy();
  for (WindowBase* pane : panes) pane->paneOwner = nullptr;
  panes.clear();
}

void WindowBase::WatchWindow() {
  SetWindowDisposeObserver(window, [this](WindowRef) { ForgetWindow(); });
}

void WindowBase::ForgetWindow() {
  for (WindowBase* pane : panes) {
    pane->handlerRef = EventHandlerRef{};
    pane->window = WindowRef{};
    pane->lastHitControl = ControlRef{};
    pane->paneOwner = nullptr;
  }
  panes.clear();
  handlerRef = EventHandlerRef{};
  dragTrackingInstalled = false;
  dragReceiveInstalled = false;
  window = WindowRef{};
  lastHitControl = ControlRef{};
}

WindowBase* WindowBase::FromWindowRef(WindowRef w) {
  WindowBase* object = nullptr;
  if (GetWindowProperty(w, kWindowPropertyCreator, kWindowPropertyTag, &object, sizeof object) !=
      kNoErr)
    return nullptr;
  return object;
}

// ---------------------------------------------------------------------------------------
// Geometry and state

bool WindowBase::Show(bool show) {
  if (show)
    ShowWindow(window);
  else
    HideWindow(window);
  return true;
}

bool WindowBase::Hide() {
  HideWindow(window);
  return true;
}

bool WindowBase::IsVisible() { return IsWindowVisible(window); }

bool WindowBase::Activate(bool activate) { return ActivateWindow(window, activate) == kNoErr; }

bool WindowBase::BringToFront() {
  toolbox::BringToFront(window);
  return true;
}

OSStatus WindowBase::GetBounds(Rect* bounds) { return GetWindowBounds(window, bounds); }

bool WindowBase::GetPosition(int* left, int* top) {
  Rect r;
  GetWindowBounds(window, &r);
  if (left) *left = r.left;
  if (top) *top = r.top;
  return true;
}

bool WindowBase::Move(int left, int top) {
  MoveWindow(window, Clamp16(left), Clamp16(top));
  return true;
}

bool WindowBase::Reposition(WindowRef) {
  CenterWindowOnScreen(window);
  return true;
}

bool WindowBase::GetSize(int* width, int* height) {
  Rect r;
  GetWindowBounds(window, &r);
  if (width) *width = r.Width();
  if (height) *height = r.Height();
  return true;
}

bool WindowBase::Resize(int width, int height) {
  SizeWindow(window, Clamp16(width), Clamp16(height));
  return true;
}

int WindowBase::GetHeight() {
  int width = 0, height = 0;
  GetSize(&width, &height);
  return height;
}

bool WindowBase::SetHeight(int height) {
  int width = 0, old = 0;
  GetSize(&width, &old);
  return Resize(width, height);
}

bool WindowBase::SetTitle(const std::wstring& title) {
  return SetWindowTitle(window, title) == kNoErr;
}
