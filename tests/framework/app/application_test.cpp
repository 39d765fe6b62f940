#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/app/Application.h"
#include "framework/platform/TextEncoding.h"
#include "toolbox/Display.h"
#include "toolbox/TestDriver.h"
#include "toolbox/Utf8.h"

using namespace toolbox;

namespace {

struct HookScript {
  bool initResult = true;
  std::function<void()> run;
  std::vector<std::string> log;
};

HookScript& Script() {
  static HookScript script;
  return script;
}

}  // namespace

// The hooks the application windows would supply, scripted by each test.
bool OnAppInit(int arg) {
  Script().log.push_back("init " + std::to_string(arg));
  return Script().initResult;
}

bool OnAppRun(int arg) {
  Script().log.push_back("run " + std::to_string(arg));
  if (Script().run) Script().run();
  return true;
}

bool OnAppExit() {
  Script().log.push_back(IsAppearanceClient() ? "exit, still an appearance client" : "exit");
  return true;
}

namespace {

class MainWindow : public WindowBase {
 public:
  bool handles = false;
  std::vector<std::string> calls;
  bool OnCommand(std::uint32_t command, EventRef*) override {
    calls.push_back("command " + FourCCText(command));
    return handles;
  }
  bool OnOpenDocument(const PathString& path) override {
    calls.push_back("open " + WideToUtf8(path));
    return true;
  }
  bool OnHotKey(HotKeyID* id) override {
    calls.push_back("hot key " + FourCCText(id->signature) + " " + std::to_string(id->id));
    return true;
  }
};

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override { Script() = HookScript{}; }
  // Runs the entry sequence; inside the run hook, `body` gets the registered main window.
  void RunWithMainWindow(std::function<void(MainWindow&)> body,
                         const std::vector<std::string>& documents = {}) {
    Script().run = [&] {
      MainWindow window;
      window.CreateWindow(0, 0, 200, 100, kWindowFlagShow, WindowRef{});
      CurrentApplication->SetMainWindow(&window);
      body(window);
      calls = window.calls;
    };
    ApplicationMain(documents);
  }
  TestDriver driver;
  std::vector<std::string> calls;
};

TEST_F(ApplicationTest, EntrySequenceRunsInitRunAndExitInOrder) {
  EXPECT_EQ(ApplicationMain({}), 0);
  EXPECT_EQ(Script().log, (std::vector<std::string>{"init 0", "run 0", "exit"}));
  EXPECT_FALSE(CurrentApplication);  // the object is gone
}

TEST_F(ApplicationTest, FailingInitSkipsRunButStillExits) {
  Script().initResult = false;
  EXPECT_EQ(ApplicationMain({}), 0);
  EXPECT_EQ(Script().log, (std::vector<std::string>{"init 0", "exit"}));
  EXPECT_FALSE(IsAppearanceClient());
}

// Two runs of the program draw different random numbers.
TEST_F(ApplicationTest, RandomNumbersDifferBetweenRuns) {
  std::vector<std::vector<int>> runs;
  for (int run = 0; run < 2; ++run) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      Script().run = [&] {
        int drawn[4];
        for (int& n : drawn) n = Random();
        if (write(fds[1], drawn, sizeof drawn) != static_cast<ssize_t>(sizeof drawn)) _exit(2);
      };
      ApplicationMain({});
      _exit(0);
    }
    close(fds[1]);
    std::vector<int> drawn(4);
    const ssize_t got = read(fds[0], drawn.data(), sizeof(int) * drawn.size());
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_EQ(got, static_cast<ssize_t>(sizeof(int) * drawn.size()));
    runs.push_back(drawn);
  }
  EXPECT_NE(runs[0], runs[1]);
}

void ThenQuitCommand(TestDriver& driver) {
  driver.Then([] { TestDriver::SendCommand(kHICommandQuit, GetUserFocusEventTarget()); });
}

// The Quit command goes to the active window (the main window), then through the
// application's handler to the main window again; declined both times, it still reaches
// the standard handling, which ends the loop.
TEST_F(ApplicationTest, QuitEndsTheLoopEvenWhenTheMainWindowDeclinesIt) {
  RunWithMainWindow([&](MainWindow&) {
    ThenQuitCommand(driver);
    driver.Then([] { ADD_FAILURE() << "the loop went on after Quit"; });
    RunApplicationEventLoop();
  });
  EXPECT_FALSE(driver.RanDry());
  EXPECT_EQ(calls, (std::vector<std::string>{"command quit", "command quit"}));
  EXPECT_EQ(Script().log, (std::vector<std::string>{"init 0", "run 0", "exit"}));
}

TEST_F(ApplicationTest, QuitEventIsPassedOnToTheStandardHandling) {
  RunWithMainWindow([&](MainWindow&) {
    driver.ThenQuit();  // no menu bar: the quit event itself
    RunApplicationEventLoop();
  });
  EXPECT_FALSE(driver.RanDry());
}

TEST_F(ApplicationTest, CommandBeforeTheMainWindowIsNotHandled) {
  OSStatus before = 0, after = 0;
  Script().run = [&] {
    before = TestDriver::SendCommand(FourCC("open"), GetApplicationEventTarget());
    MainWindow window;
    window.handles = true;
    window.CreateWindow(0, 0, 200, 100, 0, WindowRef{});
    CurrentApplication->SetMainWindow(&window);
    after = TestDriver::SendCommand(FourCC("open"), GetApplicationEventTarget());
  };
  ApplicationMain({});
  EXPECT_EQ(before, kEventNotHandledErr);
  EXPECT_EQ(after, kNoErr);
}

TEST_F(ApplicationTest, MainWindowBeforeTheHandlersAreInstalledIsIgnored) {
  MainWindow window;
  Application::Instance()->SetMainWindow(&window);
  EXPECT_EQ(Application::Instance()->GetMainWindow(), nullptr);
  Application::DestroyInstance();
}

// Documents named at start arrive as one open-documents event after the main window is
// registered; only the first is opened.
TEST_F(ApplicationTest, OpenDocumentsEventWithThreeFilesOpensTheFirst) {
  RunWithMainWindow([&](MainWindow&) {
    driver.ThenQuit();
    RunApplicationEventLoop();
  }, {"/music/first.mp3", "/music/second.mp3", "/music/th\xC3\xAErd.mp3"});
  EXPECT_EQ(calls, (std::vector<std::string>{"open /music/first.mp3"}));
}

TEST_F(ApplicationTest, OpenDocumentsHandlerStatuses) {
  OSStatus emptyStatus = -1, noListStatus = 0;
  RunWithMainWindow([&](MainWindow&) {
    AppleEvent empty(kCoreEventClass, kAEOpenDocuments);
    empty.SetFileList({});
    emptyStatus = AEProcessAppleEvent(empty);
    AppleEvent noList(kCoreEventClass, kAEOpenDocuments);
    noListStatus = AEProcessAppleEvent(noList);
    AppleEvent one(kCoreEventClass, kAEOpenDocuments);
    one.SetFileList({"/a b/c.aif"});
    EXPECT_EQ(AEProcessAppleEvent(one), kNoErr);
  });
  EXPECT_EQ(emptyStatus, kNoErr);
  EXPECT_EQ(noListStatus, kEventParameterNotFoundErr);
  EXPECT_EQ(calls, std::vector<std::string>{"open /a b/c.aif"});
}

TEST_F(ApplicationTest, HotKeyIsPassedOnAfterTheMainWindowHandledIt) {
  int passedOn = 0;
  const EventTypeSpec hotKey[] = {{kEventClassKeyboard, kEventHotKeyPressed}};
  // Installed before the application's handler, so it runs after it.
  InstallEventHandler(GetApplicationEventTarget(), [&](EventHandlerCallRef, EventRef) {
    ++passedOn;
    return kNoErr;
  }, hotKey, nullptr);
  RunWithMainWindow([&](MainWindow&) {
    Event e(kEventClassKeyboard, kEventHotKeyPressed);
    e.SetParameter(kEventParamDirectObject, kTypeHotKeyID, HotKeyID{FourCC("Bvaw"), 2});
    SendEventToEventTarget(&e, GetApplicationEventTarget());
  });
  EXPECT_EQ(calls, std::vector<std::string>{"hot key Bvaw 2"});
  EXPECT_EQ(passedOn, 1);
}

TEST_F(ApplicationTest, MenuCommandsReachTheActiveWindowThenTheMainWindow) {
  RunWithMainWindow([&](MainWindow& main) {
    MainWindow other;
    other.CreateWindow(0, 0, 50, 50, kWindowFlagShow, WindowRef{});
    EXPECT_EQ(TestDriver::SendCommand(FourCC("new "), GetUserFocusEventTarget()), kEventNotHandledErr);
    EXPECT_EQ(other.calls, std::vector<std::string>{"command new "});
    main.handles = true;
    EXPECT_EQ(TestDriver::SendCommand(FourCC("new "), GetUserFocusEventTarget()), kNoErr);
  });
  EXPECT_EQ(calls, (std::vector<std::string>{"command new ", "command new "}));
}

}  // namespace
