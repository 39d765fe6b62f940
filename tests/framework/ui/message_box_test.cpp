#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/ui/MessageBox.h"
#include "support/TestSupport.h"
#include "toolbox/AppLocation.h"
#include "toolbox/Controls.h"
#include "toolbox/TestDriver.h"

using namespace toolbox;

namespace {

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override { SetResourcesFolder((testsupport::SourceDir() / "resources").string()); }
  void TearDown() override { SetResourcesFolder(""); }

  // The labels of the front window's buttons, left to right.
  static std::vector<std::wstring> Buttons() {
    std::vector<std::pair<short, std::wstring>> found;
    for (ControlRef c : GetWindowControls(FrontWindow())) {
      if (GetControlKind(c) != kControlKindPushButton) continue;
      Rect r;
      GetControlBounds(c, &r);
      found.emplace_back(r.left, GetControlTitle(c));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::wstring> out;
    for (auto& [left, title] : found) out.push_back(title);
    return out;
  }

  WindowRef MakeParent() {
    WindowRef w;
    CreateNewWindow(kDocumentWindowClass, kWindowStandardHandlerAttribute, Rect{100, 100, 400, 600}, &w);
    ShowWindow(w);
    return w;
  }
};

// How the user answers: a click on a button, or a key.
struct Answer {
  OSType click = 0;
  std::uint32_t key = 0;
};

struct Case {
  MessageBoxStyle style;
  bool sheet;
  std::vector<std::wstring> buttons;  // left to right
  Answer answer;
  MessageBoxResult expected;
};

TEST_F(MessageBoxTest, EachButtonSetAnswersByTheTable) {
  const OSType ok = kHICommandOK, cancel = kHICommandCancel, other = kHICommandOther;
  const std::vector<Case> cases = {
      {0x208, false, {L"No", L"Yes"}, {cancel}, kMessageBoxResultNo},
      {0x208, false, {L"No", L"Yes"}, {ok}, kMessageBoxResultOK},
      {0x208, true, {L"No", L"Yes"}, {cancel}, kMessageBoxResultNo},
      {0x1, false, {L"OK"}, {0, kReturnKeyCode}, kMessageBoxResultOK},
      {0x1, false, {L"OK"}, {0, kEscapeKeyCode}, kMessageBoxResultOK},  // Escape presses the only button
      {0x101, true, {L"OK"}, {0, kEscapeKeyCode}, kMessageBoxResultOK},
      {0x2, false, {L"Cancel", L"OK"}, {0, kEscapeKeyCode}, kMessageBoxResultCancel},
      {0x4, false, {L"Cancel", L"Retry"}, {ok}, kMessageBoxResultOK},
      {0x10, false, {L"No", L"Cancel", L"Yes"}, {other}, kMessageBoxResultNo},
      {0x10, true, {L"No", L"Cancel", L"Yes"}, {cancel}, kMessageBoxResultCancel},
      {0x20, true, {L"Don't Save", L"Cancel", L"Save"}, {other}, kMessageBoxResultNo},
      {0x20, false, {L"Don't Save", L"Cancel", L"Save"}, {0, kReturnKeyCode}, kMessageBoxResultOK},
      {0x20, true, {L"Don't Save", L"Cancel", L"Save"}, {0, kEscapeKeyCode}, kMessageBoxResultCancel},
      {0x40, false, {L"Abort", L"Ignore", L"Retry"}, {other}, kMessageBoxResultNo},
      {0x40, false, {L"Abort", L"Ignore", L"Retry"}, {0, kEscapeKeyCode}, kMessageBoxResultCancel},
      {0x40, true, {L"OK"}, {ok}, kMessageBoxResultOK},
      {0x0, false, {L"OK"}, {0, kEnterKeyCode}, kMessageBoxResultOK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.style << (c.sheet ? " sheet" : " alert")
                                    << " " << FourCCText(c.answer.click) << " key " << std::dec
                                    << c.answer.key);
    TestDriver driver;
    WindowRef parent = c.sheet ? MakeParent() : WindowRef{};
    std::vector<std::wstring> seen;
    WindowClass shownClass = kDocumentWindowClass;
    driver.Then([&] {
      WindowRef front = FrontWindow();
      seen = Buttons();
      GetWindowClass(front, &shownClass);
      if (c.answer.click) {
        ControlRef b;
        GetControlByID(front, ControlID{c.answer.click, 0}, &b);
        TestDriver::Click(b);
      } else {
        PressKey(front, c.answer.key);
      }
    });
    MessageBoxResult result = ShowMessageBox(parent, c.style, L"Title", L"Message");
    EXPECT_EQ(seen, c.buttons);
    EXPECT_EQ(shownClass, c.sheet ? kSheetWindowClass : kMovableModalWindowClass);
    EXPECT_EQ(FourCCText(result), FourCCText(c.expected));
    EXPECT_FALSE(driver.RanDry());
  }
}

TEST_F(MessageBoxTest, MessagesAreShownWholeAndLiterally) {
  const std::wstring part(150, L'x');
  struct Shown {
    std::wstring expected;
    std::function<MessageBoxResult()> show;
  };
  const std::vector<Shown> cases = {
      // Longer than the first buffer: the expansion is retried from fresh arguments.
      {part + L"-" + part + L"-" + part + L"-" + part,
       [&] { return ShowMessageBox({}, 0x101, L"T", L"%ls-%ls-%ls-%ls", part.c_str(), part.c_str(), part.c_str(), part.c_str()); }},
      // An argument that cannot be converted fails at once: the format itself is shown.
      {L"Name: %s", [] { return ShowErrorMessageF({}, L"T", L"Name: %s", "caf\xE9"); }},
      // An inserted "%d" is never used as a format again.
      {L"File 100%d.aif", [] { return ShowInfoMessageF({}, L"T", L"File %ls", L"100%d.aif"); }},
      {L"Type: -43", [] { return ShowErrorCode({}, -43); }},
      {L"Error", [] { return ReportError({}, 99999, 99998); }},
  };
  for (const Shown& c : cases) {
    TestDriver driver;
    std::wstring message, title;
    driver.Then([&] {
      message = GetAlertMessage(FrontWindow());
      CopyWindowTitle(FrontWindow(), &title);
      PressKey(FrontWindow(), kReturnKeyCode);
    });
    EXPECT_EQ(c.show(), kMessageBoxResultOK);
    EXPECT_EQ(message, c.expected);
    if (c.expected == L"Error") {
      EXPECT_EQ(title, L"Error");
    } else if (c.expected == L"Type: -43") {
      EXPECT_EQ(title, L"Err: -43");
    }
  }
}

TEST_F(MessageBoxTest, SheetWhoseParentGoesAwayAnswersCancel) {
  TestDriver driver;
  WindowRef parent = MakeParent();
  EventLoopTimerRef timer;
  InstallEventLoopTimer(0.2, 0, [parent](EventLoopTimerRef) { DisposeWindow(parent); }, &timer);
  EXPECT_EQ(FourCCText(ShowMessageBox(parent, 0x8, L"T", L"Keep it?")), "not!");
  EXPECT_TRUE(WindowsFrontToBack().empty());  // the sheet went with its parent
}

TEST_F(MessageBoxTest, SheetWaitsWithoutSpinning) {
  TestDriver driver;
  WindowRef parent = MakeParent();
  EventLoopTimerRef timer;
  InstallEventLoopTimer(1.0, 0, [](EventLoopTimerRef) {
    PressKey(FrontWindow(), kReturnKeyCode);
  }, &timer);
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  EXPECT_EQ(ShowMessageBox(parent, 0x8, L"T", L"Keep it?"), kMessageBoxResultOK);
  getrusage(RUSAGE_SELF, &after);
  auto seconds = [](const rusage& u) {
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  };
  EXPECT_LT(seconds(after) - seconds(before), 0.1);
}

TEST_F(MessageBoxTest, SheetBlocksItsParentOnlyAndNestedAlertsAnswerInTurn) {
  TestDriver driver_;
  WindowRef parent = MakeParent();
  WindowRef other;
  CreateNewWindow(kDocumentWindowClass, 0, Rect{500, 100, 700, 400}, &other);
  ShowWindow(other);
  std::vector<std::string> reached;
  static const EventTypeSpec commands[] = {{kEventClassCommand, kEventCommandProcess}};
  for (auto [w, name] : {std::pair{parent, "parent"}, std::pair{other, "other"}})
    InstallEventHandler(GetWindowEventTarget(w),
                        [&reached, name = std::string(name)](EventHandlerCallRef, EventRef) {
                          reached.push_back(name);
                          return OSStatus{kNoErr};
                        },
                        commands, nullptr);
  auto post = [](WindowRef w) {
    auto e = std::make_unique<Event>(kEventClassCommand, kEventCommandProcess);
    HICommand hc;
    hc.commandID = FourCC("Test");
    e->SetParameter(kEventParamDirectObject, kTypeHICommand, hc);
    e->SetTarget(GetWindowEventTarget(w));
    PostEventToQueue(std::move(e));
  };
  MessageBoxResult nested = 0;
  driver_.Then([&] {
    post(parent);
    post(other);
  });
  // A command of the other window asks its own question while the sheet waits.
  driver_.Then([&] { nested = ShowMessageBox({}, 0x208, L"Nested", L"Inner?"); });
  driver_.ThenClick(ControlID{kHICommandCancel, 0});  // the inner alert: No
  driver_.ThenClick(ControlID{kHICommandOK, 0});      // then the sheet: Yes
  EXPECT_EQ(ShowMessageBox(parent, 0x8, L"T", L"Outer?"), kMessageBoxResultOK);
  EXPECT_EQ(nested, kMessageBoxResultNo);
  EXPECT_EQ(reached, std::vector<std::string>{"other"});
  EXPECT_FALSE(driver_.RanDry());
}

}  // namespace
