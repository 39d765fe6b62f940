#include "toolbox/DragDrop.h"

#include <algorithm>
#include <map>

#include "toolbox/Utf8.h"
#include "toolbox/Windows.h"

namespace toolbox {
namespace {

struct WindowDrag {
  std::vector<std::pair<DragTrackingHandler, void*>> tracking;
  std::vector<std::pair<DragReceiveHandler, void*>> receive;
  bool automatic = false;
};

std::map<std::uint64_t, WindowDrag>& Handlers() {
  static std::map<std::uint64_t, WindowDrag> handlers;
  return handlers;
}

WindowDrag* For(WindowRef window) {
  if (!IsValidWindowRef(window)) {
    Handlers().erase(window.id);
    return nullptr;
  }
  return &Handlers()[window.id];
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  std::size_t n = std::char_traits<char>::length(prefix);
  if (s.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char a = s[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != prefix[i]) return false;
  }
  return true;
}

}  // namespace

OSStatus InstallTrackingHandler(DragTrackingHandler handler, WindowRef window, void* reference) {
  WindowDrag* d = For(window);
  if (!d) return kInvalidWindowErr;
  if (!handler) return kParamErr;
  for (auto& h : d->tracking)
    if (h.first == handler) return kParamErr;
  d->tracking.emplace_back(handler, reference);
  return kNoErr;
}

OSStatus RemoveTrackingHandler(DragTrackingHandler handler, WindowRef window) {
  WindowDrag* d = For(window);
  if (!d) return kInvalidWindowErr;
  auto n = std::erase_if(d->tracking, [handler](auto& h) { return h.first == handler; });
  return n ? kNoErr : kParamErr;
}

OSStatus InstallReceiveHandler(DragReceiveHandler handler, WindowRef window, void* reference) {
  WindowDrag* d = For(window);
  if (!d) return kInvalidWindowErr;
  if (!handler) return kParamErr;
  for (auto& h : d->receive)
    if (h.first == handler) return kParamErr;
  d->receive.emplace_back(handler, reference);
  return kNoErr;
}

OSStatus RemoveReceiveHandler(DragReceiveHandler handler, WindowRef window) {
  WindowDrag* d = For(window);
  if (!d) return kInvalidWindowErr;
  auto n = std::erase_if(d->receive, [handler](auto& h) { return h.first == handler; });
  return n ? kNoErr : kParamErr;
}

OSStatus SetAutomaticControlDragTrackingEnabledForWindow(WindowRef window, bool enabled) {
  WindowDrag* d = For(window);
  if (!d) return kInvalidWindowErr;
  d->automatic = enabled;
  return kNoErr;
}

bool IsAutomaticControlDragTrackingEnabledForWindow(WindowRef window) {
  WindowDrag* d = For(window);
  return d && d->automatic;
}

OSStatus CountDragItems(DragRef drag, std::uint16_t* outCount) {
  if (!drag) return kParamErr;
  if (outCount) *outCount = static_cast<std::uint16_t>(std::min<std::size_t>(drag->items.size(), 0xFFFF));
  return kNoErr;
}

OSStatus GetDragMouse(DragRef drag, Point* outMouse) {
  if (!drag) return kParamErr;
  if (outMouse) *outMouse = drag->mouse;
  return kNoErr;
}

OSStatus GetDragAttributes(DragRef drag, std::uint32_t* outAttributes) {
  if (!drag) return kParamErr;
  if (outAttributes) *outAttributes = drag->attributes;
  return kNoErr;
}

OSStatus GetDragModifiers(DragRef drag, std::uint32_t* outModifiers) {
  if (!drag) return kParamErr;
  if (outModifiers) *outModifiers = drag->modifiers;
  return kNoErr;
}

OSStatus GetFlavorData(DragRef drag, std::uint16_t item, const std::string& flavor,
                       std::string* outData) {
  if (!drag) return kParamErr;
  if (item < 1 || item > drag->items.size()) return kParamErr;
  const auto& flavors = drag->items[item - 1].flavors;
  auto it = flavors.find(flavor);
  if (it == flavors.end()) return kNotFoundErr;
  if (outData) *outData = it->second;
  return kNoErr;
}

OSStatus DropOnWindow(WindowRef window, const Drag& drag) {
  WindowDrag* d = For(window);
  if (!d) return kInvalidWindowErr;
  if (d->receive.empty()) return kNotFoundErr;
  const auto tracking = d->tracking;  // handlers may change the lists
  for (DragTrackingMessage m : {kDragTrackingEnterHandler, kDragTrackingEnterWindow,
                                kDragTrackingInWindow, kDragTrackingLeaveWindow,
                                kDragTrackingLeaveHandler}) {
    for (auto& [handler, reference] : tracking) {
      if (!IsValidWindowRef(window)) return kInvalidWindowErr;
      handler(m, window, reference, &drag);
    }
  }
  d = For(window);
  if (!d) return kInvalidWindowErr;
  const auto receive = d->receive;
  OSStatus status = kNotFoundErr;
  for (auto& [handler, reference] : receive) {
    if (!IsValidWindowRef(window)) break;
    status = handler(window, reference, &drag);
  }
  return status;
}

bool FilePathFromURI(const std::string& uriIn, std::string* outUtf8Path) {
  std::string uri = uriIn;
  while (!uri.empty() && (uri.back() == '\r' || uri.back() == '\n' || uri.back() == ' '))
    uri.pop_back();
  if (!StartsWithNoCase(uri, "file://")) return false;
  std::size_t start = 7;
  std::size_t slash = uri.find('/', start);
  if (slash == std::string::npos) return false;
  std::string host = uri.substr(start, slash - start);
  if (!host.empty() && !StartsWithNoCase(host, "localhost")) return false;
  if (!host.empty() && host.size() != 9) return false;
  std::string path;
  for (std::size_t i = slash; i < uri.size(); ++i) {
    char c = uri[i];
    if (c == '?' || c == '#') break;
    if (c == '%') {
      if (i + 2 >= uri.size()) return false;
      int hi = HexValue(uri[i + 1]), lo = HexValue(uri[i + 2]);
      if (hi < 0 || lo < 0) return false;
      char byte = static_cast<char>(hi * 16 + lo);
      if (byte == '\0') return false;
      path.push_back(byte);
      i += 2;
    } else {
      path.push_back(c);
    }
  }
  if (!IsValidUtf8(path)) return false;
  if (outUtf8Path) *outUtf8Path = std::move(path);
  return true;
}

void ResetDragModel() { Handlers().clear(); }

}  // namespace toolbox
