#include "toolbox/Events.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <limits>
#include <map>
#include <thread>

#include "toolbox/Display.h"
#include "toolbox/TestDriver.h"
#include "toolbox/Windows.h"

namespace toolbox {

std::string FourCCText(OSType code) {
  std::string s(4, '?');
  for (int i = 0; i < 4; ++i) {
    unsigned char c = static_cast<unsigned char>(code >> (24 - 8 * i));
    if (c >= 0x20 && c < 0x7F) s[static_cast<std::size_t>(i)] = static_cast<char>(c);
  }
  return s;
}

std::uint64_t NextHandleId() {
  static std::uint64_t next = 0;
  return ++next;
}

double CurrentEventTime() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// ---------------------------------------------------------------------------------------
// Events

Event::Event(OSType eventClass, std::uint32_t eventKind)
    : class_(eventClass), kind_(eventKind), time_(CurrentEventTime()) {}

void Event::SetParameter(OSType name, OSType type, EventParamValue value) {
  for (Param& p : params_) {
    if (p.name == name) {
      p.type = type;
      p.value = std::move(value);
      return;
    }
  }
  params_.push_back(Param{name, type, std::move(value)});
}

bool Event::HasParameter(OSType name) const { return Find(name) != nullptr; }

const Event::Param* Event::Find(OSType name) const {
  for (const Param& p : params_)
    if (p.name == name) return &p;
  return nullptr;
}

// ---------------------------------------------------------------------------------------
// Model state

namespace {

struct Timer {
  double fireAt = 0;
  double interval = 0;
  EventLoopTimerFunction function;
};

struct ModalFrame {
  WindowRef window;
  bool quit = false;
};

struct EventState {
  EventTargetRef application;
  std::deque<std::unique_ptr<Event>> queue;
  bool appLoopRunning = false;
  bool appLoopQuit = false;
  std::vector<std::shared_ptr<ModalFrame>> modal;
  bool inputEnded = false;
  std::map<std::uint64_t, Timer> timers;
  struct Descriptor {
    int fd;
    unsigned events;
    EventLoopDescriptorFunction function;
  };
  std::map<std::uint64_t, Descriptor> descriptors;
  std::map<std::uint64_t, std::weak_ptr<EventTarget>> handlers;  // handler id -> target
  std::map<std::pair<OSType, OSType>, AEEventHandlerFunction> appleHandlers;
};

OSStatus ApplicationStandardHandler(EventRef event);

EventState& State() {
  static EventState state;
  if (!state.application) {
    state.application = std::make_shared<EventTarget>("application");
    state.application->SetStandardHandler(ApplicationStandardHandler);
  }
  return state;
}

OSStatus ApplicationStandardHandler(EventRef event) {
  if (event->Class() == kEventClassApplication && event->Kind() == kEventAppQuit) {
    QuitApplicationEventLoop();
    return kNoErr;
  }
  if (event->Class() == kEventClassCommand && event->Kind() == kEventCommandProcess) {
    HICommand command;
    if (event->GetParameter(kEventParamDirectObject, kTypeHICommand, &command) == kNoErr &&
        command.commandID == kHICommandQuit) {
      Event quit(kEventClassApplication, kEventAppQuit);
      return SendEventToEventTarget(&quit, GetApplicationEventTarget());
    }
    return kEventNotHandledErr;
  }
  if (event->Class() == kEventClassAppleEvent && event->Kind() == kEventAppleEvent) {
    std::shared_ptr<const AppleEvent> apple;
    if (event->GetParameter(kEventParamDirectObject, kTypeAppleEvent, &apple) == kNoErr && apple)
      return AEProcessAppleEvent(*apple);
    return kEventNotHandledErr;
  }
  return kEventNotHandledErr;
}

bool Matches(const std::vector<EventTypeSpec>& types, const Event& event) {
  for (const EventTypeSpec& t : types)
    if (t.eventClass == event.Class() && t.eventKind == event.Kind()) return true;
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Targets and handlers

EventTarget::EventTarget(std::string name) : name_(std::move(name)) {}

void EventTarget::Clear() {
  EventState& st = State();
  for (auto& e : entries_) {
    e->removed = true;
    st.handlers.erase(e->ref.id);
  }
  entries_.clear();
  standard_ = nullptr;
}

std::size_t EventTarget::HandlerCount() const { return entries_.size(); }

class EventHandlerCall {
 public:
  EventHandlerCall(EventTargetRef target, Event& event) : target_(std::move(target)) {
    for (const auto& e : target_->entries_)
      if (Matches(e->types, event)) entries_.push_back(e);
    standard_ = target_->standard_;
  }

  OSStatus Run(EventRef event) {
    while (index_ < entries_.size()) {
      std::shared_ptr<EventTarget::Entry> entry = entries_[index_++];
      if (entry->removed) continue;
      EventHandlerFunction function = entry->function;  // survives the handler's removal
      OSStatus status = function(this, event);
      if (status != kEventNotHandledErr) return status;
    }
    if (!standardTried_) {
      standardTried_ = true;
      if (standard_) {
        OSStatus status = standard_(event);
        if (status != kEventNotHandledErr) return status;
      }
    }
    if (!propagated_) {
      propagated_ = true;
      if (EventTargetRef parent = target_->Parent()) return SendEventToEventTarget(event, parent);
    }
    return kEventNotHandledErr;
  }

 private:
  EventTargetRef target_;
  std::vector<std::shared_ptr<EventTarget::Entry>> entries_;
  EventTarget::StandardHandler standard_;
  std::size_t index_ = 0;
  bool standardTried_ = false;
  bool propagated_ = false;
};

OSStatus InstallEventHandler(const EventTargetRef& target, EventHandlerFunction function,
                             std::span<const EventTypeSpec> types, EventHandlerRef* outRef) {
  if (!target || !function) return kParamErr;
  auto entry = std::make_shared<EventTarget::Entry>();
  entry->ref.id = NextHandleId();
  entry->types.assign(types.begin(), types.end());
  entry->function = std::move(function);
  target->entries_.insert(target->entries_.begin(), entry);
  State().handlers[entry->ref.id] = target;
  if (outRef) *outRef = entry->ref;
  return kNoErr;
}

OSStatus InstallEventHandler(const EventTargetRef& target, EventHandlerProc proc,
                             std::span<const EventTypeSpec> types, void* userData,
                             EventHandlerRef* outRef) {
  if (!proc) return kParamErr;
  return InstallEventHandler(
      target,
      [proc, userData](EventHandlerCallRef next, EventRef event) { return proc(next, event, userData); },
      types, outRef);
}

OSStatus RemoveEventHandler(EventHandlerRef ref) {
  EventState& st = State();
  auto it = st.handlers.find(ref.id);
  if (it == st.handlers.end()) return kParamErr;
  EventTargetRef target = it->second.lock();
  st.handlers.erase(it);
  if (!target) return kParamErr;
  auto& entries = target->entries_;
  for (auto e = entries.begin(); e != entries.end(); ++e) {
    if ((*e)->ref == ref) {
      (*e)->removed = true;
      entries.erase(e);
      return kNoErr;
    }
  }
  return kParamErr;
}

OSStatus CallNextEventHandler(EventHandlerCallRef call, EventRef event) {
  if (!call || !event) return kParamErr;
  return call->Run(event);
}

OSStatus SendEventToEventTarget(EventRef event, const EventTargetRef& target) {
  if (!event || !target) return kParamErr;
  EventHandlerCall call(target, *event);
  return call.Run(event);
}

EventTargetRef GetApplicationEventTarget() { return State().application; }

EventTargetRef GetUserFocusEventTarget() {
  WindowRef front = FrontWindow();
  if (front) {
    if (EventTargetRef t = GetWindowEventTarget(front)) return t;
  }
  return GetApplicationEventTarget();
}

// ---------------------------------------------------------------------------------------
// Queue, timers, loops

void PostEventToQueue(std::unique_ptr<Event> event) {
  if (event) State().queue.push_back(std::move(event));
}

std::size_t QueuedEventCount() { return State().queue.size(); }

namespace {

void FireDueTimers() {
  EventState& st = State();
  double now = CurrentEventTime();
  std::vector<std::uint64_t> due;
  for (const auto& [id, timer] : st.timers)
    if (timer.fireAt <= now) due.push_back(id);
  for (std::uint64_t id : due) {
    auto it = st.timers.find(id);
    if (it == st.timers.end()) continue;  // removed by an earlier timer
    EventLoopTimerFunction function = it->second.function;
    if (it->second.interval > 0) {
      it->second.fireAt = now + it->second.interval;
    } else {
      it->second.fireAt = std::numeric_limits<double>::infinity();
    }
    if (function) function(EventLoopTimerRef{id});
  }
}

}  // namespace

short PollEvents(unsigned events) {
  return static_cast<short>(((events & kDescriptorReadable) ? POLLIN : 0) | ((events & kDescriptorWritable) ? POLLOUT : 0));
}

namespace {

// Runs the functions of the watched descriptors that are ready now; a function may remove
// or add descriptors (its own included).
void RunReadyDescriptors() {
  EventState& st = State();
  if (st.descriptors.empty()) return;
  std::vector<std::uint64_t> ids;
  std::vector<pollfd> fds;
  for (const auto& [id, d] : st.descriptors) {
    ids.push_back(id);
    fds.push_back(pollfd{d.fd, PollEvents(d.events), 0});
  }
  if (poll(fds.data(), fds.size(), 0) <= 0) return;
  for (size_t i = 0; i < fds.size(); ++i) {
    const short r = fds[i].revents;
    if (!r) continue;
    auto it = st.descriptors.find(ids[i]);
    if (it == st.descriptors.end()) continue;
    unsigned ready = ((r & POLLIN) ? kDescriptorReadable : 0) | ((r & POLLOUT) ? kDescriptorWritable : 0);
    if (r & (POLLERR | POLLHUP | POLLNVAL)) ready = kDescriptorReadable | kDescriptorWritable;
    EventLoopDescriptorFunction function = it->second.function;
    function(fds[i].fd, ready);
  }
}

double NextTimerTime() {
  double next = std::numeric_limits<double>::infinity();
  for (const auto& [id, timer] : State().timers) next = std::min(next, timer.fireAt);
  return next;
}

OSStatus NextEvent(double timeoutSeconds, const std::function<bool()>& stop,
                   std::unique_ptr<Event>* outEvent) {
  EventState& st = State();
  const double start = CurrentEventTime();
  const double deadline = timeoutSeconds < 0 ? std::numeric_limits<double>::infinity()
                                             : start + timeoutSeconds;
  bool polled = false;
  for (;;) {
    RunReadyDescriptors();
    FireDueTimers();
    if (stop && stop()) return kEventLoopQuitErr;
    if (!st.queue.empty()) {
      if (outEvent) *outEvent = std::move(st.queue.front());
      st.queue.pop_front();
      return kNoErr;
    }
    if (st.inputEnded) return kEventLoopQuitErr;
    double now = CurrentEventTime();
    DisplayBackend* backend = GetDisplayBackend();
    if (now >= deadline) {
      // Even a wait of no time lets the back end hand over the input that is ready, once.
      if (polled || !backend) return kEventLoopTimedOutErr;
      polled = true;
      if (!backend->WaitForInput(0)) st.inputEnded = true;
      continue;
    }
    double until = std::min(deadline, NextTimerTime());
    double wait = std::isinf(until) ? -1.0 : std::max(0.0, until - now);
    if (backend) {
      if (!backend->WaitForInput(wait)) st.inputEnded = true;
    } else if (wait < 0) {
      st.inputEnded = true;
    } else {
      WaitForWatchedDescriptors(std::min(wait, 1.0));
    }
  }
}

}  // namespace

OSStatus ReceiveNextEvent(double timeoutSeconds, std::unique_ptr<Event>* outEvent) {
  return NextEvent(timeoutSeconds, nullptr, outEvent);
}

OSStatus DispatchQueuedEvent(EventRef event) {
  if (!event) return kParamErr;
  EventTargetRef target = event->Target();
  if (!target) {
    target = event->ToUserFocus() ? GetUserFocusEventTarget() : GetApplicationEventTarget();
  }
  return SendEventToEventTarget(event, target);
}

void RunApplicationEventLoop() {
  EventState& st = State();
  if (st.appLoopRunning) return;
  st.appLoopRunning = true;
  st.appLoopQuit = false;
  while (!st.appLoopQuit) {
    std::unique_ptr<Event> event;
    OSStatus status = NextEvent(-1, [&st] { return st.appLoopQuit; }, &event);
    if (status == kNoErr) {
      DispatchQueuedEvent(event.get());
    } else if (st.inputEnded) {
      break;
    }
  }
  st.appLoopRunning = false;
  st.appLoopQuit = false;
}

void QuitApplicationEventLoop() {
  EventState& st = State();
  if (st.appLoopRunning) st.appLoopQuit = true;
}

bool ApplicationEventLoopRunning() { return State().appLoopRunning; }

OSStatus RunAppModalLoopForWindow(WindowRef window) {
  if (!IsValidWindowRef(window)) return kInvalidWindowErr;
  EventState& st = State();
  auto frame = std::make_shared<ModalFrame>();
  frame->window = window;
  st.modal.push_back(frame);
  auto stop = [&frame, window] { return frame->quit || !IsValidWindowRef(window); };
  while (!stop()) {
    std::unique_ptr<Event> event;
    OSStatus status = NextEvent(-1, stop, &event);
    if (status == kNoErr) {
      DispatchQueuedEvent(event.get());
    } else if (st.inputEnded) {
      break;
    }
  }
  auto& modal = State().modal;
  modal.erase(std::remove(modal.begin(), modal.end(), frame), modal.end());
  return kNoErr;
}

OSStatus QuitAppModalLoopForWindow(WindowRef window) {
  auto& modal = State().modal;
  for (auto it = modal.rbegin(); it != modal.rend(); ++it) {
    if ((*it)->window == window) {
      (*it)->quit = true;
      return kNoErr;
    }
  }
  return kWindowNotModalErr;
}

int ModalLoopDepth() { return static_cast<int>(State().modal.size()); }

WindowRef ModalWindow() {
  const auto& modal = State().modal;
  return modal.empty() ? WindowRef{} : modal.back()->window;
}

bool InputEnded() { return State().inputEnded; }

OSStatus InstallEventLoopTimer(double delaySeconds, double intervalSeconds,
                               EventLoopTimerFunction function, EventLoopTimerRef* outRef) {
  if (!function || delaySeconds < 0 || intervalSeconds < 0) return kParamErr;
  std::uint64_t id = NextHandleId();
  State().timers[id] = Timer{CurrentEventTime() + delaySeconds, intervalSeconds, std::move(function)};
  if (outRef) *outRef = EventLoopTimerRef{id};
  return kNoErr;
}

OSStatus RemoveEventLoopTimer(EventLoopTimerRef ref) {
  return State().timers.erase(ref.id) ? kNoErr : kParamErr;
}

OSStatus SetEventLoopTimerNextFireTime(EventLoopTimerRef ref, double delaySeconds) {
  auto it = State().timers.find(ref.id);
  if (it == State().timers.end() || delaySeconds < 0) return kParamErr;
  it->second.fireAt = CurrentEventTime() + delaySeconds;
  return kNoErr;
}

OSStatus InstallEventLoopDescriptor(int fd, unsigned events, EventLoopDescriptorFunction function,
                                    EventLoopDescriptorRef* outRef) {
  if (fd < 0 || !function) return kParamErr;
  const std::uint64_t id = NextHandleId();
  State().descriptors[id] = EventState::Descriptor{fd, events, std::move(function)};
  if (outRef) *outRef = EventLoopDescriptorRef{id};
  return kNoErr;
}

OSStatus SetEventLoopDescriptorEvents(EventLoopDescriptorRef ref, unsigned events) {
  auto it = State().descriptors.find(ref.id);
  if (it == State().descriptors.end()) return kParamErr;
  it->second.events = events;
  return kNoErr;
}

OSStatus RemoveEventLoopDescriptor(EventLoopDescriptorRef ref) {
  return State().descriptors.erase(ref.id) ? kNoErr : kParamErr;
}

std::vector<WatchedDescriptor> WatchedDescriptors() {
  std::vector<WatchedDescriptor> watched;
  for (const auto& [id, d] : State().descriptors) watched.push_back(WatchedDescriptor{d.fd, d.events});
  return watched;
}

bool WaitForWatchedDescriptors(double seconds) {
  std::vector<pollfd> fds;
  for (const auto& [id, d] : State().descriptors) fds.push_back(pollfd{d.fd, PollEvents(d.events), 0});
  const int timeout = seconds < 0 ? -1 : static_cast<int>(std::min(std::ceil(seconds * 1000), 1e6));
  if (fds.empty()) {
    if (timeout > 0) std::this_thread::sleep_for(std::chrono::milliseconds(timeout));
    return false;
  }
  return poll(fds.data(), fds.size(), timeout) > 0;
}

// ---------------------------------------------------------------------------------------
// High-level events

OSStatus AEInstallEventHandler(OSType eventClass, OSType eventID, AEEventHandlerFunction handler) {
  if (!handler) return kParamErr;
  State().appleHandlers[{eventClass, eventID}] = std::move(handler);
  return kNoErr;
}

OSStatus AERemoveEventHandler(OSType eventClass, OSType eventID) {
  return State().appleHandlers.erase({eventClass, eventID}) ? kNoErr : kParamErr;
}

OSStatus AEProcessAppleEvent(const AppleEvent& event) {
  auto& handlers = State().appleHandlers;
  auto it = handlers.find({event.Class(), event.ID()});
  if (it == handlers.end()) return kEventNotHandledErr;
  AEEventHandlerFunction handler = it->second;
  return handler(event);
}

void PostAppleEvent(std::shared_ptr<const AppleEvent> event) {
  auto e = std::make_unique<Event>(kEventClassAppleEvent, kEventAppleEvent);
  e->SetParameter(kEventParamDirectObject, kTypeAppleEvent, std::move(event));
  PostEventToQueue(std::move(e));
}

OSStatus AECountItems(const AppleEvent& event, long* count) {
  if (!event.HasFileList()) return kEventParameterNotFoundErr;
  if (count) *count = static_cast<long>(event.Files().size());
  return kNoErr;
}

OSStatus AESizeOfNthItem(const AppleEvent& event, long index, OSType* type, std::size_t* size) {
  if (!event.HasFileList()) return kEventParameterNotFoundErr;
  if (index < 1 || static_cast<std::size_t>(index) > event.Files().size()) return kParamErr;
  if (type) *type = kTypeFileURL;
  if (size) *size = event.Files()[static_cast<std::size_t>(index - 1)].size();
  return kNoErr;
}

OSStatus AEGetNthFile(const AppleEvent& event, long index, std::string* utf8Path) {
  if (!event.HasFileList()) return kEventParameterNotFoundErr;
  if (index < 1 || static_cast<std::size_t>(index) > event.Files().size()) return kParamErr;
  if (utf8Path) *utf8Path = event.Files()[static_cast<std::size_t>(index - 1)];
  return kNoErr;
}

void ResetEventModel() {
  EventState& st = State();
  if (st.application) st.application->Clear();
  st.application = std::make_shared<EventTarget>("application");
  st.application->SetStandardHandler(ApplicationStandardHandler);
  st.queue.clear();
  st.appLoopRunning = false;
  st.appLoopQuit = false;
  st.modal.clear();
  st.inputEnded = false;
  st.timers.clear();
  st.descriptors.clear();
  st.handlers.clear();
  st.appleHandlers.clear();
}

}  // namespace toolbox
