#include "toolbox/TestDriver.h"

#include <chrono>
#include <deque>
#include <thread>

#include "toolbox/Controls.h"
#include "toolbox/Events.h"
#include "toolbox/DisplayMirror.h"
#include "toolbox/Menus.h"
#include "toolbox/Navigation.h"

namespace toolbox {

class TestDriver::Backend : public DisplayBackend {
 public:
  std::string Name() const override { return "test driver"; }

  bool WaitForInput(double seconds) override {
    if (!steps.empty()) {
      std::function<void()> step = std::move(steps.front());
      steps.pop_front();  // before the step: it may wait for input itself
      idle = 0;
      step();
      return true;
    }
    // A loop that polls with a time limit would wait for ever once the script is used up:
    // after kMaxIdleSeconds without a step, input ends as for a wait without a limit.
    if (seconds < 0 || idle >= kMaxIdleSeconds) {
      dry = true;
      return false;
    }
    const double nap = std::min(seconds, 1.0);
    WaitForWatchedDescriptors(nap);
    idle += nap;
    return true;
  }
  void WindowShown(WindowRef w) override { log.push_back("shown " + DescribeWindow(w)); }
  void WindowHidden(WindowRef w) override { log.push_back("hidden " + DescribeWindow(w)); }
  void WindowDisposed(WindowRef) override { log.push_back("disposed"); }
  void MenuBarChanged() override { log.push_back("menu bar"); }

  std::deque<std::function<void()>> steps;
  std::vector<std::string> log;
  bool dry = false;
  double idle = 0;
  static constexpr double kMaxIdleSeconds = 10;
};

namespace {
void ResetAll() {
  ResetWindowModel();
  ResetMenuModel();
  ResetDragModel();
  ResetEventModel();
}
}  // namespace

TestDriver::TestDriver() {
  ResetAll();
  auto backend = std::make_unique<Backend>();
  backend_ = backend.get();
  SetDisplayBackend(std::move(backend));
}

TestDriver::~TestDriver() {
  SetDisplayBackend(nullptr);
  ResetAll();
}

void TestDriver::Then(std::function<void()> step) { backend_->steps.push_back(std::move(step)); }

void TestDriver::ThenChooseMenu(OSType command) {
  Then([command] { ChooseMenu(command); });
}

void TestDriver::ThenQuit() {
  Then([] { Quit(); });
}

void TestDriver::ThenClick(ControlID id, WindowRef window) {
  Then([id, window] {
    WindowRef w = window ? window : FrontWindow();
    ControlRef c;
    if (GetControlByID(w, id, &c) == kNoErr) Click(c);
  });
}

void TestDriver::ThenCloseFrontWindow() {
  Then([] { Close(FrontWindow()); });
}

void TestDriver::ThenChooseFiles(std::vector<std::string> utf8Paths, int filter) {
  Then([paths = std::move(utf8Paths), filter] {
    if (filter >= 0) NavDialogSelectPopup(FrontNavDialog(), filter);
    NavDialogAccept(FrontNavDialog(), paths);
  });
}

void TestDriver::ThenCancelFileDialog() {
  Then([] { NavDialogCancel(FrontNavDialog()); });
}

std::size_t TestDriver::PendingSteps() const { return backend_->steps.size(); }
bool TestDriver::RanDry() const { return backend_->dry; }
const std::vector<std::string>& TestDriver::Log() const { return backend_->log; }

OSStatus TestDriver::ChooseMenu(OSType command) { return ChooseMenuCommand(command); }

OSStatus TestDriver::SendCommand(OSType command, const EventTargetRef& target) {
  Event e(kEventClassCommand, kEventCommandProcess);
  HICommand hc;
  hc.commandID = command;
  e.SetParameter(kEventParamDirectObject, kTypeHICommand, hc);
  return SendEventToEventTarget(&e, target);
}

OSStatus TestDriver::Click(ControlRef control, std::uint32_t modifiers) {
  return HitControl(control, modifiers);
}

OSStatus TestDriver::Close(WindowRef window) { return SendWindowCloseEvent(window); }

OSStatus TestDriver::Quit() {
  OSStatus s = ChooseMenuCommand(kHICommandQuit);
  if (s != kNotFoundErr) return s;
  Event quit(kEventClassApplication, kEventAppQuit);
  return SendEventToEventTarget(&quit, GetApplicationEventTarget());
}

namespace {
OSStatus Mouse(WindowRef window, std::uint32_t kind, Point where, std::uint16_t button,
               std::uint32_t modifiers) {
  EventTargetRef target = GetWindowEventTarget(window);
  if (!target) return kInvalidWindowErr;
  SetMouseLocation(where);
  Event e(kEventClassMouse, kind);
  e.SetParameter(kEventParamMouseLocation, kTypeQDPoint, where);
  e.SetParameter(kEventParamKeyModifiers, kTypeUInt32, modifiers);
  if (button) e.SetParameter(kEventParamMouseButton, kTypeMouseButton, button);
  return SendEventToEventTarget(&e, target);
}
}  // namespace

OSStatus TestDriver::MouseDown(WindowRef window, Point where, std::uint16_t button,
                               std::uint32_t modifiers) {
  return Mouse(window, kEventMouseDown, where, button, modifiers);
}

OSStatus TestDriver::MouseUp(WindowRef window, Point where, std::uint16_t button,
                             std::uint32_t modifiers) {
  return Mouse(window, kEventMouseUp, where, button, modifiers);
}

OSStatus TestDriver::MouseMoved(WindowRef window, Point where, std::uint32_t modifiers) {
  return Mouse(window, kEventMouseMoved, where, 0, modifiers);
}

OSStatus TestDriver::Key(WindowRef window, bool down, std::uint32_t keyCode) {
  EventTargetRef target = GetWindowEventTarget(window);
  if (!target) return kInvalidWindowErr;
  Event e(kEventClassKeyboard, down ? kEventRawKeyDown : kEventRawKeyUp);
  e.SetParameter(kEventParamKeyCode, kTypeUInt32, keyCode);
  return SendEventToEventTarget(&e, target);
}

OSStatus TestDriver::DropFiles(WindowRef window, const std::vector<std::string>& uris, Point where) {
  return DropOnWindow(window, MakeFileDrag(uris, where));
}

void TestDriver::PostOpenDocuments(const std::vector<std::string>& utf8Paths) {
  auto event = std::make_shared<AppleEvent>(kCoreEventClass, kAEOpenDocuments);
  event->SetFileList(utf8Paths);
  PostAppleEvent(std::move(event));
}

}  // namespace toolbox
