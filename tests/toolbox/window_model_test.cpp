#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "toolbox/Alerts.h"
#include "toolbox/Controls.h"
#include "toolbox/DragDrop.h"
#include "toolbox/Events.h"
#include "toolbox/TestDriver.h"
#include "toolbox/Windows.h"

using namespace toolbox;

namespace {

WindowRef NewWindow(std::uint32_t attributes = kWindowStandardHandlerAttribute,
                    WindowClass c = kDocumentWindowClass) {
  WindowRef w;
  EXPECT_EQ(CreateNewWindow(c, attributes, Rect{10, 20, 110, 220}, &w), kNoErr);
  return w;
}

TEST(WindowModel, DisposedHandlesFailAndAreNeverReused) {
  TestDriver driver;
  WindowRef w = NewWindow();
  ControlRef c;
  ASSERT_EQ(CreateControl(w, kControlKindPushButton, Rect{0, 0, 20, 80}, L"OK", &c), kNoErr);
  ASSERT_EQ(DisposeWindow(w), kNoErr);
  EXPECT_FALSE(IsValidWindowRef(w));
  EXPECT_FALSE(IsValidControlRef(c));
  EXPECT_EQ(ShowWindow(w), kInvalidWindowErr);
  EXPECT_EQ(DisposeWindow(w), kInvalidWindowErr);
  EXPECT_EQ(SetControlValue(c, 1), kInvalidControlErr);
  EXPECT_EQ(HitControl(c), kInvalidControlErr);
  WindowRef w2 = NewWindow();
  ControlRef c2;
  CreateControl(w2, kControlKindPushButton, Rect{0, 0, 20, 80}, L"OK", &c2);
  EXPECT_NE(w2, w);
  EXPECT_NE(c2, c);
}

TEST(WindowModel, PropertiesByCreatorAndTag) {
  TestDriver driver;
  WindowRef w = NewWindow();
  const std::uint64_t value = 0x1122334455667788u;
  EXPECT_EQ(SetWindowProperty(w, FourCC("QZon"), FourCC("DlgV"), &value, sizeof value), kNoErr);
  std::uint64_t out = 0;
  EXPECT_EQ(GetWindowProperty(w, FourCC("QZon"), FourCC("DlgV"), &out, sizeof out), kNoErr);
  EXPECT_EQ(out, value);
  std::uint32_t small = 0;
  EXPECT_EQ(GetWindowProperty(w, FourCC("QZon"), FourCC("DlgV"), &small, sizeof small), kParamErr);
  EXPECT_EQ(GetWindowProperty(w, FourCC("QZon"), FourCC("othr"), &out, sizeof out), kNotFoundErr);
  EXPECT_EQ(RemoveWindowProperty(w, FourCC("QZon"), FourCC("DlgV")), kNoErr);
  EXPECT_EQ(GetWindowProperty(w, FourCC("QZon"), FourCC("DlgV"), &out, sizeof out), kNotFoundErr);
}

// The standard handler disposes of a window whose close nobody handled, and tells the
// window's observer; without the standard-handler or the close-box attribute the window stays.
TEST(WindowModel, StandardCloseHandlingDisposesAndTellsTheObserver) {
  TestDriver driver;
  WindowRef w = NewWindow(kWindowStandardHandlerAttribute | kWindowCloseBoxAttribute);
  int told = 0;
  SetWindowDisposeObserver(w, [&](WindowRef gone) {
    EXPECT_EQ(gone, w);
    EXPECT_FALSE(IsValidWindowRef(gone));
    ++told;
  });
  EXPECT_EQ(SendWindowCloseEvent(w), kNoErr);
  EXPECT_FALSE(IsValidWindowRef(w));
  EXPECT_EQ(told, 1);

  WindowRef plain = NewWindow(0);
  EXPECT_EQ(SendWindowCloseEvent(plain), kEventNotHandledErr);
  EXPECT_TRUE(IsValidWindowRef(plain));
  WindowRef noCloseBox = NewWindow();
  EXPECT_EQ(SendWindowCloseEvent(noCloseBox), kEventNotHandledErr);
  EXPECT_TRUE(IsValidWindowRef(noCloseBox));
}

// A close asked from outside (a window manager) answers an alert as its cancel button does,
// or its only button; a window with a close box closes; a window behind a modal one stays.
TEST(WindowModel, RequestedCloseAnswersAsTheUserCould) {
  TestDriver driver;
  struct Row {
    const char* name;
    std::optional<std::wstring> cancel, other;
    OSType pressed;
  };
  const Row rows[] = {
      {"OK and Cancel", L"Cancel", std::nullopt, kHICommandCancel},
      {"OK, Cancel and another", L"Cancel", L"Don't Save", kHICommandCancel},
      {"OK alone", std::nullopt, std::nullopt, kHICommandOK},
      {"OK and another", std::nullopt, L"Don't Save", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    AlertStdParams params;
    GetStandardAlertDefaultParams(&params, 1);
    params.cancelText = row.cancel;
    params.otherText = row.other;
    if (row.cancel) params.cancelButton = kAlertStdAlertCancelButton;
    WindowRef alert;
    ASSERT_EQ(CreateStandardAlert(kAlertNoteAlert, L"Question", L"Save?", &params, &alert), kNoErr);
    ShowWindow(alert);
    OSType pressed = 0;
    static const EventTypeSpec hits[] = {{kEventClassControl, kEventControlHit}};
    InstallEventHandler(GetWindowEventTarget(alert), [&](EventHandlerCallRef, EventRef event) -> OSStatus {
      ControlRef control;
      event->GetParameter(kEventParamDirectObject, kTypeControlRef, &control);
      GetControlCommandID(control, &pressed);
      return kNoErr;
    }, hits, nullptr);
    RequestWindowClose(alert);
    EXPECT_EQ(FourCCText(pressed), FourCCText(row.pressed));
    EXPECT_TRUE(IsValidWindowRef(alert));  // the alert's own answer disposes of it
    DisposeWindow(alert);
  }
  WindowRef closable = NewWindow(kWindowStandardHandlerAttribute | kWindowCloseBoxAttribute);
  ShowWindow(closable);
  WindowRef modal = NewWindow(kWindowStandardHandlerAttribute, kMovableModalWindowClass);
  ShowWindow(modal);
  bool asked = false;
  InstallEventLoopTimer(0, 0, [&](EventLoopTimerRef) {
    asked = true;
    EXPECT_EQ(RequestWindowClose(closable), kNoErr);
    EXPECT_TRUE(IsValidWindowRef(closable)) << "closed behind a modal window";
    QuitAppModalLoopForWindow(modal);
  }, nullptr);
  RunAppModalLoopForWindow(modal);
  EXPECT_TRUE(asked);
  RequestWindowClose(closable);
  EXPECT_FALSE(IsValidWindowRef(closable));
}

TEST(WindowModel, BoundsChangesSendChangingThenChanged) {
  TestDriver driver;
  WindowRef w = NewWindow();
  std::vector<std::pair<std::uint32_t, Rect>> seen;
  const EventTypeSpec types[] = {{kEventClassWindow, kEventWindowBoundsChanging},
                                 {kEventClassWindow, kEventWindowBoundsChanged}};
  InstallEventHandler(GetWindowEventTarget(w), [&](EventHandlerCallRef, EventRef e) {
    Rect r;
    e->GetParameter(kEventParamCurrentBounds, kTypeQDRectangle, &r);
    seen.push_back({e->Kind(), r});
    return kEventNotHandledErr;
  }, types, nullptr);
  ASSERT_EQ(MoveWindow(w, 50, 60), kNoErr);
  Rect moved{60, 50, 160, 250};
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].first, kEventWindowBoundsChanging);
  EXPECT_EQ(seen[1].first, kEventWindowBoundsChanged);
  EXPECT_EQ(seen[1].second, moved);
  Rect r;
  GetWindowBounds(w, &r);
  EXPECT_EQ(r, moved);
  SizeWindow(w, 300, 40);
  GetWindowBounds(w, &r);
  EXPECT_EQ(r.Width(), 300);
  EXPECT_EQ(r.Height(), 40);
  CenterWindowOnScreen(w);
  GetWindowBounds(w, &r);
  EXPECT_EQ(r.left, (1024 - 300) / 2);
}

TEST(WindowModel, FrontWindowSheetsAndVisibility) {
  TestDriver driver;
  WindowRef a = NewWindow(), b = NewWindow();
  EXPECT_FALSE(FrontWindow());
  ShowWindow(a);
  ShowWindow(b);
  EXPECT_EQ(FrontWindow(), b);
  SelectWindow(a);
  EXPECT_EQ(FrontWindow(), a);
  EXPECT_TRUE(IsWindowActive(a));
  EXPECT_FALSE(IsWindowActive(b));
  HideWindow(a);
  EXPECT_EQ(FrontWindow(), b);

  WindowRef sheet = NewWindow(0, kSheetWindowClass);
  EXPECT_EQ(ShowSheetWindow(a, b), kParamErr);  // not a sheet
  EXPECT_EQ(ShowSheetWindow(sheet, b), kNoErr);
  EXPECT_EQ(GetSheetParent(sheet), b);
  EXPECT_TRUE(IsWindowVisible(sheet));
  DisposeWindow(b);
  EXPECT_FALSE(IsWindowVisible(sheet));
  EXPECT_FALSE(GetSheetParent(sheet));
}

TEST(WindowModel, ControlIdsValuesAndEmbedding) {
  TestDriver driver;
  WindowRef w = NewWindow();
  ControlRef pane, button;
  CreateControl(w, kControlKindUserPane, Rect{0, 0, 100, 100}, L"", &pane);
  CreateControl(w, kControlKindCheckBox, Rect{5, 5, 20, 80}, L"Box", &button);
  SetControlID(pane, ControlID{0, 7});
  SetControlID(button, ControlID{FourCC("mBat"), 3});
  ControlRef found;
  EXPECT_EQ(GetControlByID(w, ControlID{FourCC("mBat"), 3}, &found), kNoErr);
  EXPECT_EQ(found, button);
  EXPECT_EQ(GetControlByID(w, ControlID{FourCC("mBat"), 4}, &found), kInvalidControlErr);
  EXPECT_EQ(EmbedControl(button, pane), kNoErr);
  EXPECT_EQ(EmbedControl(pane, button), kParamErr);  // no cycles
  EXPECT_EQ(GetSuperControl(button), pane);

  EXPECT_EQ(GetControlValue(button), 0);
  SetControlValue(button, 1);
  EXPECT_EQ(GetControlValue(button), 1);
  SetControlValue(button, 5);
  EXPECT_EQ(GetControlValue(button), 1);  // clamped to the maximum
  SetControlMaximum(button, 10);
  SetControlValue(button, 5);
  EXPECT_EQ(GetControlValue(button), 5);

  // Disposing of the pane disposes of what is embedded in it.
  DisposeControl(pane);
  EXPECT_FALSE(IsValidControlRef(button));
  EXPECT_TRUE(GetWindowControls(w).empty());
}

// A click that no handler takes sends the control's command to the user focus.
TEST(WindowModel, UnhandledControlHitSendsItsCommand) {
  TestDriver driver;
  WindowRef w = NewWindow();
  ShowWindow(w);
  ControlRef c;
  CreateControl(w, kControlKindPushButton, Rect{0, 0, 20, 80}, L"Go", &c);
  SetControlCommandID(c, FourCC("bExp"));
  std::vector<std::string> seen;
  const EventTypeSpec types[] = {{kEventClassControl, kEventControlHit},
                                 {kEventClassCommand, kEventCommandProcess}};
  InstallEventHandler(GetWindowEventTarget(w), [&](EventHandlerCallRef, EventRef e) {
    if (e->Class() == kEventClassControl) {
      ControlRef hit;
      e->GetParameter(kEventParamDirectObject, kTypeControlRef, &hit);
      EXPECT_EQ(hit, c);
      seen.push_back("hit");
    } else {
      HICommand hc;
      e->GetParameter(kEventParamDirectObject, kTypeHICommand, &hc);
      EXPECT_EQ(hc.attributes, kHICommandFromControl);
      seen.push_back("command " + FourCCText(hc.commandID));
    }
    return e->Class() == kEventClassControl ? kEventNotHandledErr : kNoErr;
  }, types, nullptr);
  EXPECT_EQ(HitControl(c), kNoErr);
  EXPECT_EQ(seen, (std::vector<std::string>{"hit", "command bExp"}));
}

TEST(WindowModel, DropsReachTrackingThenReceiveHandlers) {
  TestDriver driver;
  WindowRef w = NewWindow();
  static std::vector<int> messages;
  static int received;
  messages.clear();
  received = 0;
  auto track = [](DragTrackingMessage m, WindowRef, void*, DragRef) -> OSStatus {
    messages.push_back(m);
    return kNoErr;
  };
  auto receive = [](WindowRef, void* ref, DragRef drag) -> OSStatus {
    std::uint16_t n = 0;
    CountDragItems(drag, &n);
    received = n + *static_cast<int*>(ref);
    return kNoErr;
  };
  int extra = 100;
  EXPECT_EQ(TestDriver::DropFiles(w, {"file:///a"}, Point{1, 2}), kNotFoundErr);
  EXPECT_EQ(InstallTrackingHandler(track, w, nullptr), kNoErr);
  EXPECT_EQ(InstallTrackingHandler(track, w, nullptr), kParamErr);
  EXPECT_EQ(InstallReceiveHandler(receive, w, &extra), kNoErr);
  EXPECT_EQ(TestDriver::DropFiles(w, {"file:///a", "file:///b"}, Point{1, 2}), kNoErr);
  EXPECT_EQ(messages, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(received, 102);
  EXPECT_EQ(RemoveReceiveHandler(receive, w), kNoErr);
  EXPECT_EQ(RemoveReceiveHandler(receive, w), kParamErr);
}

}  // namespace
