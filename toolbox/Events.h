#pragma once
// The toolbox's event model: events with a class, a kind and typed parameters; event
// targets (the application, each window, each control) with handler chains; an event queue
// pumped like ReceiveNextEvent; the application event loop and application-modal loops for
// a window; event-loop timers; and high-level ("Apple") events such as open-documents.
//
// Dispatching an event to a target runs the target's handlers that asked for the event's
// type, newest first. A handler that returns kEventNotHandledErr (-9874) lets the event go
// on: to the next handler, then to the target's standard handling, then to the parent
// target (control -> its parent control or window -> the application). A handler may call
// CallNextEventHandler to run the rest of that path itself. Handlers removed while an event
// is being dispatched (even during their own call) are skipped from then on.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "toolbox/Types.h"

namespace toolbox {

// Event classes and kinds.
inline constexpr OSType kEventClassCommand = FourCC("cmds");
inline constexpr OSType kEventClassControl = FourCC("cntl");
inline constexpr OSType kEventClassWindow = FourCC("wind");
inline constexpr OSType kEventClassKeyboard = FourCC("keyb");
inline constexpr OSType kEventClassMouse = FourCC("mous");
inline constexpr OSType kEventClassApplication = FourCC("appl");
inline constexpr OSType kEventClassTextInput = FourCC("text");
inline constexpr OSType kEventClassFont = FourCC("font");
inline constexpr OSType kEventClassAppleEvent = FourCC("eppc");

inline constexpr std::uint32_t kEventCommandProcess = 1;
inline constexpr std::uint32_t kEventControlHit = 1;
inline constexpr std::uint32_t kEventTextInputUnicode = 1;
inline constexpr std::uint32_t kEventWindowDrawContent = 2;
inline constexpr std::uint32_t kEventWindowActivated = 5;
inline constexpr std::uint32_t kEventWindowBoundsChanging = 26;
inline constexpr std::uint32_t kEventWindowBoundsChanged = 27;
inline constexpr std::uint32_t kEventWindowClose = 72;
inline constexpr std::uint32_t kEventWindowInit = 1004;
inline constexpr std::uint32_t kEventRawKeyDown = 1;
inline constexpr std::uint32_t kEventRawKeyUp = 3;
inline constexpr std::uint32_t kEventHotKeyPressed = 5;
inline constexpr std::uint32_t kEventMouseDown = 1;
inline constexpr std::uint32_t kEventMouseUp = 2;
inline constexpr std::uint32_t kEventMouseMoved = 5;
inline constexpr std::uint32_t kEventAppQuit = 3;
inline constexpr std::uint32_t kEventFontPanelClosed = 1;
inline constexpr std::uint32_t kEventFontSelection = 2;
inline constexpr std::uint32_t kEventAppleEvent = 1;

// Parameter names and types.
inline constexpr OSType kEventParamDirectObject = FourCC("----");
inline constexpr OSType kEventParamMouseLocation = FourCC("mloc");
inline constexpr OSType kEventParamKeyModifiers = FourCC("kmod");
inline constexpr OSType kEventParamMouseButton = FourCC("mbtn");
inline constexpr OSType kEventParamCurrentBounds = FourCC("crct");
inline constexpr OSType kEventParamPreviousBounds = FourCC("orct");
inline constexpr OSType kEventParamKeyCode = FourCC("kcod");
inline constexpr OSType kEventParamText = FourCC("tstr");

inline constexpr OSType kTypeHICommand = FourCC("hcmd");
inline constexpr OSType kTypeControlRef = FourCC("ctrl");
inline constexpr OSType kTypeWindowRef = FourCC("wind");
inline constexpr OSType kTypeQDPoint = FourCC("QDpt");
inline constexpr OSType kTypeQDRectangle = FourCC("qdrt");
inline constexpr OSType kTypeUInt32 = FourCC("magn");
inline constexpr OSType kTypeMouseButton = FourCC("mbtn");
inline constexpr OSType kTypeHotKeyID = FourCC("hkid");
inline constexpr OSType kTypeAppleEvent = FourCC("aevt");
inline constexpr OSType kTypeUnicodeText = FourCC("utxt");

// Command attributes and the commands the toolbox itself knows.
inline constexpr std::uint32_t kHICommandFromMenu = 1;
inline constexpr std::uint32_t kHICommandFromControl = 2;
inline constexpr OSType kHICommandQuit = FourCC("quit");
inline constexpr std::uint32_t kControlKeyModifier = 0x1000;

struct HICommand {
  std::uint32_t attributes = 0;
  OSType commandID = 0;
  MenuRef menu;
  std::uint16_t menuItemIndex = 0;
};

struct HotKeyID {
  OSType signature = 0;
  std::uint32_t id = 0;
};

class AppleEvent;

using EventParamValue =
    std::variant<std::uint32_t, std::uint16_t, Point, Rect, HICommand, HotKeyID, WindowRef,
                 ControlRef, std::shared_ptr<const AppleEvent>, std::wstring>;

struct EventTypeSpec {
  OSType eventClass = 0;
  std::uint32_t eventKind = 0;
};

class EventTarget;
using EventTargetRef = std::shared_ptr<EventTarget>;

class Event {
 public:
  Event(OSType eventClass, std::uint32_t eventKind);
  OSType Class() const { return class_; }
  std::uint32_t Kind() const { return kind_; }
  double Time() const { return time_; }

  void SetParameter(OSType name, OSType type, EventParamValue value);
  bool HasParameter(OSType name) const;

  // kNoErr and the value when the parameter exists with that type and value kind;
  // kEventParameterNotFoundErr otherwise.
  template <class T>
  OSStatus GetParameter(OSType name, OSType type, T* out) const {
    const Param* p = Find(name);
    if (!p || p->type != type) return kEventParameterNotFoundErr;
    const T* v = std::get_if<T>(&p->value);
    if (!v) return kEventParameterNotFoundErr;
    if (out) *out = *v;
    return kNoErr;
  }

  // Where a queued event goes: a given target, or the user focus at the time it is
  // dispatched. Without either it goes to the application.
  void SetTarget(const EventTargetRef& target) { target_ = target; }
  void SetToUserFocus(bool toFocus) { toUserFocus_ = toFocus; }
  EventTargetRef Target() const { return target_.lock(); }
  bool ToUserFocus() const { return toUserFocus_; }

 private:
  struct Param {
    OSType name;
    OSType type;
    EventParamValue value;
  };
  const Param* Find(OSType name) const;

  OSType class_;
  std::uint32_t kind_;
  double time_;
  std::vector<Param> params_;
  std::weak_ptr<EventTarget> target_;
  bool toUserFocus_ = false;
};

using EventRef = Event*;

// The state of one dispatch, handed to each handler so it can call the next one.
class EventHandlerCall;
using EventHandlerCallRef = EventHandlerCall*;

using EventHandlerProc = OSStatus (*)(EventHandlerCallRef next, EventRef event, void* userData);
using EventHandlerFunction = std::function<OSStatus(EventHandlerCallRef next, EventRef event)>;

class EventTarget : public std::enable_shared_from_this<EventTarget> {
 public:
  // The standard handling of a target runs after all its handlers declined.
  using StandardHandler = std::function<OSStatus(EventRef event)>;

  explicit EventTarget(std::string name);
  const std::string& Name() const { return name_; }
  void SetParent(const EventTargetRef& parent) { parent_ = parent; }
  EventTargetRef Parent() const { return parent_.lock(); }
  void SetStandardHandler(StandardHandler handler) { standard_ = std::move(handler); }
  // Removes every handler (when the target's object is disposed).
  void Clear();
  std::size_t HandlerCount() const;

 private:
  friend class EventHandlerCall;
  friend OSStatus InstallEventHandler(const EventTargetRef&, EventHandlerFunction,
                                      std::span<const EventTypeSpec>, EventHandlerRef*);
  friend OSStatus RemoveEventHandler(EventHandlerRef);
  struct Entry {
    EventHandlerRef ref;
    std::vector<EventTypeSpec> types;
    EventHandlerFunction function;
    bool removed = false;
  };
  std::string name_;
  std::weak_ptr<EventTarget> parent_;
  std::vector<std::shared_ptr<Entry>> entries_;  // newest first
  StandardHandler standard_;
};

OSStatus InstallEventHandler(const EventTargetRef& target, EventHandlerFunction function,
                             std::span<const EventTypeSpec> types, EventHandlerRef* outRef);
OSStatus InstallEventHandler(const EventTargetRef& target, EventHandlerProc proc,
                             std::span<const EventTypeSpec> types, void* userData,
                             EventHandlerRef* outRef);
// Removing an unknown or already removed handler gives kParamErr.
OSStatus RemoveEventHandler(EventHandlerRef ref);
OSStatus CallNextEventHandler(EventHandlerCallRef call, EventRef event);
OSStatus SendEventToEventTarget(EventRef event, const EventTargetRef& target);

EventTargetRef GetApplicationEventTarget();
// The active window's target when there is one, otherwise the application's.
EventTargetRef GetUserFocusEventTarget();

// The queue.
void PostEventToQueue(std::unique_ptr<Event> event);
std::size_t QueuedEventCount();
// Waits up to timeoutSeconds (negative: no limit) for an event, firing due timers while it
// waits. kNoErr with the event; kEventLoopTimedOutErr; kEventLoopQuitErr when input has
// ended for good (the display back end has nothing more to give).
OSStatus ReceiveNextEvent(double timeoutSeconds, std::unique_ptr<Event>* outEvent);
// Sends a received event to where it is addressed.
OSStatus DispatchQueuedEvent(EventRef event);
double CurrentEventTime();  // seconds on a steady clock

// Loops.
void RunApplicationEventLoop();
void QuitApplicationEventLoop();
bool ApplicationEventLoopRunning();
// Runs a loop until QuitAppModalLoopForWindow for that window, until the window is
// disposed, or until input ends. kInvalidWindowErr for a window that does not exist.
OSStatus RunAppModalLoopForWindow(WindowRef window);
// Ends the innermost running modal loop of that window and only that one. Asking twice is
// harmless. kWindowNotModalErr when no loop of that window runs.
OSStatus QuitAppModalLoopForWindow(WindowRef window);
int ModalLoopDepth();
// The window of the innermost running modal loop; null when none runs.
WindowRef ModalWindow();
// True once the back end reported that no further input will come.
bool InputEnded();

// Timers run inside ReceiveNextEvent and the loops, on the main thread.
using EventLoopTimerFunction = std::function<void(EventLoopTimerRef)>;
OSStatus InstallEventLoopTimer(double delaySeconds, double intervalSeconds,
                               EventLoopTimerFunction function, EventLoopTimerRef* outRef);
OSStatus RemoveEventLoopTimer(EventLoopTimerRef ref);
OSStatus SetEventLoopTimerNextFireTime(EventLoopTimerRef ref, double delaySeconds);

// Descriptors the loop watches besides its input (a network transfer's sockets): every wait
// of ReceiveNextEvent and the loops ends as soon as one is ready for what it was watched
// for, and its function then runs there, on the main thread, with what it is ready for (an
// error or hang-up counts as both). A wait of no time never blocks on them.
inline constexpr unsigned kDescriptorReadable = 1;
inline constexpr unsigned kDescriptorWritable = 2;
using EventLoopDescriptorFunction = std::function<void(int fd, unsigned ready)>;
OSStatus InstallEventLoopDescriptor(int fd, unsigned events, EventLoopDescriptorFunction function,
                                    EventLoopDescriptorRef* outRef);
OSStatus SetEventLoopDescriptorEvents(EventLoopDescriptorRef ref, unsigned events);
OSStatus RemoveEventLoopDescriptor(EventLoopDescriptorRef ref);
// For display back ends: the watched descriptors with what each is watched for (each wait
// of a back end includes them), and a wait of up to `seconds` (negative: no limit) on them
// alone, for a back end with no input of its own to wait on; true when one is ready.
struct WatchedDescriptor {
  int fd = -1;
  unsigned events = 0;  // kDescriptorReadable, kDescriptorWritable
};
std::vector<WatchedDescriptor> WatchedDescriptors();
// What poll() watches a descriptor for (its POLLIN and POLLOUT bits), given `events`.
short PollEvents(unsigned events);
bool WaitForWatchedDescriptors(double seconds);

// High-level events: an event class and id with a direct-object list of items. The only
// item type here is a file given by its path in UTF-8.
inline constexpr OSType kCoreEventClass = FourCC("aevt");
inline constexpr OSType kAEOpenDocuments = FourCC("odoc");
inline constexpr OSType kTypeFileURL = FourCC("furl");
inline constexpr OSType kTypeAEList = FourCC("list");

class AppleEvent {
 public:
  AppleEvent(OSType eventClass, OSType eventID) : class_(eventClass), id_(eventID) {}
  OSType Class() const { return class_; }
  OSType ID() const { return id_; }
  void SetFileList(std::vector<std::string> utf8Paths) {
    files_ = std::move(utf8Paths);
    hasList_ = true;
  }
  bool HasFileList() const { return hasList_; }
  const std::vector<std::string>& Files() const { return files_; }

 private:
  OSType class_;
  OSType id_;
  std::vector<std::string> files_;
  bool hasList_ = false;
};

using AEEventHandlerFunction = std::function<OSStatus(const AppleEvent& event)>;
OSStatus AEInstallEventHandler(OSType eventClass, OSType eventID, AEEventHandlerFunction handler);
OSStatus AERemoveEventHandler(OSType eventClass, OSType eventID);
// Hands the event to its installed handler; kEventNotHandledErr without one.
OSStatus AEProcessAppleEvent(const AppleEvent& event);
// Queues the event for the application, as the system delivers one.
void PostAppleEvent(std::shared_ptr<const AppleEvent> event);

// Item access of an event's direct-object list (items count from 1).
OSStatus AECountItems(const AppleEvent& event, long* count);
OSStatus AESizeOfNthItem(const AppleEvent& event, long index, OSType* type, std::size_t* size);
OSStatus AEGetNthFile(const AppleEvent& event, long index, std::string* utf8Path);

}  // namespace toolbox
