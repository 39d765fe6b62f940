#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "toolbox/Display.h"
#include "toolbox/DragDrop.h"
#include "toolbox/Events.h"
#include "toolbox/Menus.h"
#include "toolbox/TestDriver.h"
#include "toolbox/Windows.h"

using namespace toolbox;

namespace {

constexpr EventTypeSpec kCommand[] = {{kEventClassCommand, kEventCommandProcess}};

Event CommandEvent(OSType command) {
  Event e(kEventClassCommand, kEventCommandProcess);
  HICommand hc;
  hc.commandID = command;
  e.SetParameter(kEventParamDirectObject, kTypeHICommand, hc);
  return e;
}

TEST(EventModel, TypedParametersRequireTheirType) {
  Event e(kEventClassMouse, kEventMouseDown);
  e.SetParameter(kEventParamMouseLocation, kTypeQDPoint, Point{5, 7});
  Point p;
  EXPECT_EQ(e.GetParameter(kEventParamMouseLocation, kTypeQDPoint, &p), kNoErr);
  EXPECT_EQ(p.v, 5);
  EXPECT_EQ(p.h, 7);
  EXPECT_EQ(e.GetParameter(kEventParamMouseLocation, kTypeQDRectangle, &p), kEventParameterNotFoundErr);
  Rect r;
  EXPECT_EQ(e.GetParameter(kEventParamMouseLocation, kTypeQDPoint, &r), kEventParameterNotFoundErr);
  std::uint32_t mods = 0;
  EXPECT_EQ(e.GetParameter(kEventParamKeyModifiers, kTypeUInt32, &mods), kEventParameterNotFoundErr);
}

// The newest handler runs first; a declining handler passes the event on; the standard
// handling and then the parent target follow.
TEST(EventModel, HandlerChainPassesDeclinedEventsOn) {
  TestDriver driver;
  std::vector<std::string> calls;
  auto parent = std::make_shared<EventTarget>("parent");
  auto child = std::make_shared<EventTarget>("child");
  child->SetParent(parent);
  child->SetStandardHandler([&](EventRef) {
    calls.push_back("standard");
    return kEventNotHandledErr;
  });
  InstallEventHandler(parent, [&](EventHandlerCallRef, EventRef) {
    calls.push_back("parent");
    return kNoErr;
  }, kCommand, nullptr);
  InstallEventHandler(child, [&](EventHandlerCallRef, EventRef) {
    calls.push_back("older");
    return kEventNotHandledErr;
  }, kCommand, nullptr);
  InstallEventHandler(child, [&](EventHandlerCallRef, EventRef) {
    calls.push_back("newer");
    return kEventNotHandledErr;
  }, kCommand, nullptr);
  Event e = CommandEvent(FourCC("abcd"));
  EXPECT_EQ(SendEventToEventTarget(&e, child), kNoErr);
  EXPECT_EQ(calls, (std::vector<std::string>{"newer", "older", "standard", "parent"}));

  // A handler for other types never sees the event.
  calls.clear();
  Event other(kEventClassMouse, kEventMouseDown);
  EXPECT_EQ(SendEventToEventTarget(&other, child), kEventNotHandledErr);
  EXPECT_EQ(calls, (std::vector<std::string>{"standard"}));
}

TEST(EventModel, CallNextRunsTheRestOnceAndHandlersMayRemoveThemselves) {
  TestDriver driver;
  auto target = std::make_shared<EventTarget>("t");
  int lower = 0, upper = 0;
  EventHandlerRef upperRef;
  InstallEventHandler(target, [&](EventHandlerCallRef, EventRef) {
    ++lower;
    return kEventNotHandledErr;
  }, kCommand, nullptr);
  InstallEventHandler(target, [&](EventHandlerCallRef next, EventRef e) {
    ++upper;
    EXPECT_EQ(RemoveEventHandler(upperRef), kNoErr);  // during its own call
    CallNextEventHandler(next, e);
    return kEventNotHandledErr;  // declines after running the rest itself
  }, kCommand, &upperRef);
  Event e = CommandEvent(1);
  EXPECT_EQ(SendEventToEventTarget(&e, target), kEventNotHandledErr);
  EXPECT_EQ(upper, 1);
  EXPECT_EQ(lower, 1);  // not run a second time
  Event again = CommandEvent(1);
  SendEventToEventTarget(&again, target);
  EXPECT_EQ(upper, 1);
  EXPECT_EQ(lower, 2);
  EXPECT_EQ(RemoveEventHandler(upperRef), kParamErr);
}

TEST(EventModel, QuitCommandQuitsTheApplicationLoop) {
  TestDriver driver;
  bool ranAfterQuit = false;
  driver.Then([] { EXPECT_EQ(TestDriver::Quit(), kNoErr); });
  driver.Then([&] { ranAfterQuit = true; });
  RunApplicationEventLoop();
  EXPECT_FALSE(driver.RanDry());
  EXPECT_FALSE(ranAfterQuit);
  EXPECT_FALSE(ApplicationEventLoopRunning());
}

TEST(EventModel, LoopWithoutInputEndsWhenTheDriverRunsDry) {
  TestDriver driver;
  RunApplicationEventLoop();
  EXPECT_TRUE(driver.RanDry());
  EXPECT_TRUE(InputEnded());
}

TEST(EventModel, ReceiveNextEventTimesOutAndDeliversQueuedEventsInOrder) {
  TestDriver driver;
  std::unique_ptr<Event> e;
  EXPECT_EQ(ReceiveNextEvent(0.01, &e), kEventLoopTimedOutErr);
  PostEventToQueue(std::make_unique<Event>(kEventClassMouse, 1));
  PostEventToQueue(std::make_unique<Event>(kEventClassMouse, 2));
  ASSERT_EQ(ReceiveNextEvent(0, &e), kNoErr);
  EXPECT_EQ(e->Kind(), 1u);
  ASSERT_EQ(ReceiveNextEvent(0, &e), kNoErr);
  EXPECT_EQ(e->Kind(), 2u);
  EXPECT_EQ(QueuedEventCount(), 0u);
}

TEST(EventModel, TimersFireInsideTheLoop) {
  TestDriver driver;
  int fired = 0;
  EventLoopTimerRef timer;
  ASSERT_EQ(InstallEventLoopTimer(0, 0.005, [&](EventLoopTimerRef self) {
    if (++fired == 3) {
      RemoveEventLoopTimer(self);
      QuitApplicationEventLoop();
    }
  }, &timer), kNoErr);
  driver.Then([] {});  // one idle wait, then the loop waits with the timer
  RunApplicationEventLoop();
  EXPECT_EQ(fired, 3);
  EXPECT_EQ(RemoveEventLoopTimer(timer), kParamErr);
}

// Quitting a window's modal loop twice ends only that loop, never the enclosing one.
TEST(EventModel, ModalQuitIsKeyedByWindowAndIdempotent) {
  TestDriver driver;
  WindowRef outer, inner;
  CreateNewWindow(kMovableModalWindowClass, 0, Rect{0, 0, 10, 10}, &outer);
  CreateNewWindow(kMovableModalWindowClass, 0, Rect{0, 0, 10, 10}, &inner);
  bool innerDone = false;
  driver.Then([&] {
    EXPECT_EQ(ModalLoopDepth(), 1);
    driver.Then([&] {
      EXPECT_EQ(ModalLoopDepth(), 2);
      EXPECT_EQ(QuitAppModalLoopForWindow(inner), kNoErr);
      EXPECT_EQ(QuitAppModalLoopForWindow(inner), kNoErr);
    });
    RunAppModalLoopForWindow(inner);
    innerDone = true;
    EXPECT_EQ(ModalLoopDepth(), 1);
  });
  driver.Then([&] { QuitAppModalLoopForWindow(outer); });
  RunAppModalLoopForWindow(outer);
  EXPECT_TRUE(innerDone);
  EXPECT_FALSE(driver.RanDry());
  EXPECT_EQ(QuitAppModalLoopForWindow(outer), kWindowNotModalErr);
  EXPECT_EQ(RunAppModalLoopForWindow(WindowRef{}), kInvalidWindowErr);
}

TEST(EventModel, ModalLoopEndsWhenItsWindowIsDisposed) {
  TestDriver driver;
  WindowRef w;
  CreateNewWindow(kMovableModalWindowClass, kWindowStandardHandlerAttribute | kWindowCloseBoxAttribute,
                  Rect{0, 0, 10, 10}, &w);
  driver.Then([&] { SendWindowCloseEvent(w); });
  RunAppModalLoopForWindow(w);
  EXPECT_FALSE(IsValidWindowRef(w));
  EXPECT_FALSE(driver.RanDry());
}

TEST(EventModel, OpenDocumentsEventReachesItsHandler) {
  TestDriver driver;
  std::vector<std::string> got;
  AEInstallEventHandler(kCoreEventClass, kAEOpenDocuments, [&](const AppleEvent& e) {
    long n = 0;
    AECountItems(e, &n);
    for (long i = 1; i <= n; ++i) {
      std::string p;
      AEGetNthFile(e, i, &p);
      got.push_back(p);
    }
    return kNoErr;
  });
  TestDriver::PostOpenDocuments({"/a", "/b"});
  std::unique_ptr<Event> e;
  ASSERT_EQ(ReceiveNextEvent(0, &e), kNoErr);
  EXPECT_EQ(DispatchQueuedEvent(e.get()), kNoErr);
  EXPECT_EQ(got, (std::vector<std::string>{"/a", "/b"}));
  AppleEvent empty(kCoreEventClass, kAEOpenDocuments);
  long n = 0;
  EXPECT_EQ(AECountItems(empty, &n), kEventParameterNotFoundErr);
  empty.SetFileList({});
  EXPECT_EQ(AECountItems(empty, &n), kNoErr);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(AEGetNthFile(empty, 1, nullptr), kParamErr);
}

TEST(EventModel, MenuCommandsGoToTheActiveWindowThenTheApplication) {
  TestDriver driver;
  MenuRef menu;
  CreateNewMenu(1001, L"File", &menu);
  MenuItemInfo open;
  open.text = L"Open";
  open.command = FourCC("open");
  AppendMenuItem(menu, open);
  MenuItemInfo off = open;
  off.command = FourCC("off ");
  off.enabled = false;
  AppendMenuItem(menu, off);
  SetMenuBar({menu});
  WindowRef w;
  CreateNewWindow(kDocumentWindowClass, 0, Rect{0, 0, 10, 10}, &w);
  ShowWindow(w);
  std::vector<std::string> seen;
  InstallEventHandler(GetWindowEventTarget(w), [&](EventHandlerCallRef, EventRef) {
    seen.push_back("window");
    return kEventNotHandledErr;
  }, kCommand, nullptr);
  InstallEventHandler(GetApplicationEventTarget(), [&](EventHandlerCallRef, EventRef e) {
    HICommand hc;
    e->GetParameter(kEventParamDirectObject, kTypeHICommand, &hc);
    EXPECT_EQ(hc.attributes, kHICommandFromMenu);
    EXPECT_EQ(hc.menu, menu);
    EXPECT_EQ(hc.menuItemIndex, 1);
    seen.push_back("application");
    return kNoErr;
  }, kCommand, nullptr);
  EXPECT_EQ(ChooseMenuCommand(FourCC("open")), kNoErr);
  EXPECT_EQ(seen, (std::vector<std::string>{"window", "application"}));
  EXPECT_EQ(ChooseMenuCommand(FourCC("off ")), kNotFoundErr);
  EXPECT_EQ(ChooseMenuCommand(FourCC("none")), kNotFoundErr);
}

// The headless back end reads commands from its input; the end of the input chooses Quit.
TEST(EventModel, HeadlessBackendTakesCommandsAndQuitsAtEndOfInput) {
  struct Case {
    std::string input;
    std::vector<std::string> expectedCommands;
  };
  const Case cases[] = {
      {"", {"quit"}},
      {"open\nquit\n", {"open", "quit"}},
      {"  open \r\nbogus-command\nxyz\n", {"open", "quit"}},
      {"open", {"open", "quit"}},  // a last line without a line feed
  };
  for (const Case& c : cases) {
    TestDriver driver;  // resets the model
    MenuRef menu;
    CreateNewMenu(1001, L"File", &menu);
    for (OSType code : {FourCC("open"), kHICommandQuit}) {
      MenuItemInfo item;
      item.text = L"x";
      item.command = code;
      AppendMenuItem(menu, item);
    }
    SetMenuBar({menu});
    std::vector<std::string> seen;
    InstallEventHandler(GetApplicationEventTarget(), [&](EventHandlerCallRef next, EventRef e) {
      HICommand hc;
      e->GetParameter(kEventParamDirectObject, kTypeHICommand, &hc);
      seen.push_back(FourCCText(hc.commandID));
      return CallNextEventHandler(next, e);
    }, kCommand, nullptr);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], c.input.data(), c.input.size()), static_cast<ssize_t>(c.input.size()));
    close(fds[1]);
    std::ostringstream out;
    SetDisplayBackend(MakeHeadlessBackend(fds[0], out));
    RunApplicationEventLoop();
    close(fds[0]);
    EXPECT_EQ(seen, c.expectedCommands) << c.input;
    if (c.input.find("xyz") != std::string::npos) {
      EXPECT_NE(out.str().find("no menu item has the command 'xyz "), std::string::npos);
    }
  }
}

TEST(EventModel, FileUrisBecomePaths) {
  struct Case {
    const char* uri;
    bool ok;
    const char* path;
  };
  const Case cases[] = {
      {"file:///tmp/x%20y%C3%A9.mp3", true, "/tmp/x y\xC3\xA9.mp3"},
      {"file://localhost/a/b", true, "/a/b"},
      {"FILE:///a\r\n", true, "/a"},
      {"file:///a%2fb", true, "/a/b"},
      {"file:///a?query#frag", true, "/a"},
      {"http://example.com/a", false, ""},
      {"file://otherhost/a", false, ""},
      {"file:///a%zz", false, ""},
      {"file:///a%2", false, ""},
      {"file:///a%00b", false, ""},
      {"file:///a%FF", false, ""},  // not UTF-8
      {"file:", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    std::string path;
    EXPECT_EQ(FilePathFromURI(c.uri, &path), c.ok) << c.uri;
    if (c.ok) {
      EXPECT_EQ(path, c.path) << c.uri;
    }
  }
}

}  // namespace
