// The one event handler of every window and pane, the file-drop machinery and the font
// panel toggle.
#include <algorithm>
#include <sstream>

#include "framework/platform/PathLayer.h"
#include "framework/ui/WindowBase.h"
#include "toolbox/Display.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

namespace {

constexpr OSType kCommandShowFontPanel = FourCC("shfp");

OSStatus ByResult(bool handled) { return handled ? kNoErr : kEventNotHandledErr; }

OSStatus ToggleFontPanel() {
  OSStatus status = ShowHideFontPanel();
  if (IsFontPanelVisible()) SetFontInfoForSelection(0, 12.0);
  return status;
}

struct MouseArgs {
  int x = 0;
  int y = 0;
  std::uint32_t modifiers = 0;
  std::uint16_t button = 1;
};

MouseArgs ReadMouse(const Event& event) {
  MouseArgs m;
  Point where;
  if (event.GetParameter(kEventParamMouseLocation, kTypeQDPoint, &where) == kNoErr) {
    m.x = where.h;
    m.y = where.v;
  }
  event.GetParameter(kEventParamKeyModifiers, kTypeUInt32, &m.modifiers);
  event.GetParameter(kEventParamMouseButton, kTypeMouseButton, &m.button);
  if (m.modifiers & kControlKeyModifier) m.button = 2;
  return m;
}

}  // namespace

OSStatus DispatchWindowEvent(EventHandlerCallRef, EventRef event, void* userData) {
  auto* self = static_cast<WindowBase*>(userData);
  if (!self) return kEventNotHandledErr;
  if (self->PreFilterEvent(&event)) return kNoErr;

  const OSType eventClass = event->Class();
  const std::uint32_t kind = event->Kind();

  if (eventClass == kEventClassCommand) {
    if (kind != kEventCommandProcess) return kEventNotHandledErr;
    HICommand command;
    if (event->GetParameter(kEventParamDirectObject, kTypeHICommand, &command) != kNoErr)
      return kEventNotHandledErr;
    if (self->OnCommand(command.commandID, &event)) return kCommandHandledStatus;
    if (command.commandID == kCommandShowFontPanel) return ToggleFontPanel();
    return kEventNotHandledErr;
  }

  if (eventClass == kEventClassControl) {
    if (kind != kEventControlHit) return kEventNotHandledErr;
    ControlRef hit;
    event->GetParameter(kEventParamDirectObject, kTypeControlRef, &hit);
    ControlID id;
    GetControlID(hit, &id);
    const bool handled = self->OnCommand(id.signature, &event);
    // OnCommand may have ended the dialog: then the window and its controls are gone, and
    // neither the hit control nor the previous one may be handed on.
    if (self->window) {
      if (hit != self->lastHitControl) {
        ControlRef previous = self->lastHitControl;
        self->OnControlChanged(hit, previous);
      }
      if (self->window) self->lastHitControl = hit;
    }
    return ByResult(handled);
  }

  if (eventClass == kEventClassFont) return kEventNotHandledErr;

  if (eventClass == kEventClassKeyboard) {
    if (kind == kEventRawKeyDown) return ByResult(self->OnKeyDown(&event));
    if (kind == kEventRawKeyUp) return ByResult(self->OnKeyUp(&event));
    return kEventNotHandledErr;
  }

  if (eventClass == kEventClassMouse) {
    MouseArgs m = ReadMouse(*event);
    if (kind == kEventMouseDown) {
      if (m.button == 1) return ByResult(self->OnLButtonDown(m.x, m.y, m.modifiers));
      if (m.button == 2) return ByResult(self->OnRButtonDown(m.x, m.y, m.modifiers));
      return kEventNotHandledErr;
    }
    if (kind == kEventMouseUp) {
      if (m.button == 1) return ByResult(self->OnLButtonUp(m.x, m.y, m.modifiers));
      if (m.button == 2) return ByResult(self->OnRButtonUp(m.x, m.y, m.modifiers));
      return kEventNotHandledErr;
    }
    if (kind == kEventMouseMoved) return ByResult(self->OnMouseMove(m.x, m.y, m.modifiers));
    return kEventNotHandledErr;
  }

  if (eventClass == kEventClassWindow) {
    switch (kind) {
      case kEventWindowDrawContent:
        return ByResult(self->OnPaint());
      case kEventWindowBoundsChanging: {
        Rect current;
        event->GetParameter(kEventParamCurrentBounds, kTypeQDRectangle, &current);
        return ByResult(self->OnSizing(&current));
      }
      case kEventWindowBoundsChanged: {
        Rect previous, current;
        event->GetParameter(kEventParamPreviousBounds, kTypeQDRectangle, &previous);
        event->GetParameter(kEventParamCurrentBounds, kTypeQDRectangle, &current);
        if (previous.Width() == current.Width() && previous.Height() == current.Height())
          return ByResult(self->OnMove(current.left, current.top));
        return ByResult(self->OnSize(current.Width(), current.Height()));
      }
      case kEventWindowClose:
        return ByResult(self->OnClose());
      default:
        return kEventNotHandledErr;
    }
  }

  return ByResult(self->OnOtherEvent(eventClass, kind, &event));
}

int WindowBase::GetEventTypes(std::vector<EventTypeSpec>& types) {
  types.clear();
  WindowClass windowClass = kDocumentWindowClass;
  if (window && GetWindowClass(window, &windowClass) == kNoErr &&
      windowClass == kSheetWindowClass) {
    types.push_back({kEventClassControl, kEventControlHit});
    return 1;
  }
  types = {
      {kEventClassControl, kEventControlHit},
      {kEventClassCommand, kEventCommandProcess},
      {kEventClassTextInput, kEventTextInputUnicode},
      {kEventClassWindow, kEventWindowInit},
      {kEventClassWindow, kEventWindowClose},
      {kEventClassWindow, kEventWindowDrawContent},
      {kEventClassWindow, kEventWindowBoundsChanged},
      {kEventClassWindow, kEventWindowBoundsChanging},
      {kEventClassWindow, kEventWindowActivated},
      {kEventClassKeyboard, kEventRawKeyUp},
      {kEventClassKeyboard, kEventRawKeyDown},
      {kEventClassMouse, kEventMouseDown},
      {kEventClassMouse, kEventMouseUp},
      {kEventClassMouse, kEventMouseMoved},
      {kEventClassFont, kEventFontPanelClosed},
      {kEventClassFont, kEventFontSelection},
  };
  return static_cast<int>(types.size());
}

// ---------------------------------------------------------------------------------------
// File drop

bool WindowBase::EnableFileDrop(bool enable) {
  SetAutomaticControlDragTrackingEnabledForWindow(window, enable);
  if (enable) {
    if (!dragTrackingInstalled)
      dragTrackingInstalled =
          InstallTrackingHandler(&WindowBase::OnDragTracking, window, this) == kNoErr;
    if (!dragReceiveInstalled)
      dragReceiveInstalled =
          InstallReceiveHandler(&WindowBase::OnDragReceiveHandler, window, this) == kNoErr;
  } else {
    if (dragTrackingInstalled) RemoveTrackingHandler(&WindowBase::OnDragTracking, window);
    if (dragReceiveInstalled) RemoveReceiveHandler(&WindowBase::OnDragReceiveHandler, window);
    dragTrackingInstalled = false;
    dragReceiveInstalled = false;
  }
  return true;
}

OSStatus WindowBase::OnDragTracking(DragTrackingMessage message, WindowRef, void* reference,
                                    DragRef drag) {
  auto* self = static_cast<WindowBase*>(reference);
  if (message == kDragTrackingEnterHandler)
    self->OnDragEnter(drag);
  else if (message == kDragTrackingInWindow)
    self->OnDragWithin(drag);
  return kNoErr;
}

OSStatus WindowBase::OnDragReceiveHandler(WindowRef, void* reference, DragRef drag) {
  static_cast<WindowBase*>(reference)->OnDragReceive(drag);
  return kNoErr;
}

// Files arrive as "text/uri-list": each item's list may hold several URIs, one a line, with
// comment lines starting with '#'. Only file URIs whose path is valid UTF-8 become paths;
// anything else is skipped, as items without the flavour are.
OSStatus WindowBase::OnDragReceive(DragRef drag) {
  Point mouse;
  std::uint32_t attributes = 0, modifiers = 0;
  std::uint16_t count = 0;
  GetDragMouse(drag, &mouse);
  GetDragAttributes(drag, &attributes);
  GetDragModifiers(drag, &modifiers);
  CountDragItems(drag, &count);

  PathList paths;
  for (std::uint16_t item = 1; item <= count; ++item) {
    std::string list;
    if (GetFlavorData(drag, item, kFlavorUriList, &list) != kNoErr) continue;
    std::istringstream lines(list);
    std::string line;
    while (std::getline(lines, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::string path;
      if (FilePathFromURI(line, &path)) paths.push_back(std::make_unique<PathString>(Utf8ToWide(path)));
    }
  }
  paths.Sort();

  for (std::size_t i = 0; i < paths.size(); ++i) {
    Point far;
    far.h = 32767;
    far.v = 32767;
    Point where = i == 0 ? mouse : far;
    OnDropFile(*paths[i], &where);
  }
  return kNoErr;
}
