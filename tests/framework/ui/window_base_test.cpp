#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/ui/NibRef.h"
#include "framework/ui/WindowBase.h"
#include "support/TestSupport.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Display.h"
#include "toolbox/TestDriver.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

// The window operations record what reaches them and answer with `result`.
class RecordingWindow : public WindowBase {
 public:
  bool result = true;
  bool preFilter = false;
  std::vector<std::string> calls;

  void Record(const std::string& s) { calls.push_back(s); }
  static std::string N(int v) { return std::to_string(v); }

  bool PreFilterEvent(EventRef*) override { return preFilter; }
  bool OnClose() override { Record("OnClose"); return result; }
  bool OnPaint() override { Record("OnPaint"); return result; }
  bool OnCommand(std::uint32_t c, EventRef*) override {
    Record("OnCommand " + FourCCText(c));
    return result;
  }
  bool OnSize(int w, int h) override { Record("OnSize " + N(w) + " " + N(h)); return result; }
  bool OnSizing(Rect* r) override {
    Record("OnSizing " + N(r->left) + " " + N(r->top) + " " + N(r->right) + " " + N(r->bottom));
    return result;
  }
  bool OnMove(int l, int t) override { Record("OnMove " + N(l) + " " + N(t)); return result; }
  bool OnLButtonDown(int x, int y, std::uint32_t m) override { return Mouse("OnLButtonDown", x, y, m); }
  bool OnLButtonUp(int x, int y, std::uint32_t m) override { return Mouse("OnLButtonUp", x, y, m); }
  bool OnRButtonDown(int x, int y, std::uint32_t m) override { return Mouse("OnRButtonDown", x, y, m); }
  bool OnRButtonUp(int x, int y, std::uint32_t m) override { return Mouse("OnRButtonUp", x, y, m); }
  bool OnMouseMove(int x, int y, std::uint32_t m) override { return Mouse("OnMouseMove", x, y, m); }
  bool OnKeyDown(EventRef*) override { Record("OnKeyDown"); return result; }
  bool OnKeyUp(EventRef*) override { Record("OnKeyUp"); return result; }
  bool OnOtherEvent(OSType c, std::uint32_t k, EventRef*) override {
    Record("OnOtherEvent " + FourCCText(c) + " " + N(static_cast<int>(k)));
    return result;
  }
  bool OnControlChanged(ControlRef hit, ControlRef previous) override {
    ControlID a, b;
    GetControlID(hit, &a);
    std::string prev = "none";
    if (GetControlID(previous, &b) == kNoErr) prev = FourCCText(b.signature);
    Record("OnControlChanged " + FourCCText(a.signature) + " " + prev);
    return result;
  }
  void OnDropFile(const PathString& path, Point* where) override {
    Record("OnDropFile " + WideToUtf8(path) + " " + N(where->h) + " " + N(where->v));
  }
  bool OnDragEnter(DragRef) override { Record("OnDragEnter"); return false; }
  bool OnDragWithin(DragRef) override { Record("OnDragWithin"); return false; }

 private:
  bool Mouse(const char* name, int x, int y, std::uint32_t m) {
    Record(std::string(name) + " " + N(x) + " " + N(y) + " " + N(static_cast<int>(m)));
    return result;
  }
};

namespace {

ControlRef AddButton(WindowBase& w, const char (&signature)[5], std::int32_t id) {
  ControlRef c;
  CreateControl(w.GetWindow(), kControlKindPushButton, Rect{0, 0, 20, 80}, L"b", &c);
  SetControlID(c, ControlID{FourCC(signature), id});
  SetControlCommandID(c, FourCC(signature));
  return c;
}

struct DispatchCase {
  const char* name;
  std::function<Event(ControlRef button)> make;
  std::vector<std::string> expected;  // the calls when the operation handles the event
  OSStatus handledStatus;
};

Event Make(OSType c, std::uint32_t k) { return Event(c, k); }

Event Mouse(std::uint32_t kind, int button, std::uint32_t mods, bool params = true) {
  Event e(kEventClassMouse, kind);
  if (params) {
    e.SetParameter(kEventParamMouseLocation, kTypeQDPoint, Point{20, 10});
    e.SetParameter(kEventParamKeyModifiers, kTypeUInt32, mods);
    e.SetParameter(kEventParamMouseButton, kTypeMouseButton, static_cast<std::uint16_t>(button));
  }
  return e;
}

Event Bounds(std::uint32_t kind, Rect previous, Rect current) {
  Event e(kEventClassWindow, kind);
  e.SetParameter(kEventParamPreviousBounds, kTypeQDRectangle, previous);
  e.SetParameter(kEventParamCurrentBounds, kTypeQDRectangle, current);
  return e;
}

// Every event the dispatcher maps reaches its operation with the right arguments, and the
// operation's answer becomes the status the event system expects.
TEST(WindowDispatch, EveryMappedEventReachesItsOperation) {
  const DispatchCase cases[] = {
      {"command", [](ControlRef) {
         Event e(kEventClassCommand, kEventCommandProcess);
         HICommand hc;
         hc.commandID = FourCC("save");
         e.SetParameter(kEventParamDirectObject, kTypeHICommand, hc);
         return e;
       }, {"OnCommand save"}, kCommandHandledStatus},
      {"other command kind", [](ControlRef) { return Make(kEventClassCommand, 2); }, {}, kEventNotHandledErr},
      {"control hit", [](ControlRef b) {
         Event e(kEventClassControl, kEventControlHit);
         e.SetParameter(kEventParamDirectObject, kTypeControlRef, b);
         return e;
       }, {"OnCommand bAdd", "OnControlChanged bAdd none"}, kNoErr},
      {"other control kind", [](ControlRef) { return Make(kEventClassControl, 2); }, {}, kEventNotHandledErr},
      {"font", [](ControlRef) { return Make(kEventClassFont, 1); }, {}, kEventNotHandledErr},
      {"key down", [](ControlRef) { return Make(kEventClassKeyboard, 1); }, {"OnKeyDown"}, kNoErr},
      {"key up", [](ControlRef) { return Make(kEventClassKeyboard, 3); }, {"OnKeyUp"}, kNoErr},
      {"other key", [](ControlRef) { return Make(kEventClassKeyboard, 2); }, {}, kEventNotHandledErr},
      {"left down", [](ControlRef) { return Mouse(1, 1, 0x200); }, {"OnLButtonDown 10 20 512"}, kNoErr},
      {"right down", [](ControlRef) { return Mouse(1, 2, 0); }, {"OnRButtonDown 10 20 0"}, kNoErr},
      {"control-click", [](ControlRef) { return Mouse(1, 1, 0x1000); }, {"OnRButtonDown 10 20 4096"}, kNoErr},
      {"third button", [](ControlRef) { return Mouse(1, 3, 0); }, {}, kEventNotHandledErr},
      {"no mouse parameters", [](ControlRef) { return Mouse(1, 0, 0, false); }, {"OnLButtonDown 0 0 0"}, kNoErr},
      {"left up", [](ControlRef) { return Mouse(2, 1, 0); }, {"OnLButtonUp 10 20 0"}, kNoErr},
      {"right up", [](ControlRef) { return Mouse(2, 2, 0); }, {"OnRButtonUp 10 20 0"}, kNoErr},
      {"moved", [](ControlRef) { return Mouse(5, 1, 3); }, {"OnMouseMove 10 20 3"}, kNoErr},
      {"other mouse", [](ControlRef) { return Mouse(6, 1, 0); }, {}, kEventNotHandledErr},
      {"draw", [](ControlRef) { return Make(kEventClassWindow, 2); }, {"OnPaint"}, kNoErr},
      {"sizing", [](ControlRef) { return Bounds(26, Rect{0, 0, 10, 10}, Rect{1, 2, 30, 40}); },
       {"OnSizing 2 1 40 30"}, kNoErr},
      {"moved only", [](ControlRef) { return Bounds(27, Rect{0, 0, 10, 10}, Rect{5, 6, 15, 16}); },
       {"OnMove 6 5"}, kNoErr},
      {"top-left drag", [](ControlRef) { return Bounds(27, Rect{10, 10, 50, 50}, Rect{5, 5, 50, 50}); },
       {"OnSize 45 45"}, kNoErr},
      {"close", [](ControlRef) { return Make(kEventClassWindow, 72); }, {"OnClose"}, kNoErr},
      {"activated", [](ControlRef) { return Make(kEventClassWindow, 5); }, {}, kEventNotHandledErr},
      {"text input", [](ControlRef) { return Make(kEventClassTextInput, 1); }, {"OnOtherEvent text 1"}, kNoErr},
  };
  TestDriver driver;
  for (bool handles : {true, false}) {
    for (const DispatchCase& c : cases) {
      RecordingWindow w;
      ASSERT_TRUE(w.CreateWindow(0, 0, 100, 100, 0, WindowRef{}));
      ControlRef button = AddButton(w, "bAdd", 0);
      w.result = handles;
      Event e = c.make(button);
      OSStatus status = DispatchWindowEvent(nullptr, &e, &w);
      EXPECT_EQ(w.calls, c.expected) << c.name;
      OSStatus expected = handles ? c.handledStatus : kEventNotHandledErr;
      EXPECT_EQ(status, expected) << c.name << (handles ? " handled" : " declined");
    }
  }
}

TEST(WindowDispatch, PreFilterAndMissingUserData) {
  TestDriver driver;
  RecordingWindow w;
  w.CreateWindow(0, 0, 100, 100, 0, WindowRef{});
  Event e(kEventClassWindow, kEventWindowDrawContent);
  EXPECT_EQ(DispatchWindowEvent(nullptr, &e, nullptr), kEventNotHandledErr);
  w.preFilter = true;
  EXPECT_EQ(DispatchWindowEvent(nullptr, &e, &w), kNoErr);
  EXPECT_TRUE(w.calls.empty());
}

TEST(WindowDispatch, UnhandledShowFontsCommandTogglesTheFontPanel) {
  TestDriver driver;
  RecordingWindow w;
  w.CreateWindow(0, 0, 100, 100, 0, WindowRef{});
  w.result = false;
  const bool before = IsFontPanelVisible();
  Event e(kEventClassCommand, kEventCommandProcess);
  HICommand hc;
  hc.commandID = FourCC("shfp");
  e.SetParameter(kEventParamDirectObject, kTypeHICommand, hc);
  EXPECT_EQ(DispatchWindowEvent(nullptr, &e, &w), kNoErr);
  EXPECT_NE(IsFontPanelVisible(), before);
  DispatchWindowEvent(nullptr, &e, &w);
  EXPECT_EQ(IsFontPanelVisible(), before);
}

// Clicking A, A again, then B: OnControlChanged once for the first click (no previous) and
// once for B (previous A), each after OnCommand.
TEST(WindowDispatch, ControlChangedOnlyWhenTheHitControlChanges) {
  TestDriver driver;
  RecordingWindow w;
  w.CreateWindow(0, 0, 100, 100, kWindowFlagShow, WindowRef{});
  ControlRef a = AddButton(w, "aaaa", 0), b = AddButton(w, "bbbb", 0);
  for (ControlRef c : {a, a, b}) TestDriver::Click(c);
  EXPECT_EQ(w.calls, (std::vector<std::string>{"OnCommand aaaa", "OnControlChanged aaaa none",
                                               "OnCommand aaaa", "OnCommand bbbb",
                                               "OnControlChanged bbbb aaaa"}));
  EXPECT_EQ(w.GetLastHitControl(), b);
}

// A declined event goes on to the next handler of the window's target.
TEST(WindowDispatch, DeclinedEventPassesOnToTheNextHandler) {
  TestDriver driver;
  RecordingWindow w;
  w.CreateWindow(0, 0, 100, 100, 0, WindowRef{});
  // Installed after the window's handler, so it runs first, then passes on.
  int before = 0, after = 0;
  const EventTypeSpec paint[] = {{kEventClassWindow, kEventWindowDrawContent}};
  InstallEventHandler(GetApplicationEventTarget(), [&](EventHandlerCallRef, EventRef) {
    ++after;
    return kNoErr;
  }, paint, nullptr);
  InstallEventHandler(GetWindowEventTarget(w.GetWindow()), [&](EventHandlerCallRef, EventRef) {
    ++before;
    return kEventNotHandledErr;
  }, paint, nullptr);
  Event e(kEventClassWindow, kEventWindowDrawContent);
  w.result = false;
  EXPECT_EQ(SendEventToEventTarget(&e, GetWindowEventTarget(w.GetWindow())), kNoErr);
  EXPECT_EQ(w.calls, std::vector<std::string>{"OnPaint"});
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 1);
  w.result = true;
  EXPECT_EQ(SendEventToEventTarget(&e, GetWindowEventTarget(w.GetWindow())), kNoErr);
  EXPECT_EQ(after, 1);  // handled by the window: nothing further
}

TEST(WindowBase, CreationFlagsGiveClassAndAttributes) {
  struct Case {
    std::uint32_t flags;
    WindowClass windowClass;
    std::uint32_t attributes;
    bool visible;
  };
  const std::uint32_t std = kWindowStandardHandlerAttribute;
  const Case cases[] = {
      {0, kDocumentWindowClass, std, false},
      {0x1 | 0x200000, kMovableModalWindowClass, std, false},
      {0x200000 | 0x800000, kSheetWindowClass, std, false},
      {0x800000 | 0x400000, kFloatingWindowClass, std, false},
      {0x400000, kUtilityWindowClass, std, false},
      {0x2 | 0x4, kDocumentWindowClass, std | 0x1, true},
      {0x10, kDocumentWindowClass, std | 0x10, false},
  };
  TestDriver driver;
  for (const Case& c : cases) {
    WindowBase w;
    ASSERT_TRUE(w.CreateWindow(10, 20, 300, 200, c.flags, WindowRef{}));
    WindowClass cls;
    std::uint32_t attributes;
    GetWindowClass(w.GetWindow(), &cls);
    GetWindowAttributes(w.GetWindow(), &attributes);
    EXPECT_EQ(cls, c.windowClass) << c.flags;
    EXPECT_EQ(attributes, c.attributes) << c.flags;
    EXPECT_EQ(w.IsVisible(), c.visible) << c.flags;
    Rect r;
    EXPECT_EQ(w.GetBounds(&r), kNoErr);
    EXPECT_EQ(r, (Rect{20, 10, 220, 310}));
    std::vector<EventTypeSpec> types;
    EXPECT_EQ(w.GetEventTypes(types), cls == kSheetWindowClass ? 1 : 16);
  }
}

// A fresh window object has no result and dialog id 0, so controls made in a window created
// in code get the ControlID {command, 0}.
TEST(WindowBase, FreshObjectHasNoResultAndDialogIdZero) {
  TestDriver driver;
  WindowBase w;
  EXPECT_EQ(w.GetModalResult(), -1);
  EXPECT_EQ(w.GetDialogId(), 0u);
  EXPECT_FALSE(w.Destroy());
  ASSERT_TRUE(w.CreateWindow(0, 0, 50, 50, 0, WindowRef{}));
  ControlRef c;
  CreateControl(*w.GetWindowRefPtr(), kControlKindPushButton, Rect{0, 0, 10, 10}, L"", &c);
  SetControlID(c, ControlID{FourCC("bRem"), static_cast<std::int32_t>(w.GetDialogId())});
  ControlRef found;
  EXPECT_EQ(GetControlByID(w.GetWindow(), ControlID{FourCC("bRem"), 0}, &found), kNoErr);
  EXPECT_EQ(found, c);
}

TEST(WindowBase, GeometryAndTitle) {
  TestDriver driver;
  WindowBase w;
  w.CreateWindow(10, 20, 300, 200, 0, WindowRef{});
  int left, top, width, height;
  w.Move(40, 50);
  w.GetPosition(&left, &top);
  EXPECT_EQ(left, 40);
  EXPECT_EQ(top, 50);
  w.SetHeight(120);
  w.GetSize(&width, &height);
  EXPECT_EQ(width, 300);
  EXPECT_EQ(height, 120);
  EXPECT_EQ(w.GetHeight(), 120);
  w.Reposition(WindowRef{});
  w.GetPosition(&left, &top);
  EXPECT_EQ(left, (1024 - 300) / 2);
  EXPECT_TRUE(w.SetTitle(L"Réglages"));
  std::wstring title;
  CopyWindowTitle(w.GetWindow(), &title);
  EXPECT_EQ(title, L"Réglages");
  EXPECT_TRUE(w.Activate(true));
  EXPECT_TRUE(IsWindowActive(w.GetWindow()));
}

// A window whose OnClose declines is disposed of by the standard close handling; the object
// forgets it, so later calls do nothing and Destroy reports that there was no window.
TEST(WindowBase, StandardCloseOfADecliningWindowLeavesNoDanglingWindow) {
  TestDriver driver;
  auto w = std::make_unique<RecordingWindow>();
  w->result = false;
  ASSERT_TRUE(w->CreateWindow(0, 0, 100, 100, kWindowFlagShow | kWindowFlagCloseBox, WindowRef{}));
  WindowRef ref = w->GetWindow();
  EXPECT_EQ(TestDriver::Close(ref), kNoErr);
  EXPECT_EQ(w->calls, std::vector<std::string>{"OnClose"});
  EXPECT_FALSE(IsValidWindowRef(ref));
  EXPECT_FALSE(w->GetWindow());
  EXPECT_TRUE(w->Show(true));
  EXPECT_FALSE(w->IsVisible());
  EXPECT_FALSE(w->Destroy());
  w.reset();  // the destructor runs clean
}

class Fixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.path() / "nibs");
    testsupport::WriteFile(dir_.path() / "nibs" / "main.xml", R"(<nib>
  <window name="IDD_DLG" class="movable-modal" title="Dialog" width="200" height="100" closebox="true">
    <control kind="push" signature="ok  " id="4" command="ok  " title="OK" width="60" height="20"/>
    <control kind="push" signature="othr" id="4" command="othr" title="Other" width="60" height="20"/>
    <control kind="pane" id="7" width="100" height="50">
      <control kind="check" signature="mBat" id="9" title="Batch" width="60" height="20"/>
    </control>
  </window>
  <window name="IDD_SHEET" class="sheet" width="200" height="100">
    <control kind="push" signature="ok  " id="0" command="ok  " title="OK" width="60" height="20"/>
  </window>
</nib>)");
    SetResourcesFolder(dir_.str());
    ASSERT_TRUE(nib_.OpenMain());
  }
  void TearDown() override { SetResourcesFolder(""); }

  TestDriver driver_;
  testsupport::ScratchDir dir_;
  NibRef nib_;
};

class EndingDialog : public RecordingWindow {
 public:
  bool OnCommand(std::uint32_t command, EventRef* e) override {
    RecordingWindow::OnCommand(command, e);
    if (command == FourCC("ok  ")) return EndDialog(FourCC("ok  "));
    return false;
  }
  bool OnClose() override { return WindowBase::OnClose(); }
};

// EndDialog from OnCommand ends the dialog with its result; the dispatcher then hands no
// disposed control to OnControlChanged.
TEST_F(Fixture, DoModalReturnsTheResultGivenToEndDialog) {
  EndingDialog dialog;
  driver_.ThenClick(ControlID{FourCC("othr"), 4});
  driver_.ThenClick(ControlID{FourCC("ok  "), 4});
  EXPECT_EQ(dialog.DoModal(nib_, L"IDD_DLG", WindowRef{}, 4), static_cast<std::int32_t>(FourCC("ok  ")));
  // The declined click on "othr" comes back as its command through the standard control
  // handling; the click that ends the dialog is followed by no OnControlChanged.
  EXPECT_EQ(dialog.calls, (std::vector<std::string>{"OnCommand othr", "OnControlChanged othr none",
                                                    "OnCommand othr", "OnCommand ok  "}));
  EXPECT_FALSE(dialog.GetWindow());
  EXPECT_FALSE(dialog.GetLastHitControl());
  EXPECT_FALSE(driver_.RanDry());
  EXPECT_FALSE(FrontWindow());
}

TEST_F(Fixture, DoModalClosedByItsCloseBoxReturnsMinusOne) {
  EndingDialog dialog;
  driver_.ThenCloseFrontWindow();
  EXPECT_EQ(dialog.DoModal(nib_, L"IDD_DLG", WindowRef{}, 4), -1);
  EXPECT_FALSE(driver_.RanDry());
  EXPECT_EQ(dialog.DoModal(nib_, L"NO_SUCH_WINDOW", WindowRef{}, 4), -1);
}

TEST_F(Fixture, NestedDialogEndsOnlyItsOwnLoop) {
  EndingDialog outer, inner;
  std::int32_t innerResult = 0;
  bool outerStillRunning = false;
  driver_.Then([&] {
    driver_.ThenClick(ControlID{FourCC("ok  "), 4});  // the inner dialog is in front
    innerResult = inner.DoModal(nib_, L"IDD_DLG", WindowRef{}, 4);
    driver_.Then([&] { outerStillRunning = outer.IsModalRunning() && ModalLoopDepth() == 1; });
    driver_.ThenClick(ControlID{FourCC("ok  "), 4});
  });
  EXPECT_EQ(outer.DoModal(nib_, L"IDD_DLG", WindowRef{}, 4), static_cast<std::int32_t>(FourCC("ok  ")));
  EXPECT_EQ(innerResult, static_cast<std::int32_t>(FourCC("ok  ")));
  EXPECT_TRUE(outerStillRunning);
  EXPECT_FALSE(driver_.RanDry());
}

TEST_F(Fixture, EndDialogWithoutAModalLoopFails) {
  RecordingWindow w;
  ASSERT_FALSE(w.Create(nib_, L"IDD_DLG", WindowRef{}, 4));  // OnInitDialog declines
  ASSERT_TRUE(w.GetWindow());
  EXPECT_EQ(WindowBase::FromWindowRef(w.GetWindow()), &w);
  EXPECT_FALSE(w.EndDialog(FourCC("ok  ")));
  EXPECT_EQ(w.GetModalResult(), -1);
}

TEST_F(Fixture, RunModalOfASheetOnItsParent) {
  WindowBase parent;
  parent.CreateWindow(0, 0, 300, 300, kWindowFlagShow, WindowRef{});
  EndingDialog sheet;
  ASSERT_FALSE(sheet.Create(nib_, L"IDD_SHEET", parent.GetWindow(), 0));
  std::vector<EventTypeSpec> types;
  EXPECT_EQ(sheet.GetEventTypes(types), 1);
  driver_.Then([&] { EXPECT_EQ(GetSheetParent(sheet.GetWindow()), parent.GetWindow()); });
  driver_.ThenClick(ControlID{FourCC("ok  "), 0}, WindowRef{});
  EXPECT_EQ(sheet.RunModal(), static_cast<std::int32_t>(FourCC("ok  ")));
  EXPECT_FALSE(sheet.GetWindow());
}

TEST_F(Fixture, PanesReceiveTheirControlsAndGoBeforeTheirWindow) {
  RecordingWindow window;
  window.Create(nib_, L"IDD_DLG", WindowRef{}, 4);
  RecordingWindow pane;
  ASSERT_TRUE(pane.AttachToUserPane(nib_, 7, window.GetWindow(), 9));
  EXPECT_TRUE(pane.IsEmbedded());
  EXPECT_EQ(pane.GetWindow(), window.GetWindow());
  EXPECT_FALSE(pane.AttachToUserPane(nib_, 8, window.GetWindow(), 9));
  ControlRef box;
  ASSERT_EQ(GetControlByID(window.GetWindow(), ControlID{FourCC("mBat"), 9}, &box), kNoErr);
  TestDriver::Click(box);
  EXPECT_EQ(pane.calls, (std::vector<std::string>{"OnCommand mBat", "OnControlChanged mBat none"}));
  EXPECT_TRUE(window.calls.empty());  // handled by the pane
  WindowRef w = window.GetWindow();
  EXPECT_TRUE(window.Destroy());
  EXPECT_FALSE(pane.GetWindow());
  EXPECT_FALSE(IsValidWindowRef(w));
  EXPECT_FALSE(pane.Destroy());
}

TEST(WindowFileDrop, OneOnDropFilePerFileInSortedOrder) {
  TestDriver driver;
  RecordingWindow w;
  w.CreateWindow(0, 0, 100, 100, 0, WindowRef{});
  EXPECT_EQ(TestDriver::DropFiles(w.GetWindow(), {"file:///a"}, Point{}), kNotFoundErr);
  EXPECT_TRUE(w.EnableFileDrop(true));
  EXPECT_TRUE(w.EnableFileDrop(true));  // once each
  EXPECT_EQ(TestDriver::DropFiles(w.GetWindow(),
                                  {"file:///music/c.mp3", "http://example.com/x.mp3",
                                   "file:///tmp/x%20y%C3%A9.mp3", "file:///bad%FF.mp3",
                                   "file:///music/B.mp3\r\nfile:///music/a.aif\r\n"},
                                  Point{30, 40}),
            kNoErr);
  EXPECT_EQ(w.calls, (std::vector<std::string>{
                         "OnDragEnter", "OnDragWithin", "OnDropFile /music/a.aif 40 30",
                         "OnDropFile /music/B.mp3 32767 32767", "OnDropFile /music/c.mp3 32767 32767",
                         "OnDropFile /tmp/x y\xC3\xA9.mp3 32767 32767"}));
  EXPECT_TRUE(w.EnableFileDrop(false));
  EXPECT_EQ(TestDriver::DropFiles(w.GetWindow(), {"file:///a"}, Point{}), kNotFoundErr);
}

}  // namespace
