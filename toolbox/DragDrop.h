#pragma once
// Drag and drop of files onto windows. A drag carries items; each item carries flavours by
// name. Files arrive as the "text/uri-list" flavour, one URI per item, as desktops send
// them. A window may have one tracking handler and one receive handler per procedure.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "toolbox/Types.h"

namespace toolbox {

inline constexpr const char* kFlavorUriList = "text/uri-list";

struct DragItem {
  std::map<std::string, std::string> flavors;
};

struct Drag {
  Point mouse;  // global
  std::uint32_t attributes = 0;
  std::uint32_t modifiers = 0;
  std::vector<DragItem> items;
};

using DragRef = const Drag*;

enum DragTrackingMessage : std::int16_t {
  kDragTrackingEnterHandler = 1,
  kDragTrackingEnterWindow = 2,
  kDragTrackingInWindow = 3,
  kDragTrackingLeaveWindow = 4,
  kDragTrackingLeaveHandler = 5,
};

using DragTrackingHandler = OSStatus (*)(DragTrackingMessage message, WindowRef window,
                                         void* reference, DragRef drag);
using DragReceiveHandler = OSStatus (*)(WindowRef window, void* reference, DragRef drag);

// Installing the same procedure twice on a window gives kParamErr.
OSStatus InstallTrackingHandler(DragTrackingHandler handler, WindowRef window, void* reference);
OSStatus RemoveTrackingHandler(DragTrackingHandler handler, WindowRef window);
OSStatus InstallReceiveHandler(DragReceiveHandler handler, WindowRef window, void* reference);
OSStatus RemoveReceiveHandler(DragReceiveHandler handler, WindowRef window);
OSStatus SetAutomaticControlDragTrackingEnabledForWindow(WindowRef window, bool enabled);
bool IsAutomaticControlDragTrackingEnabledForWindow(WindowRef window);

// Access to a drag (items count from 1).
OSStatus CountDragItems(DragRef drag, std::uint16_t* outCount);
OSStatus GetDragMouse(DragRef drag, Point* outMouse);
OSStatus GetDragAttributes(DragRef drag, std::uint32_t* outAttributes);
OSStatus GetDragModifiers(DragRef drag, std::uint32_t* outModifiers);
OSStatus GetFlavorData(DragRef drag, std::uint16_t item, const std::string& flavor,
                       std::string* outData);

// Drops the drag on the window: the tracking handlers get enter-handler, enter-window,
// in-window, leave-window and leave-handler; then each receive handler gets the drag.
// kNotFoundErr when the window takes no drops.
OSStatus DropOnWindow(WindowRef window, const Drag& drag);

// Decodes a "file://" URI (empty host or "localhost") into its path, undoing percent
// escapes. False for other URIs, malformed escapes, an escaped NUL, or a path that is not
// valid UTF-8.
bool FilePathFromURI(const std::string& uri, std::string* outUtf8Path);

void ResetDragModel();

}  // namespace toolbox
